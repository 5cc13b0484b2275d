#include "platform/KeyedArchive.h"

#include "platform/ArchiveBinaryPlist.h"
#include "platform/ArchiveDictionaryBuilder.h"
#include "platform/PropertyList.h"

#include <QHash>
#include <QLocale>
#include <QScopeGuard>

#include <array>
#include <cstring>
#include <limits>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <new>
#include <span>
#include <type_traits>

#include <sys/mman.h>

namespace {

constexpr qint64 kArchiveVersion = 100000;
constexpr int kMaxColorComponents = 64;
// Sets of dictionary keys remembered while reading; beyond them each
// dictionary checks its own keys.
constexpr qsizetype kMaxLayouts = 64;

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

// The object keys the reader looks for, in the order of kKeyNames.
enum class Key : int {
    Class,
    Keys,
    Objects,
    Time,
    String,
    Data,
    ColorSpace,
    RGB,
    White,
    CMYK,
    Components,
    CatalogName,
    ColorName,
    Color,
    Count
};

constexpr std::array<QLatin1StringView, int(Key::Count)> kKeyNames = {
    QLatin1StringView("$class"),       QLatin1StringView("NS.keys"),      QLatin1StringView("NS.objects"),
    QLatin1StringView("NS.time"),      QLatin1StringView("NS.string"),    QLatin1StringView("NS.data"),
    QLatin1StringView("NSColorSpace"), QLatin1StringView("NSRGB"),        QLatin1StringView("NSWhite"),
    QLatin1StringView("NSCMYK"),       QLatin1StringView("NSComponents"), QLatin1StringView("NSCatalogName"),
    QLatin1StringView("NSColorName"),  QLatin1StringView("NSColor"),
};

QString keyName(Key key) { return QString(kKeyNames[std::size_t(key)]); }

// ---------------------------------------------------------------------------
// Colour component texts: decimal numbers separated by spaces, ended by a NUL.
// Parsed and printed without regard to the process locale.

std::vector<double> parseComponents(const QByteArray& text)
{
    std::vector<double> out;
    const char* p = text.constData();
    const char* end = p + text.size();
    if (const void* nul = std::memchr(p, '\0', std::size_t(text.size())))
        end = static_cast<const char*>(nul);
    while (p < end && int(out.size()) < kMaxColorComponents) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;
        if (p == end)
            break;
        const char* tokenEnd = p;
        while (tokenEnd < end && *tokenEnd != ' ' && *tokenEnd != '\t' && *tokenEnd != '\n' && *tokenEnd != '\r')
            ++tokenEnd;
        double d = 0;
        const char* number = *p == '+' ? p + 1 : p;
        const auto [q, ec] = std::from_chars(number, tokenEnd, d);
        if (ec != std::errc() || q != tokenEnd || !std::isfinite(d))
            break; // as a scan stops at the first text that is not a number
        out.push_back(d);
        p = tokenEnd;
    }
    return out;
}

QByteArray formatComponents(const std::vector<double>& values)
{
    QByteArray text;
    for (double d : values) {
        if (!text.isEmpty())
            text += ' ';
        text += QString::number(d, 'g', QLocale::FloatingPointShortest).toLatin1();
    }
    text += '\0';
    return text;
}

// ---------------------------------------------------------------------------
// Writer

// A table of slots that are all zero bits when empty. A large one is mapped
// on its own, in large pages where the system offers them: its slots are
// visited at random, one for each string of an archive, and its memory goes
// back to the system as soon as it is let go, not to the heap.
template <typename Slot>
class SlotTable {
public:
    explicit SlotTable(std::size_t count) : m_count(count), m_bytes(roundedBytes(count))
    {
        if (m_bytes >= kLargePage) {
            // Mapped with room to start at a large page's boundary, the rest given back.
            void* raw = mmap(nullptr, m_bytes + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (raw == MAP_FAILED)
                throw std::bad_alloc();
            char* const first = static_cast<char*>(raw);
            char* const start = reinterpret_cast<char*>((reinterpret_cast<quintptr>(first) + kLargePage - 1) & ~quintptr(kLargePage - 1));
            if (start > first)
                munmap(first, std::size_t(start - first));
            if (const std::size_t tail = kLargePage - std::size_t(start - first))
                munmap(start + m_bytes, tail);
            madvise(start, m_bytes, MADV_HUGEPAGE);
            m_slots = reinterpret_cast<Slot*>(start); // zero pages
            return;
        }
        // The size is a multiple of the alignment, as aligned_alloc requires.
        m_slots = static_cast<Slot*>(std::aligned_alloc(kLine, m_bytes));
        if (!m_slots)
            throw std::bad_alloc();
        std::memset(static_cast<void*>(m_slots), 0, m_bytes);
    }
    ~SlotTable()
    {
        if (m_bytes >= kLargePage)
            munmap(m_slots, m_bytes);
        else
            std::free(m_slots);
    }
    SlotTable(const SlotTable&) = delete;
    SlotTable& operator=(const SlotTable&) = delete;
    void swap(SlotTable& other)
    {
        std::swap(m_slots, other.m_slots);
        std::swap(m_count, other.m_count);
        std::swap(m_bytes, other.m_bytes);
    }

    std::size_t size() const { return m_count; }
    Slot& operator[](std::size_t i) { return m_slots[i]; }
    const Slot* begin() const { return m_slots; }
    const Slot* end() const { return m_slots + m_count; }

private:
    static constexpr std::size_t kLargePage = 2 << 20;
    static constexpr std::size_t kLine = 64;
    static std::size_t roundedBytes(std::size_t count)
    {
        const std::size_t bytes = std::max<std::size_t>(count * sizeof(Slot), kLine);
        const std::size_t unit = bytes < kLargePage ? kLine : kLargePage;
        return (bytes + unit - 1) / unit * unit;
    }

    Slot* m_slots = nullptr;
    std::size_t m_count = 0;
    std::size_t m_bytes = 0;
};

// The strings already stored, by content: an open-addressing table of hashes
// and object numbers, which compares texts only when hashes agree. Leaner than
// a hash of strings for the millions of values of a large archive.
class StringTable {
public:
    // The high half of the hash mixed with the low one: the low 32 bits of
    // Qt's string hash alone repeat far more often than chance for short
    // texts that differ in a few characters (one in fifteen of "v1.1" to
    // "v99999.19"), and each repeat costs a comparison of the texts.
    static quint32 hashOf(const QString& s)
    {
        constexpr quint64 kMix = 0x9E3779B97F4A7C15ULL;
        return quint32((quint64(qHash(s, kMix)) * kMix) >> 32);
    }

    // Starts loading the slot a string's search begins at. The slots are met
    // at random, each a miss of the caches: a record's strings are announced
    // together, so that their loads overlap rather than follow one another.
    void prefetch(quint32 hash) const { __builtin_prefetch(&m_slots.begin()[hash & (m_slots.size() - 1)]); }

    template <typename Add, typename Equals>
    quint64 find(const QString& s, quint32 hash, Add add, Equals equals)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        for (; m_slots[i].uid != 0; i = (i + 1) & mask) {
            if (m_slots[i].hash == hash && equals(m_slots[i].uid))
                return m_slots[i].uid;
        }
        const quint64 uid = add(); // never 0: that number is the null object's
        if (uid > std::numeric_limits<quint32>::max())
            return uid; // beyond the table: stored again if met again
        m_slots[i] = Slot{hash, quint32(uid)};
        if (full(++m_count, m_slots.size()))
            grow();
        return uid;
    }

    // Room for `count` strings before the table first grows, while it is
    // empty: each growth moves every string found so far.
    void reserve(std::size_t count)
    {
        constexpr std::size_t kMostSlots = std::size_t(1) << 24;
        std::size_t size = m_slots.size();
        while (full(count, size) && size < kMostSlots)
            size *= 2;
        if (m_count == 0 && size > m_slots.size()) {
            SlotTable<Slot> larger(size);
            larger.swap(m_slots);
        }
    }

    // Forgets every string, and gives back the slots' memory.
    void clear()
    {
        SlotTable<Slot> small(kInitialSlots);
        small.swap(m_slots);
        m_count = 0;
    }

private:
    static constexpr std::size_t kInitialSlots = 1024;

    // Three quarters of the slots taken: a search then reads about two cache
    // lines of slots in all, and the table of a large archive takes a third
    // less memory than at half.
    static bool full(std::size_t count, std::size_t capacity) { return count * 4 > capacity * 3; }

    struct Slot {
        quint32 hash = 0;
        quint32 uid = 0; // 0: empty
    };

    void grow()
    {
        SlotTable<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        constexpr std::size_t kAhead = 16;
        for (std::size_t k = 0; k < old.size(); ++k) {
            if (k + kAhead < old.size())
                __builtin_prefetch(&m_slots[old.begin()[k + kAhead].hash & mask], 1);
            const Slot& slot = old.begin()[k];
            if (slot.uid == 0)
                continue;
            std::size_t i = slot.hash & mask;
            while (m_slots[i].uid != 0)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    SlotTable<Slot> m_slots{kInitialSlots};
    std::size_t m_count = 0;
};

class ArchiveWriter {
public:
    using Index = BinaryPlistWriter::Index;

    explicit ArchiveWriter(const KeyedArchiver::ElementSubstitute& substitute = {}) : m_substitute(substitute) {}

    // `out` a QByteArray for the whole file, or a QByteArrayList for its pieces.
    template <typename Out>
    bool encodeRoot(const Value& root, Out& out, QString* error)
    {
        Index top = 0;
        if (!encodeObjects(root, top, error))
            return false;
        if constexpr (std::is_same_v<Out, QByteArrayList>)
            out = m_plist.finishInPieces(top);
        else
            out = m_plist.finish(top);
        return true;
    }

private:
    // Every object of the archive, `top` the dictionary at its head.
    bool encodeObjects(const Value& root, Index& top, QString* error)
    {
        // An array of records holds up to as many strings as the first has
        // values for each of them, and many of them are shared or empty: room
        // for a third of that is seldom wasted, and saves most of the growth.
        if (const ArrayRef records = root.array(); records && records->count() > 0) {
            if (const Dictionary* first = records->objects().front().dictionaryIfDictionary())
                m_strings.reserve(std::size_t(records->count()) * std::size_t(first->count()) / 3);
            // Each record is four objects at least (its UID, the arrays of
            // its keys and of its values, and itself): from kManyRecords on
            // the references need four bytes, and the writer keeps none of
            // the collections to lay them out.
            constexpr qsizetype kManyRecords = 1 << 14;
            if (records->count() >= kManyRecords) {
                m_plist.setReferenceSize(4);
                m_plist.expectLargeFile();
            }
        }
        m_objects.push_back(m_plist.addString(QStringLiteral("$null")));
        quint64 rootUid = 0;
        if (!root.isNull() && !encode(root, 0, rootUid, error))
            return false;
        const Index objects = m_plist.addArray(std::span<const Index>(m_objects.data(), m_objects.size()));
        const Index rootReference = object({{key("root"), m_plist.addUid(rootUid)}});
        top = object({{key("$version"), m_plist.addInt(kArchiveVersion)},
                      {key("$objects"), objects},
                      {key("$archiver"), m_plist.addString(QStringLiteral("NSKeyedArchiver"))},
                      {key("$top"), rootReference}});
        // What finds repeated values is not needed for the layout, which
        // makes the file's buffer: it goes first.
        forgetValues();
        return true;
    }

    void forgetValues()
    {
        m_objects.release();
        m_identityUids = {};
        m_strings.clear();
        m_valueHashes = {};
        m_refs = {};
        m_dataUids = {};
        m_longStrings = {};
        m_longData = {};
        m_numberUids = {};
        m_dateUids = {};
    }

    Index key(const char* name) { return m_plist.addString(QString::fromLatin1(name)); }
    Index key(Key k)
    {
        Index& i = m_keyIndexes[std::size_t(k)];
        if (i == kNoIndex)
            i = m_plist.addString(keyName(k));
        return i;
    }

    quint64 newObject(Index plistIndex)
    {
        m_objects.push_back(plistIndex);
        return m_objects.size() - 1;
    }

    // Inline objects (strings, numbers, byte strings) are stored once per value.
    template <typename K, typename MakeIndex>
    quint64 inlineObject(QHash<K, quint64>& uids, const K& k, MakeIndex make)
    {
        const auto found = uids.constFind(k);
        if (found != uids.constEnd())
            return *found;
        const quint64 uid = newObject(make());
        uids.insert(k, uid);
        return uid;
    }

    quint64 classUid(const QString& name, const QStringList& classes)
    {
        const auto found = m_classUids.constFind(name);
        if (found != m_classUids.constEnd())
            return *found;
        std::vector<Index> chain;
        for (const QString& c : classes)
            chain.push_back(m_plist.addString(c));
        const Index record = object({{key("$classes"), m_plist.addArray(chain)}, {key("$classname"), m_plist.addString(name)}});
        const quint64 uid = newObject(record);
        m_classUids.insert(name, uid);
        return uid;
    }

    // The classes of most objects, whose records are looked up once.
    enum class KnownClass { Dictionary, Array, Date, Count };
    quint64 knownClassUid(KnownClass k)
    {
        quint64& uid = m_knownClassUids[std::size_t(k)];
        if (uid != 0)
            return uid;
        switch (k) {
        case KnownClass::Dictionary:
            uid = classUid(QStringLiteral("NSMutableDictionary"),
                           {QStringLiteral("NSMutableDictionary"), QStringLiteral("NSDictionary"), QStringLiteral("NSObject")});
            break;
        case KnownClass::Array:
            uid = classUid(QStringLiteral("NSMutableArray"),
                           {QStringLiteral("NSMutableArray"), QStringLiteral("NSArray"), QStringLiteral("NSObject")});
            break;
        case KnownClass::Date:
        case KnownClass::Count:
            uid = classUid(QStringLiteral("NSDate"), {QStringLiteral("NSDate"), QStringLiteral("NSObject")});
            break;
        }
        return uid;
    }

    Index uidRef(quint64 uid) { return m_plist.addUid(uid); }

    // A dictionary of the property list. The pairs are a braced list, whose
    // parts are evaluated in order (unlike function arguments), so that the
    // objects are numbered the same by every compiler.
    Index object(std::initializer_list<std::pair<Index, Index>> pairs)
    {
        constexpr std::size_t kMost = 4;
        std::array<Index, kMost> keys, values;
        std::size_t n = 0;
        for (const auto& [k, v] : pairs) {
            keys[n] = k;
            values[n] = v;
            ++n;
        }
        return m_plist.addDict(std::span(keys).first(n), std::span(values).first(n));
    }

    // Equal strings are stored once. The keys of many records share their
    // text, so a small table by address answers most of them before the one
    // by content is asked.
    quint64 stringUid(const QString& s) { return stringUid(s, nullptr); }

    // `hash`, when given, is the string's StringTable::hashOf.
    quint64 stringUid(const QString& s, const quint32* hash)
    {
        if (LongValueIndex<QString>::isLong(s)) {
            if (const quint64* found = m_longStrings.find(s))
                return *found;
            const quint64 uid = newObject(m_plist.addString(s, false));
            m_longStrings.insert(s, uid);
            return uid;
        }
        RecentString& recent = m_recentStrings[(quintptr(s.constData()) >> 4) % m_recentStrings.size()];
        if (recent.data == s.constData() && recent.size == s.size() && recent.data)
            return recent.uid;
        const quint64 uid = m_strings.find(s, hash ? *hash : StringTable::hashOf(s),
                                           [&] { return newObject(m_plist.addString(s, false)); },
                                           [&](quint64 candidate) { return m_plist.stringEquals(m_objects[candidate], s); });
        recent = RecentString{s.constData(), s.size(), uid};
        return uid;
    }

    quint64 nullUid()
    {
        if (m_nullUid == 0) {
            const quint64 cls = classUid(QStringLiteral("NSNull"), {QStringLiteral("NSNull"), QStringLiteral("NSObject")});
            m_nullUid = newObject(object({{key(Key::Class), uidRef(cls)}}));
        }
        return m_nullUid;
    }

    // An element of a collection: the absent value is stored as NSNull.
    bool encodeElement(const Value& v, int depth, Index& out, QString* error)
    {
        quint64 uid = 0;
        if (v.isNull())
            uid = nullUid();
        else if (!encode(v, depth, uid, error))
            return false;
        out = uidRef(uid);
        return true;
    }

    bool encode(const Value& v, int depth, quint64& uid, QString* error)
    {
        if (depth > KeyedArchiver::kMaxDepth)
            return fail(error, QStringLiteral("keyed archive: the object is nested too deeply"));
        switch (v.kind()) {
        case Value::Kind::Null:
            uid = 0;
            return true;
        case Value::Kind::String:
            uid = stringUid(*v.stringIfString());
            return true;
        case Value::Kind::Data:
            if (const QByteArray data = v.dataValue(); LongValueIndex<QByteArray>::isLong(data)) {
                if (const quint64* found = m_longData.find(data)) {
                    uid = *found;
                } else {
                    uid = newObject(m_plist.addData(data));
                    m_longData.insert(data, uid);
                }
                return true;
            }
            uid = inlineObject(m_dataUids, v.dataValue(), [&] { return m_plist.addData(v.dataValue()); });
            return true;
        case Value::Kind::Bool:
        case Value::Kind::Int32:
        case Value::Kind::Int64:
        case Value::Kind::UInt64:
        case Value::Kind::Real: {
            // Kept apart by kind, so that 1, 1.0 and true stay three objects.
            const int group = v.kind() == Value::Kind::Int32 ? int(Value::Kind::Int64) : int(v.kind());
            const quint64 bits = v.kind() == Value::Kind::Real ? std::bit_cast<quint64>(v.doubleValue())
                : v.kind() == Value::Kind::UInt64              ? v.unsignedLongLongValue()
                                                               : quint64(v.longLongValue());
            uid = inlineObject(m_numberUids, std::pair(group, bits), [&] {
                Index i = 0;
                m_plist.addScalar(v, i);
                return i;
            });
            return true;
        }
        case Value::Kind::Date:
            uid = inlineObject(m_dateUids, std::bit_cast<quint64>(v.dateValue()), [&] {
                const quint64 cls = knownClassUid(KnownClass::Date);
                return object({{key(Key::Time), m_plist.addReal(v.dateValue())}, {key(Key::Class), uidRef(cls)}});
            });
            return true;
        case Value::Kind::Dictionary:
        case Value::Kind::Array:
        case Value::Kind::Color:
            break;
        }

        std::shared_ptr<const void> held;
        if (v.isDictionary())
            held = v.dictionary();
        else if (v.isArray())
            held = v.array();
        else
            held = v.color();
        // An object held by this value alone (the one count beyond it is
        // `held`) is met once and can be in no cycle but through an object
        // held twice, which is remembered: it needs no entry. Most records
        // are held so.
        if (held.use_count() <= 2)
            return encodeContents(v, depth, uid, error);
        const void* identity = held.get();
        const auto seen = m_identityUids.constFind(identity);
        if (seen != m_identityUids.constEnd()) {
            if (*seen == kInProgress)
                return fail(error, QStringLiteral("keyed archive: the object contains itself"));
            uid = *seen;
            return true;
        }
        m_identityUids.insert(identity, kInProgress);
        if (!encodeContents(v, depth, uid, error))
            return false;
        m_identityUids.insert(identity, uid);
        return true;
    }

    // A collection or colour as a new object. One made for the archive alone
    // (a substitute) is no object of the root's: it is not remembered.
    bool encodeContents(const Value& contents, int depth, quint64& uid, QString* error)
    {
        // The object takes its number before its contents, as the platform's archiver numbers them.
        uid = newObject(0);
        Index body = 0;
        bool ok = false;
        if (const DictionaryRef d = contents.dictionary())
            ok = encodeDictionary(*d, depth, body, error);
        else if (const ArrayRef a = contents.array())
            ok = encodeArray(*a, depth, body, error);
        else
            ok = encodeColor(*contents.color(), depth, body, error);
        if (!ok)
            return false;
        m_objects[uid] = body;
        return true;
    }

    bool encodeDictionary(const Dictionary& d, int depth, Index& out, QString* error)
    {
        // The references to the keys, then to the values, kept past those of
        // the collections this one is inside, and dropped when it is done.
        const std::size_t refs = m_refs.size();
        const auto dropRefs = qScopeGuard([&] { m_refs.resize(refs); });
        // The hashes of the short string values, their slots loading while
        // the keys are stored. Kept past those of the dictionaries this one
        // is inside, and dropped when it is done.
        const std::size_t base = m_valueHashes.size();
        const auto dropHashes = qScopeGuard([&] { m_valueHashes.resize(base); });
        for (const auto& [k, v] : d) {
            const QString* text = v.stringIfString();
            const bool hashed = text && !LongValueIndex<QString>::isLong(*text);
            const quint32 hash = hashed ? StringTable::hashOf(*text) : 0;
            if (hashed)
                m_strings.prefetch(hash);
            m_valueHashes.push_back(hash);
        }
        for (const auto& [k, v] : d)
            m_refs.push_back(uidRef(stringUid(k)));
        std::size_t i = 0;
        for (const auto& [k, v] : d) {
            Index valueRef;
            if (const QString* text = v.stringIfString(); text && depth + 1 <= KeyedArchiver::kMaxDepth) {
                valueRef = uidRef(stringUid(*text, &m_valueHashes[base + i]));
            } else if (!encodeElement(v, depth + 1, valueRef, error)) {
                return false;
            }
            m_refs.push_back(valueRef);
            ++i;
        }
        const std::span<const Index> both(m_refs.data() + refs, 2 * i);
        const quint64 cls = knownClassUid(KnownClass::Dictionary);
        out = object({{key(Key::Keys), m_plist.addArray(both.first(i))},
                      {key(Key::Objects), m_plist.addArray(both.last(i))},
                      {key(Key::Class), uidRef(cls)}});
        return true;
    }

    // The records of a large array lie apart in memory, each a dictionary,
    // its values and their texts: each a miss of the caches. Before element
    // `n` is stored, the later ones are brought in a stage a step: the
    // dictionary of the fourth after it, the values of the second, the texts
    // of the next, so that their loads overlap the work rather than wait.
    static void prefetchAhead(const std::vector<Value>& elements, std::size_t n)
    {
        if (n + 4 < elements.size()) {
            if (const Dictionary* d = elements[n + 4].dictionaryIfDictionary())
                __builtin_prefetch(d);
        }
        if (n + 2 < elements.size()) {
            if (const Dictionary* d = elements[n + 2].dictionaryIfDictionary(); d && d->count() > 0) {
                const char* values = reinterpret_cast<const char*>(&(*d->begin()).second);
                const std::size_t bytes = std::size_t(d->count()) * sizeof(Value);
                for (std::size_t at = 0; at < bytes; at += 64)
                    __builtin_prefetch(values + at);
            }
        }
        if (n + 1 < elements.size()) {
            if (const Dictionary* d = elements[n + 1].dictionaryIfDictionary()) {
                for (const auto& [k, v] : *d) {
                    if (const QString* text = v.stringIfString())
                        __builtin_prefetch(text->constData());
                }
            }
        }
    }

    bool encodeArray(const Array& a, int depth, Index& out, QString* error)
    {
        const std::size_t refs = m_refs.size();
        const auto dropRefs = qScopeGuard([&] { m_refs.resize(refs); });
        const bool substituted = depth == 0 && m_substitute;
        const std::vector<Value>& elements = a.objects();
        for (std::size_t n = 0; n < elements.size(); ++n) {
            prefetchAhead(elements, n);
            const Value& v = elements[n];
            Index ref;
            const Value substitute = substituted && v.isDictionary() ? Value(m_substitute(v.dictionary())) : Value();
            if (substitute.isDictionary()) {
                // Made, written and let go one at a time.
                quint64 uid = 0;
                if (!encodeContents(substitute, depth + 1, uid, error))
                    return false;
                ref = uidRef(uid);
            } else if (!encodeElement(v, depth + 1, ref, error)) {
                return false;
            }
            m_refs.push_back(ref);
        }
        const quint64 cls = knownClassUid(KnownClass::Array);
        const std::span<const Index> stored(m_refs.data() + refs, m_refs.size() - refs);
        out = object({{key(Key::Objects), m_plist.addArray(stored)}, {key(Key::Class), uidRef(cls)}});
        return true;
    }

    bool encodeColor(const ArchivedColor& c, int depth, Index& out, QString* error)
    {
        for (double d : c.components) {
            if (!std::isfinite(d))
                return fail(error, QStringLiteral("keyed archive: a colour component is not a finite number"));
        }
        // The components a space needs, then alpha when it is not 1.
        const auto componentText = [&](std::size_t needed) {
            std::vector<double> values(c.components.begin(), c.components.begin() + std::min(needed, c.components.size()));
            values.resize(needed, 0.0);
            if (c.components.size() > needed && c.components[needed] != 1.0)
                values.push_back(c.components[needed]);
            return formatComponents(values);
        };
        std::vector<Index> keys{key(Key::ColorSpace)};
        std::vector<Index> values{m_plist.addInt(c.colorSpace)};
        switch (c.colorSpace) {
        case 1:
        case 2:
            keys.push_back(key(Key::RGB));
            values.push_back(m_plist.addData(componentText(3)));
            break;
        case 3:
        case 4:
            keys.push_back(key(Key::White));
            values.push_back(m_plist.addData(componentText(1)));
            break;
        case 5:
            keys.push_back(key(Key::CMYK));
            values.push_back(m_plist.addData(componentText(4)));
            break;
        case 6: {
            Index ref;
            if (!encodeElement(Value(c.catalogName), depth + 1, ref, error))
                return false;
            keys.push_back(key(Key::CatalogName));
            values.push_back(ref);
            if (!encodeElement(Value(c.colorName), depth + 1, ref, error))
                return false;
            keys.push_back(key(Key::ColorName));
            values.push_back(ref);
            if (c.fallback) {
                quint64 uid = 0;
                if (!encode(Value(c.fallback), depth + 1, uid, error))
                    return false;
                keys.push_back(key(Key::Color));
                values.push_back(uidRef(uid));
            }
            break;
        }
        case 7:
            keys.push_back(key(Key::Components));
            values.push_back(m_plist.addData(formatComponents(c.components)));
            break;
        default:
            return fail(error, QStringLiteral("keyed archive: colour space %1 is not one the archive knows").arg(c.colorSpace));
        }
        const quint64 cls = classUid(QStringLiteral("NSColor"), {QStringLiteral("NSColor"), QStringLiteral("NSObject")});
        keys.push_back(key(Key::Class));
        values.push_back(uidRef(cls));
        out = m_plist.addDict(keys, values);
        return true;
    }

    static constexpr quint64 kInProgress = ~0ULL;
    static constexpr Index kNoIndex = ~Index(0);

    const KeyedArchiver::ElementSubstitute& m_substitute;
    BinaryPlistWriter m_plist;
    PodList<Index> m_objects; // the plist object of each UID
    QHash<const void*, quint64> m_identityUids;
    StringTable m_strings;
    std::vector<quint32> m_valueHashes; // of the dictionaries being stored, outermost first
    std::vector<Index> m_refs; // of the collections being stored, outermost first
    struct RecentString {
        const QChar* data = nullptr; // alive as long as the value being archived
        qsizetype size = 0;
        quint64 uid = 0;
    };
    std::vector<RecentString> m_recentStrings = std::vector<RecentString>(4096);
    QHash<QByteArray, quint64> m_dataUids;
    LongValueIndex<QString> m_longStrings;
    LongValueIndex<QByteArray> m_longData;
    QHash<std::pair<int, quint64>, quint64> m_numberUids;
    QHash<quint64, quint64> m_dateUids;
    QHash<QString, quint64> m_classUids;
    quint64 m_nullUid = 0;
    std::array<quint64, std::size_t(KnownClass::Count)> m_knownClassUids{};
    std::array<Index, std::size_t(Key::Count)> m_keyIndexes = [] {
        std::array<Index, std::size_t(Key::Count)> a;
        a.fill(kNoIndex);
        return a;
    }();
};

// ---------------------------------------------------------------------------
// Reader

enum class ClassKind { Dictionary, Array, String, Data, Date, Null, Color };

bool classKindNamed(const QString& name, ClassKind& kind)
{
    static const QHash<QString, ClassKind> kinds = {
        {QStringLiteral("NSDictionary"), ClassKind::Dictionary}, {QStringLiteral("NSMutableDictionary"), ClassKind::Dictionary},
        {QStringLiteral("NSArray"), ClassKind::Array},           {QStringLiteral("NSMutableArray"), ClassKind::Array},
        {QStringLiteral("NSString"), ClassKind::String},         {QStringLiteral("NSMutableString"), ClassKind::String},
        {QStringLiteral("NSData"), ClassKind::Data},             {QStringLiteral("NSMutableData"), ClassKind::Data},
        {QStringLiteral("NSDate"), ClassKind::Date},             {QStringLiteral("NSNull"), ClassKind::Null},
        {QStringLiteral("NSColor"), ClassKind::Color},
    };
    const auto found = kinds.constFind(name);
    if (found == kinds.constEnd())
        return false;
    kind = *found;
    return true;
}

class ArchiveReader {
public:
    using Object = BinaryPlistReader::Object;
    using Type = BinaryPlistReader::Type;

    bool read(const QByteArray& data, Value& out, QString* error)
    {
        if (!m_plist.open(data, error))
            return false;
        Object top;
        if (!m_plist.object(m_plist.topObject(), top, error))
            return false;
        if (top.type != Type::Dict)
            return fail(error, QStringLiteral("keyed archive: the property list is not a dictionary"));
        bool archiver = false, version = false;
        quint64 rootUid = 0;
        bool haveRoot = false, haveObjects = false;
        for (quint64 i = 0; i < top.count; ++i) {
            Object k, v;
            if (!entry(top, i, k, v, error))
                return false;
            if (m_plist.stringEquals(k, QLatin1StringView("$archiver"))) {
                archiver = v.type == Type::String && m_plist.stringEquals(v, QLatin1StringView("NSKeyedArchiver"));
            } else if (m_plist.stringEquals(k, QLatin1StringView("$version"))) {
                version = v.type == Type::Int && v.integer == kArchiveVersion;
            } else if (m_plist.stringEquals(k, QLatin1StringView("$objects"))) {
                haveObjects = v.type == Type::Array;
                m_objects = v;
            } else if (m_plist.stringEquals(k, QLatin1StringView("$top"))) {
                if (v.type != Type::Dict)
                    return fail(error, QStringLiteral("keyed archive: \"$top\" is not a dictionary"));
                for (quint64 j = 0; j < v.count; ++j) {
                    Object tk, tv;
                    if (!entry(v, j, tk, tv, error))
                        return false;
                    if (m_plist.stringEquals(tk, QLatin1StringView("root"))) {
                        if (tv.type != Type::Uid)
                            return fail(error, QStringLiteral("keyed archive: the root is not a reference"));
                        rootUid = tv.uid;
                        haveRoot = true;
                    }
                }
            }
        }
        if (!archiver || !version)
            return fail(error, QStringLiteral("keyed archive: not an archive of the keyed archiver, version 100000"));
        if (!haveObjects || m_objects.count == 0)
            return fail(error, QStringLiteral("keyed archive: no object table"));
        if (!haveRoot)
            return fail(error, QStringLiteral("keyed archive: no root object"));
        if (m_objects.count >= std::numeric_limits<quint32>::max() - kFirstCached)
            return fail(error, QStringLiteral("keyed archive: too many objects"));
        m_slots.assign(m_objects.count, kUnread);
        // Every value read takes a reference of at least one byte, unless an
        // object is referred to many times: what it holds then counts again
        // at each reference, so that a few bytes cannot make endless work.
        m_valueBudget = quint64(data.size()) + kValueAllowance;
        return decode(rootUid, 0, out, error);
    }

private:
    // Per object: unread, being read, read once without being kept, or the
    // place of its value in m_cached plus kFirstCached.
    enum : quint32 { kUnread, kReading, kReadOnce, kFirstCached };
    static constexpr quint64 kValueAllowance = 1024;

    // Counts `values` more values read; false past the budget.
    bool spend(quint64 values, QString* error)
    {
        if (values > m_valueBudget - m_valuesRead)
            return fail(error, QStringLiteral("keyed archive: its objects are referred to more often than its size allows"));
        m_valuesRead += values;
        return true;
    }

    bool entry(const Object& dict, quint64 i, Object& key, Object& value, QString* error) const
    {
        quint64 k = 0, v = 0;
        return m_plist.reference(dict, i, k, error) && m_plist.reference(dict, dict.count + i, v, error)
            && m_plist.object(k, key, error) && m_plist.object(v, value, error);
    }

    bool decode(quint64 uid, int depth, Value& out, QString* error)
    {
        if (uid == 0) {
            out = Value();
            return spend(1, error);
        }
        if (uid >= m_objects.count)
            return fail(error, QStringLiteral("keyed archive: reference to object %1 of %2").arg(uid).arg(m_objects.count));
        quint32& slot = m_slots[uid];
        if (slot >= kFirstCached) {
            // An object read before may sit deeper here than where it was
            // first met: the nesting of what it holds counts from here.
            const Cached& cached = m_cached[slot - kFirstCached];
            if (depth + cached.height > KeyedUnarchiver::kMaxDepth)
                return fail(error, QStringLiteral("keyed archive: objects are nested too deeply"));
            if (!spend(cached.values, error))
                return false;
            m_deepest = std::max(m_deepest, depth + cached.height);
            out = cached.value;
            return true;
        }
        if (slot == kReading)
            return fail(error, QStringLiteral("keyed archive: object %1 contains itself").arg(uid));
        if (depth > KeyedUnarchiver::kMaxDepth)
            return fail(error, QStringLiteral("keyed archive: objects are nested too deeply"));
        quint64 index = 0;
        if (!m_plist.reference(m_objects, uid, index, error))
            return false;
        // Short strings, most of what an archive holds, are read without an Object.
        Object o;
        const bool shortString = m_plist.shortString(index, out);
        if (!shortString && !m_plist.object(index, o, error))
            return false;
        const quint64 valuesBefore = m_valuesRead;
        if (!spend(1, error))
            return false;
        int height = 0;
        if (!shortString && o.type == Type::Dict) {
            slot = kReading;
            const int outer = m_deepest;
            m_deepest = depth;
            if (!decodeClassed(o, depth, out, error))
                return false;
            height = m_deepest - depth;
            m_deepest = std::max(outer, m_deepest);
        } else if (!shortString && !inlineValue(o, out)) {
            return fail(error, QStringLiteral("keyed archive: object %1 is not an object").arg(uid));
        } else {
            m_deepest = std::max(m_deepest, depth);
            if (slot == kUnread) {
                // Most inline objects are referred to once: they are kept
                // only from their second use on.
                slot = kReadOnce;
                return true;
            }
        }
        m_cached.push_back(Cached{out, height, m_valuesRead - valuesBefore});
        m_slots[uid] = static_cast<quint32>(m_cached.size() - 1) + kFirstCached;
        return true;
    }

    // Strings, numbers, byte strings and dates stored in place.
    bool inlineValue(const Object& o, Value& out) const { return o.type != Type::Null && m_plist.scalar(o, out); }

    // The keys of an object's dictionary that the reader knows, found in one pass.
    struct Fields {
        std::array<quint64, int(Key::Count)> ref{};
        std::array<bool, int(Key::Count)> present{};
        bool has(Key k) const { return present[std::size_t(k)]; }
        quint64 at(Key k) const { return ref[std::size_t(k)]; }
    };

    bool fields(const Object& dict, Fields& f, QString* error)
    {
        for (quint64 i = 0; i < dict.count; ++i) {
            quint64 keyRef = 0, valueRef = 0;
            if (!m_plist.reference(dict, i, keyRef, error) || !m_plist.reference(dict, dict.count + i, valueRef, error))
                return false;
            KeyId& known = m_keyIds[keyRef % m_keyIds.size()];
            if (known.ref != keyRef) {
                Object k;
                if (!m_plist.object(keyRef, k, error))
                    return false;
                if (k.type != Type::String)
                    return fail(error, QStringLiteral("keyed archive: an object has a key that is not a string"));
                int id = -1;
                for (int n = 0; n < int(Key::Count); ++n) {
                    if (m_plist.stringEquals(k, kKeyNames[std::size_t(n)])) {
                        id = n;
                        break;
                    }
                }
                known = KeyId{keyRef, id};
            }
            if (const int id = known.id; id >= 0) {
                f.ref[std::size_t(id)] = valueRef;
                f.present[std::size_t(id)] = true;
            }
        }
        return true;
    }

    bool className(quint64 classUid, ClassKind& kind, QString* error)
    {
        const auto cached = m_classes.constFind(classUid);
        if (cached != m_classes.constEnd()) {
            kind = *cached;
            return true;
        }
        quint64 index = 0;
        Object record;
        if (classUid == 0 || classUid >= m_objects.count || !m_plist.reference(m_objects, classUid, index, error)
            || !m_plist.object(index, record, error) || record.type != Type::Dict)
            return fail(error, QStringLiteral("keyed archive: invalid class reference %1").arg(classUid));
        QString name;
        QStringList chain;
        for (quint64 i = 0; i < record.count; ++i) {
            Object k, v;
            if (!entry(record, i, k, v, error))
                return false;
            if (m_plist.stringEquals(k, QLatin1StringView("$classname")) && v.type == Type::String) {
                name = m_plist.string(v);
            } else if (m_plist.stringEquals(k, QLatin1StringView("$classes")) && v.type == Type::Array) {
                // Only a few names are looked at: a long chain adds nothing.
                for (quint64 j = 0; j < std::min<quint64>(v.count, 16); ++j) {
                    quint64 ref = 0;
                    Object c;
                    if (!m_plist.reference(v, j, ref, error) || !m_plist.object(ref, c, error))
                        return false;
                    if (c.type == Type::String)
                        chain << m_plist.string(c);
                }
            }
        }
        if (name.isEmpty())
            return fail(error, QStringLiteral("keyed archive: a class record has no name"));
        // A class of its own may stand in for a known one higher in its chain.
        bool known = classKindNamed(name, kind);
        for (const QString& c : chain) {
            if (known)
                break;
            known = classKindNamed(c, kind);
        }
        if (!known)
            return fail(error, QStringLiteral("keyed archive: objects of class %1 cannot be read").arg(name.left(80)));
        m_classes.insert(classUid, kind);
        return true;
    }

    // A field's value: stored in place, or a reference to an object.
    bool field(const Fields& f, Key k, int depth, Value& out, QString* error)
    {
        out = Value();
        if (!f.has(k))
            return true;
        quint64 uid = 0;
        if (m_plist.uid(f.at(k), uid))
            return decode(uid, depth + 1, out, error);
        Object o;
        if (!m_plist.object(f.at(k), o, error))
            return false;
        if (!inlineValue(o, out))
            return fail(error, QStringLiteral("keyed archive: \"%1\" has a value of the wrong type").arg(keyName(k)));
        return true;
    }

    // "NS.keys" and "NS.objects": arrays of references.
    bool references(const Fields& f, Key k, Object& array, QString* error)
    {
        array = Object();
        array.type = Type::Array;
        if (!f.has(k))
            return true;
        if (!m_plist.object(f.at(k), array, error))
            return false;
        return array.type == Type::Array
            || fail(error, QStringLiteral("keyed archive: \"%1\" is not an array").arg(keyName(k)));
    }

    bool elementUid(const Object& array, quint64 i, quint64& uid, QString* error)
    {
        quint64 ref = 0;
        if (!m_plist.reference(array, i, ref, error))
            return false;
        if (m_plist.uid(ref, uid))
            return true;
        Object o;
        return m_plist.object(ref, o, error)
            && fail(error, QStringLiteral("keyed archive: a collection holds something other than a reference"));
    }

    bool element(const Object& array, quint64 i, int depth, Value& out, QString* error)
    {
        quint64 uid = 0;
        return elementUid(array, i, uid, error) && decode(uid, depth + 1, out, error);
    }

    bool decodeClassed(const Object& o, int depth, Value& out, QString* error)
    {
        Fields f;
        if (!fields(o, f, error))
            return false;
        quint64 classUid = 0;
        if (!f.has(Key::Class) || !m_plist.uid(f.at(Key::Class), classUid))
            return fail(error, QStringLiteral("keyed archive: an object has no class"));
        ClassKind kind;
        if (!className(classUid, kind, error))
            return false;
        switch (kind) {
        case ClassKind::Dictionary:
            return decodeDictionary(f, depth, out, error);
        case ClassKind::Array: {
            Object objects;
            if (!references(f, Key::Objects, objects, error))
                return false;
            ArrayRef array = Array::create();
            array->reserve(qsizetype(objects.count));
            for (quint64 i = 0; i < objects.count; ++i) {
                Value v;
                if (!element(objects, i, depth, v, error))
                    return false;
                array->addObject(std::move(v));
            }
            out = Value(array);
            return true;
        }
        case ClassKind::String:
            return field(f, Key::String, depth, out, error)
                && (out.isString() || fail(error, QStringLiteral("keyed archive: a string object holds no string")));
        case ClassKind::Data:
            return field(f, Key::Data, depth, out, error)
                && (out.isData() || fail(error, QStringLiteral("keyed archive: a data object holds no bytes")));
        case ClassKind::Date: {
            Value time;
            if (!field(f, Key::Time, depth, time, error))
                return false;
            if (!time.isNumber() || time.kind() == Value::Kind::Bool)
                return fail(error, QStringLiteral("keyed archive: a date holds no time"));
            out = Value::date(time.doubleValue());
            return true;
        }
        case ClassKind::Null:
            out = Value();
            return true;
        case ClassKind::Color:
            return decodeColor(f, depth, out, error);
        }
        return false;
    }

    bool decodeDictionary(const Fields& f, int depth, Value& out, QString* error)
    {
        Object keys, objects;
        if (!references(f, Key::Keys, keys, error) || !references(f, Key::Objects, objects, error))
            return false;
        if (keys.count != objects.count)
            return fail(error, QStringLiteral("keyed archive: a dictionary has %1 keys for %2 values").arg(keys.count).arg(objects.count));
        // The dictionaries of an archive mostly share a few sets of keys:
        // each set is decoded and checked for repeated keys once, and known
        // again by the references to its keys, which are the same bytes.
        const QByteArrayView keyRefs = m_plist.referenceBytes(keys);
        ArchiveDictionaryBuilder layout;
        const auto known = m_layouts.constFind(QByteArray::fromRawData(keyRefs.data(), keyRefs.size()));
        if (known != m_layouts.constEnd()) {
            layout = *known;
        } else {
            std::vector<QString> names;
            names.reserve(std::size_t(keys.count));
            for (quint64 i = 0; i < keys.count; ++i) {
                Value k;
                if (!element(keys, i, depth, k, error))
                    return false;
                if (!k.isString())
                    return fail(error, QStringLiteral("keyed archive: a dictionary key is not a string"));
                names.push_back(k.stringValue());
            }
            layout.setKeys(names); // no keys when one repeats
            if (m_layouts.size() < kMaxLayouts)
                m_layouts.insert(keyRefs.toByteArray(), layout);
        }
        // Room for one value more: a dictionary read is often given one more
        // key (a record the link to its category), which then moves none of
        // its values and leaves no hole of their old size in the heap.
        std::vector<Value> values;
        values.reserve(std::size_t(objects.count) + 1);
        bool complete = layout.hasKeys();
        for (quint64 i = 0; i < objects.count; ++i) {
            Value& v = values.emplace_back();
            if (!element(objects, i, depth, v, error))
                return false;
            complete = complete && !v.isNull();
        }
        if (complete) {
            out = Value(layout.build(std::move(values)));
            return true;
        }
        // A key given twice (the last value holds) or an NSNull value (no entry).
        DictionaryRef dict = Dictionary::create();
        dict->reserve(qsizetype(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) {
            Value k;
            if (!element(keys, i, depth, k, error))
                return false;
            dict->setObject(values[i], k.stringValue());
        }
        out = Value(dict);
        return true;
    }

    bool decodeColor(const Fields& f, int depth, Value& out, QString* error)
    {
        Value space;
        if (!field(f, Key::ColorSpace, depth, space, error))
            return false;
        if (!space.isInteger())
            return fail(error, QStringLiteral("keyed archive: a colour has no colour space"));
        auto color = std::make_shared<ArchivedColor>();
        color->colorSpace = space.intValue();
        // The text of the space's own key, else the generic components.
        const auto components = [&](Key own, std::size_t needed) {
            Value text;
            if (!field(f, own, depth, text, error))
                return false;
            if (text.isNull() && !field(f, Key::Components, depth, text, error))
                return false;
            if (!text.isData())
                return fail(error, QStringLiteral("keyed archive: a colour has no components"));
            std::vector<double> values = parseComponents(text.dataValue());
            if (needed == 0) {
                color->components = values;
                return true;
            }
            // Components the text lacks read as 0; alpha as 1.
            const double alpha = values.size() > needed ? values[needed] : 1.0;
            values.resize(needed, 0.0);
            values.push_back(alpha);
            color->components = values;
            return true;
        };
        switch (color->colorSpace) {
        case 1:
        case 2:
            if (!components(Key::RGB, 3))
                return false;
            break;
        case 3:
        case 4:
            if (!components(Key::White, 1))
                return false;
            break;
        case 5:
            if (!components(Key::CMYK, 4))
                return false;
            break;
        case 6: {
            Value catalog, name, fallback;
            if (!field(f, Key::CatalogName, depth, catalog, error) || !field(f, Key::ColorName, depth, name, error)
                || !field(f, Key::Color, depth, fallback, error))
                return false;
            if (!catalog.isString() || !name.isString() || !(fallback.isNull() || fallback.isColor()))
                return fail(error, QStringLiteral("keyed archive: a named colour lacks its names"));
            color->catalogName = catalog.stringValue();
            color->colorName = name.stringValue();
            color->fallback = fallback.color();
            break;
        }
        case 7:
            if (!components(Key::Components, 0))
                return false;
            break;
        default:
            return fail(error, QStringLiteral("keyed archive: colour space %1 is unknown").arg(color->colorSpace));
        }
        out = Value(ColorRef(color));
        return true;
    }

    BinaryPlistReader m_plist;
    Object m_objects; // the "$objects" array
    std::vector<quint32> m_slots;
    struct Cached {
        Value value;
        int height; // levels of nesting below the object
        quint64 values; // the values read for it, itself included
    };
    std::vector<Cached> m_cached;
    quint64 m_valueBudget = 0;
    quint64 m_valuesRead = 0;
    int m_deepest = 0; // the deepest level reached by the object being read
    // Key string objects met lately and their Key, or -1, by the number of
    // the object: an archive has only a few.
    struct KeyId {
        quint64 ref = std::numeric_limits<quint64>::max();
        int id = -1;
    };
    std::array<KeyId, 64> m_keyIds{};
    QHash<quint64, ClassKind> m_classes;
    // The sets of keys met so far, by the references of their keys.
    QHash<QByteArray, ArchiveDictionaryBuilder> m_layouts;
};

} // namespace

bool KeyedArchiver::archive(const Value& root, QByteArray& out, QString* error)
{
    return archive(root, out, error, {});
}

bool KeyedArchiver::archive(const Value& root, QByteArrayList& pieces, QString* error)
{
    pieces.clear();
    ArchiveWriter writer;
    return writer.encodeRoot(root, pieces, error);
}

bool KeyedArchiver::archive(const Value& root, QByteArray& out, QString* error, const ElementSubstitute& substitute)
{
    out.clear();
    ArchiveWriter writer(substitute);
    return writer.encodeRoot(root, out, error);
}

QByteArray KeyedArchiver::archivedDataWithRootObject(const Value& root)
{
    QByteArray out;
    archive(root, out, nullptr);
    return out;
}

bool KeyedUnarchiver::unarchive(const QByteArray& data, Value& out, QString* error)
{
    out = Value();
    QByteArray binary = data;
    if (!data.startsWith("bplist")) {
        // The XML form is turned into the binary one, whose reader checks
        // every reference; "CF$UID" dictionaries become references on the way.
        Value plist;
        PropertyList::Format format;
        if (!PropertyList::read(data, plist, error, &format))
            return false;
        if (!PropertyList::write(plist, PropertyList::Format::Binary, binary, error))
            return false;
    }
    ArchiveReader reader;
    if (!reader.read(binary, out, error)) {
        out = Value();
        return false;
    }
    return true;
}

Value KeyedUnarchiver::unarchiveObjectWithData(const QByteArray& data, QString* error)
{
    Value out;
    unarchive(data, out, error);
    return out;
}
