#pragma once
// The binary property-list format ("bplist00") at the level of its object
// table, shared by the property-list conversion and the keyed archive. Our own
// code rather than libplist 2.2, whose nodes keep integers without their sign
// (no telling -1 from 2^64 - 1) and dates only to the microsecond; the keyed
// archive also reads the object table in place, without building a tree first.
//
// The reader trusts nothing in the bytes: every offset, count and reference is
// checked against the buffer before it is used.

#include "platform/Value.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

class BinaryPlistReader {
public:
    enum class Type { Null, Bool, Int, Real, Date, Data, String, Uid, Array, Dict };

    struct Object {
        Type type = Type::Null;
        bool boolean = false;
        // Integers: the value and whether it was stored as an unsigned 128-bit
        // number (the form that carries values above 2^63 - 1).
        qint64 integer = 0;
        bool isUnsigned = false;
        double real = 0.0; // reals and dates
        quint64 uid = 0;
        // Data bytes, string code units, array elements or dictionary pairs.
        quint64 count = 0;
        qsizetype start = 0; // where the bytes, characters or references begin
        bool utf16 = false; // strings
    };

    // Checks the header, the trailer and the bounds of the offset table.
    bool open(const QByteArray& data, QString* error);

    quint64 objectCount() const { return m_objectCount; }
    quint64 topObject() const { return m_topObject; }

    // Decodes the marker of an object and checks that its body lies in the buffer.
    bool object(quint64 index, Object& out, QString* error) const;
    // The i-th reference of an array, or of a dictionary's keys followed by its
    // values; checked against the object count.
    bool reference(const Object& container, quint64 i, quint64& out, QString* error) const
    {
        const quint64 limit = container.type == Type::Dict ? container.count * 2 : container.count;
        if ((container.type != Type::Array && container.type != Type::Dict) || i >= limit)
            return referenceOutOfRange(error);
        out = readUnsigned(container.start + qsizetype(i) * m_refSize, m_refSize);
        return out < m_objectCount || badReference(out, error);
    }
    // The references of an array as they are stored, one reference wide each:
    // equal bytes refer to the same objects.
    QByteArrayView referenceBytes(const Object& array) const
    {
        return QByteArrayView(m_bytes + array.start, qsizetype(array.count) * m_refSize);
    }
    // The number of a UID object, read without decoding an Object: false for
    // an object that is anything else or malformed, which object() then tells.
    bool uid(quint64 index, quint64& out) const
    {
        const qsizetype at = offsetOf(index);
        if (at < 0 || (m_bytes[at] >> 4) != 0x8)
            return false;
        const int size = (m_bytes[at] & 0x0F) + 1;
        if (size > 8 || size >= m_offsetTable - at)
            return false;
        out = readUnsigned(at + 1, size);
        return true;
    }
    // A string of marker 5 with its length in the marker (up to 14 ASCII
    // characters) as a value, read without decoding an Object: false for
    // anything else, which object() then reads.
    bool shortString(quint64 index, Value& out) const;
    QString string(const Object& string) const;
    QByteArray data(const Object& data) const;
    // The value of anything but a reference, array or dictionary: integers as
    // Int64, or UInt64 when stored unsigned. False for those three.
    bool scalar(const Object& o, Value& out) const;
    // Whether a string object holds exactly this ASCII text, without decoding it.
    bool stringEquals(const Object& string, QLatin1StringView text) const;

private:
    // A big-endian number of 1 to 8 bytes; the widths the format mostly uses
    // are read in one load.
    quint64 readUnsigned(qsizetype at, int size) const
    {
        const uchar* p = m_bytes + at;
        switch (size) {
        case 1:
            return *p;
        case 2:
            return qFromBigEndian<quint16>(p);
        case 4:
            return qFromBigEndian<quint32>(p);
        case 8:
            return qFromBigEndian<quint64>(p);
        default:
            break;
        }
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | p[i];
        return value;
    }
    // Where object `index` begins, between the header and the offset table;
    // -1 when it is out of range or its offset out of bounds.
    qsizetype offsetOf(quint64 index) const
    {
        if (index >= m_objectCount)
            return -1;
        const quint64 offset = readUnsigned(m_offsetTable + qsizetype(index) * m_offsetSize, m_offsetSize);
        return offset >= quint64(kHeaderSize) && offset < quint64(m_offsetTable) ? qsizetype(offset) : -1;
    }
    bool fail(QString* error, const QString& message) const;
    bool referenceOutOfRange(QString* error) const;
    bool badReference(quint64 index, QString* error) const;
    bool truncatedObject(quint64 index, QString* error) const;

    static constexpr qsizetype kHeaderSize = 8; // "bplist00"

    QByteArray m_data;
    const uchar* m_bytes = nullptr;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    qsizetype m_offsetTable = 0;
    int m_offsetSize = 0;
    int m_refSize = 0;
};

// Long strings and byte strings already stored, with the number each was
// stored as: found by their length and a few samples of their contents, so
// that a value of hundreds of megabytes is not read whole to be hashed.
template <typename Text> // QString or QByteArray
class LongValueIndex {
public:
    static constexpr qsizetype kLong = 4096; // in bytes; shorter ones are hashed whole

    static bool isLong(const Text& v) { return bytesOf(v) >= kLong; }

    const quint64* find(const Text& v) const
    {
        const auto [first, last] = m_values.equal_range(sampledHash(v));
        for (auto it = first; it != last; ++it) {
            if (it->second.first == v)
                return &it->second.second;
        }
        return nullptr;
    }
    void insert(const Text& v, quint64 number) { m_values.emplace(sampledHash(v), std::pair(v, number)); }

private:
    static qsizetype bytesOf(const Text& v) { return v.size() * qsizetype(sizeof(*v.constData())); }

    static std::size_t sampledHash(const Text& v)
    {
        const char* p = reinterpret_cast<const char*>(v.constData());
        const qsizetype n = bytesOf(v);
        std::size_t h = qHash(n);
        constexpr qsizetype kSample = 64, kSamples = 16;
        for (qsizetype k = 0; k < kSamples; ++k) {
            const qsizetype at = (n - kSample) * k / (kSamples - 1);
            h = qHashBits(p + at, kSample, h);
        }
        return h;
    }

    std::unordered_multimap<std::size_t, std::pair<Text, quint64>> m_values;
};

// Blocks of the lists below. From kOwnMapping bytes on a block is mapped on
// its own: growing it moves its pages rather than copying them, and letting
// it go gives its memory back at once instead of leaving it in the heap,
// where a run of doublings would leave one freed block after another.
void* growListBlock(void* block, std::size_t bytes, std::size_t newBytes);
void freeListBlock(void* block, std::size_t bytes);

// A growing list of plain values: one check per push, no construction of
// the unused capacity. For numbers and offsets, not for content.
template <typename T>
class PodList {
public:
    PodList() = default;
    ~PodList() { freeListBlock(m_data, m_capacity * sizeof(T)); }
    PodList(const PodList&) = delete;
    PodList& operator=(const PodList&) = delete;

    std::size_t size() const { return m_size; }
    T& operator[](std::size_t i) { return m_data[i]; }
    T& back() { return m_data[m_size - 1]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }
    const T* data() const { return m_data; }
    void push_back(T v)
    {
        if (m_size == m_capacity)
            grow(1);
        m_data[m_size++] = v;
    }
    // `n` more values at the end, left for the caller to set.
    T* append(std::size_t n)
    {
        if (m_capacity - m_size < n)
            grow(n);
        T* p = m_data + m_size;
        m_size += n;
        return p;
    }
    void release()
    {
        freeListBlock(m_data, m_capacity * sizeof(T));
        m_data = nullptr;
        m_size = m_capacity = 0;
    }

private:
    void grow(std::size_t n)
    {
        const std::size_t capacity = std::max({m_size + n, 2 * m_capacity, std::size_t(1024)});
        m_data = static_cast<T*>(growListBlock(m_data, m_capacity * sizeof(T), capacity * sizeof(T)));
        m_capacity = capacity;
    }

    T* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// Collects objects and writes them as a binary property list. Scalars are
// encoded as they are added and stored once per distinct value; containers
// refer to objects by index and are laid out at the end, when the width of a
// reference is known.
class BinaryPlistWriter {
public:
    using Index = quint32;

    BinaryPlistWriter() = default;
    ~BinaryPlistWriter();
    BinaryPlistWriter(const BinaryPlistWriter&) = delete;
    BinaryPlistWriter& operator=(const BinaryPlistWriter&) = delete;

    Index addBool(bool b);
    Index addInt(qint64 i);
    Index addUnsigned(quint64 u); // above 2^63 - 1 as a 128-bit integer
    Index addReal(double d);
    Index addDate(double secondsSince2001);
    Index addData(const QByteArray& data);
    // `unique` false skips the search for an equal string already added, for
    // callers that store each distinct string once anyway.
    Index addString(const QString& string, bool unique = true);
    Index addUid(quint64 uid);
    // Whether the string object at `index` holds exactly this text.
    bool stringEquals(Index index, const QString& string) const;
    // Strings, byte strings, numbers and dates; false for any other kind.
    bool addScalar(const Value& v, Index& out);
    Index addArray(std::span<const Index> elements);
    Index addDict(std::span<const Index> keys, std::span<const Index> values); // of one length

    // References of `size` bytes (1, 2, 4 or 8) for every container, for a
    // caller that knows the file will hold enough objects to need them (4 for
    // more than 65,535): containers are then encoded as they are added, with
    // nothing kept to lay them out. Before any container is added.
    void setReferenceSize(int size) { m_fixedRefSize = size; }
    // For a file expected to take megabytes: its bytes are collected in a
    // block mapped on its own from the start.
    void expectLargeFile() { m_expectLarge = true; }

    // The whole file with `top` as its root object, which leaves the writer empty.
    QByteArray finish(Index top);
    // The same file in pieces to be written one after the other: each long
    // byte string is a piece of its own, shared with the value it came from
    // rather than copied.
    QByteArrayList finishInPieces(Index top);

private:
    // What the objects are, in order: each object but the encoded ones has
    // an entry of its own; encoded objects, whose bytes follow one another in
    // m_encoded, share one for up to kRun of them.
    enum Kept : quint8 {
        Encoded, // in m_encoded from the place on, each object as long as its marker tells
        LargeData, // in m_largeData
        LargeAscii, // in m_largeStrings, written as ASCII
        LargeUtf16, // in m_largeStrings, written as UTF-16
        ArrayRefs, // in m_refs: the count, then the references
        DictRefs, // in m_refs: the count of pairs, the keys, then the values
    };
    static constexpr quint32 kRun = 64;
    struct Entry {
        quint64 place; // in m_encoded, m_largeData, m_largeStrings or m_refs
        Index first; // the number of its first object
        quint16 count; // of objects: 1 unless Encoded
        Kept kept;
    };
    Index addEntry(Kept kept, quint64 place)
    {
        m_entries.push_back(Entry{place, m_objectCount, 1, kept});
        return m_objectCount++;
    }

    // Room for `size` more bytes at the end of m_encoded, not yet taken.
    char* encodedTail(qsizetype size)
    {
        if (m_encodedCapacity - m_used < size)
            growEncoded(m_used + size);
        return m_encodedData + m_used;
    }
    // A new encoded object of `size` bytes, which the caller writes at `out`.
    Index newEncoded(qsizetype size, char*& out)
    {
        out = encodedTail(size);
        return takeEncoded(size);
    }
    // The object begun at the end of m_encoded, `size` bytes long.
    Index takeEncoded(qsizetype size)
    {
        if (m_entries.size() > 0 && m_entries.back().kept == Encoded && m_entries.back().count < kRun)
            ++m_entries.back().count;
        else
            m_entries.push_back(Entry{quint64(m_used), m_objectCount, 1, Encoded});
        m_used += size;
        return m_objectCount++;
    }
    void growEncoded(qsizetype size);
    void releaseEncoded();
    Index addEncoded(const char* bytes, qsizetype size);
    Index addUniqueScalar(int kind, quint64 bits, const char* bytes, qsizetype size);
    Index addContainer(Kept kept, std::size_t count, std::span<const Index> first, std::span<const Index> second);
    quint64 finalSize(const Entry& e, int refSize) const; // of any object not Encoded
    QByteArrayList layOut(Index top, bool dataApart);

    PodList<Entry> m_entries;
    bool m_expectLarge = false;
    int m_fixedRefSize = 0; // 0: chosen from the count of objects when the file is laid out
    Index m_objectCount = 0;
    PodList<Index> m_refs;
    // The bytes of every encoded object, in order: content in clear, in a
    // block of the heap while it is small, then in one mapped on its own,
    // which grows by moving its pages (never through a reallocation of the
    // heap, which may leave a copy behind).
    char* m_encodedData = nullptr;
    qsizetype m_encodedCapacity = 0;
    bool m_encodedMapped = false;
    qsizetype m_givenBack = 0; // of a mapped block's first bytes, wiped and their pages given back
    qsizetype m_used = 0;
    // Long byte strings and strings are not copied: they are written from
    // the values themselves when the file is laid out.
    std::vector<QByteArray> m_largeData;
    std::vector<QString> m_largeStrings;
    QHash<QString, Index> m_stringIndex;
    QHash<QByteArray, Index> m_dataIndex;
    LongValueIndex<QString> m_longStringIndex;
    LongValueIndex<QByteArray> m_longDataIndex;
    QHash<quint64, Index> m_scalarIndex[5]; // bool, signed, unsigned, real, date
    PodList<Index> m_uidIndex; // by UID value, for the small ones archives use
    QHash<quint64, Index> m_largeUidIndex;
};
