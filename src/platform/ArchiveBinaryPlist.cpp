#include "platform/ArchiveBinaryPlist.h"

#include <QtEndian>

#include <bit>
#include <cstring>
#include <limits>

#include <sys/mman.h>
#include <stdexcept>

namespace {

constexpr char kMagic[] = "bplist00";
constexpr qsizetype kMagicSize = 8;
constexpr qsizetype kTrailerSize = 32;

int bytesFor(quint64 value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFULL)
        return 4;
    return 8;
}

// log2 of a width of 1, 2, 4 or 8 bytes, as markers encode it.
quint8 widthCode(int width) { return static_cast<quint8>(std::countr_zero(static_cast<unsigned>(width))); }

} // namespace

// ---------------------------------------------------------------------------
// Reader

namespace {

// Whether no byte has its high bit set, looked at eight bytes at a time.
bool bytesAreAscii(const uchar* p, qsizetype n)
{
    quint64 bits = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, sizeof word);
        bits |= word;
    }
    for (; i < n; ++i)
        bits |= p[i];
    return (bits & 0x8080808080808080ULL) == 0;
}

} // namespace

bool BinaryPlistReader::fail(QString* error, const QString& message) const
{
    if (error)
        *error = message;
    return false;
}

bool BinaryPlistReader::referenceOutOfRange(QString* error) const
{
    return fail(error, QStringLiteral("binary property list reference out of range"));
}

bool BinaryPlistReader::truncatedObject(quint64 index, QString* error) const
{
    return fail(error, QStringLiteral("binary property list object %1 is truncated").arg(index));
}

bool BinaryPlistReader::badReference(quint64 index, QString* error) const
{
    return fail(error, QStringLiteral("binary property list refers to object %1 of %2").arg(index).arg(m_objectCount));
}

bool BinaryPlistReader::open(const QByteArray& data, QString* error)
{
    m_data = data;
    m_bytes = reinterpret_cast<const uchar*>(m_data.constData());
    m_objectCount = 0;
    const qsizetype size = m_data.size();
    if (size < kMagicSize + 1 + 1 + kTrailerSize || std::memcmp(m_bytes, kMagic, kMagicSize) != 0)
        return fail(error, QStringLiteral("not a binary property list"));
    const qsizetype trailer = size - kTrailerSize;
    const int offsetSize = m_bytes[trailer + 6];
    const int refSize = m_bytes[trailer + 7];
    const quint64 count = readUnsigned(trailer + 8, 8);
    const quint64 top = readUnsigned(trailer + 16, 8);
    const quint64 table = readUnsigned(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
        return fail(error, QStringLiteral("binary property list has invalid integer sizes"));
    // The objects lie between the header and the offset table, the table
    // between the objects and the trailer.
    if (table < quint64(kMagicSize) + 1 || table >= quint64(trailer))
        return fail(error, QStringLiteral("binary property list has its offset table out of bounds"));
    if (count == 0 || count > (quint64(trailer) - table) / quint64(offsetSize))
        return fail(error, QStringLiteral("binary property list has an invalid object count"));
    if (top >= count)
        return fail(error, QStringLiteral("binary property list has its root out of range"));
    m_offsetSize = offsetSize;
    m_refSize = refSize;
    m_offsetTable = static_cast<qsizetype>(table);
    m_topObject = top;
    m_objectCount = count;
    return true;
}

bool BinaryPlistReader::object(quint64 index, Object& out, QString* error) const
{
    if (index >= m_objectCount)
        return badReference(index, error);
    qsizetype pos = offsetOf(index);
    if (pos < 0)
        return fail(error, QStringLiteral("binary property list has object %1 out of bounds").arg(index));
    const qsizetype end = m_offsetTable;
    const quint8 marker = m_bytes[pos++];
    const quint8 high = marker >> 4;
    const quint8 low = marker & 0x0F;
    const auto truncated = [this, index, error] { return truncatedObject(index, error); };
    const auto has = [end, &pos](quint64 n) { return n <= quint64(end - pos); };

    // The length of data, strings and containers: in the marker, or in the
    // integer object that follows it.
    const auto readCount = [this, low, end, &pos, &has](quint64& count) -> bool {
        if (low != 0x0F) {
            count = low;
            return true;
        }
        if (!has(1))
            return false;
        const quint8 intMarker = m_bytes[pos++];
        if ((intMarker >> 4) != 0x1 || (intMarker & 0x0F) > 3)
            return false;
        const int size = 1 << (intMarker & 0x0F);
        if (!has(quint64(size)))
            return false;
        count = readUnsigned(pos, size);
        pos += size;
        return true;
    };

    out = Object();
    switch (high) {
    case 0x0:
        if (low == 0x0) {
            out.type = Type::Null;
            return true;
        }
        if (low == 0x8 || low == 0x9) {
            out.type = Type::Bool;
            out.boolean = low == 0x9;
            return true;
        }
        break;
    case 0x1: {
        out.type = Type::Int;
        if (low > 4)
            break;
        const int size = 1 << low;
        if (!has(quint64(size)))
            return truncated();
        if (size == 16) {
            const quint64 hi = readUnsigned(pos, 8);
            const quint64 lo = readUnsigned(pos + 8, 8);
            if (hi == 0) {
                out.integer = static_cast<qint64>(lo);
                out.isUnsigned = true;
            } else if (hi == ~0ULL && (lo >> 63) != 0) {
                out.integer = static_cast<qint64>(lo);
            } else {
                return fail(error, QStringLiteral("binary property list integer %1 exceeds 64 bits").arg(index));
            }
        } else {
            // One, two and four bytes are unsigned; eight bytes are signed.
            out.integer = static_cast<qint64>(readUnsigned(pos, size));
        }
        return true;
    }
    case 0x2:
        out.type = Type::Real;
        if (low == 0x2) {
            if (!has(4))
                return truncated();
            out.real = std::bit_cast<float>(static_cast<quint32>(readUnsigned(pos, 4)));
            return true;
        }
        if (low == 0x3) {
            if (!has(8))
                return truncated();
            out.real = std::bit_cast<double>(readUnsigned(pos, 8));
            return true;
        }
        break;
    case 0x3:
        if (low != 0x3)
            break;
        if (!has(8))
            return truncated();
        out.type = Type::Date;
        out.real = std::bit_cast<double>(readUnsigned(pos, 8));
        return true;
    case 0x4:
    case 0x5:
    case 0x6: {
        quint64 count = 0;
        if (!readCount(count))
            return truncated();
        const quint64 unit = high == 0x6 ? 2 : 1;
        if (count > quint64(end - pos) / unit)
            return truncated();
        out.type = high == 0x4 ? Type::Data : Type::String;
        out.utf16 = high == 0x6;
        out.count = count;
        out.start = pos;
        // Marker 5 holds ASCII only.
        if (high == 0x5 && !bytesAreAscii(m_bytes + pos, qsizetype(count)))
            return fail(error, QStringLiteral("binary property list string %1 is not ASCII").arg(index));
        return true;
    }
    case 0x8: {
        const int size = low + 1;
        if (size > 8)
            break;
        if (!has(quint64(size)))
            return truncated();
        out.type = Type::Uid;
        out.uid = readUnsigned(pos, size);
        return true;
    }
    case 0xA:
    case 0xD: {
        quint64 count = 0;
        if (!readCount(count))
            return truncated();
        const quint64 refs = high == 0xD ? 2 : 1;
        if (count > quint64(end - pos) / (quint64(m_refSize) * refs))
            return truncated();
        out.type = high == 0xA ? Type::Array : Type::Dict;
        out.count = count;
        out.start = pos;
        return true;
    }
    default:
        break;
    }
    return fail(error, QStringLiteral("binary property list object %1 has the unsupported marker 0x%2")
                           .arg(index)
                           .arg(marker, 2, 16, QLatin1Char('0')));
}

bool BinaryPlistReader::shortString(quint64 index, Value& out) const
{
    const qsizetype at = offsetOf(index);
    if (at < 0 || (m_bytes[at] >> 4) != 0x5 || (m_bytes[at] & 0x0F) == 0x0F)
        return false;
    const qsizetype count = m_bytes[at] & 0x0F;
    if (count >= m_offsetTable - at || !bytesAreAscii(m_bytes + at + 1, count))
        return false;
    out = Value(QString::fromLatin1(reinterpret_cast<const char*>(m_bytes + at + 1), count));
    return true;
}

QString BinaryPlistReader::string(const Object& string) const
{
    const char* p = m_data.constData() + string.start;
    const qsizetype n = static_cast<qsizetype>(string.count);
    if (!string.utf16)
        return QString::fromLatin1(p, n);
    QString s(n, Qt::Uninitialized);
    qFromBigEndian<char16_t>(p, n, s.data());
    return s;
}

QByteArray BinaryPlistReader::data(const Object& data) const
{
    return m_data.mid(data.start, static_cast<qsizetype>(data.count));
}

bool BinaryPlistReader::scalar(const Object& o, Value& out) const
{
    switch (o.type) {
    case Type::Null:
        out = Value();
        return true;
    case Type::Bool:
        out = Value::boolean(o.boolean);
        return true;
    case Type::Int:
        out = o.isUnsigned ? Value::uint64(quint64(o.integer)) : Value::int64(o.integer);
        return true;
    case Type::Real:
        out = Value::real(o.real);
        return true;
    case Type::Date:
        out = Value::date(o.real);
        return true;
    case Type::Data:
        out = Value::data(data(o));
        return true;
    case Type::String:
        out = Value(string(o));
        return true;
    case Type::Uid:
    case Type::Array:
    case Type::Dict:
        break;
    }
    return false;
}

bool BinaryPlistReader::stringEquals(const Object& string, QLatin1StringView text) const
{
    if (string.type != Type::String || string.count != quint64(text.size()))
        return false;
    if (!string.utf16)
        return std::memcmp(m_bytes + string.start, text.data(), size_t(text.size())) == 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (qFromBigEndian<quint16>(m_bytes + string.start + 2 * i) != quint16(uchar(text.at(i).toLatin1())))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Writer

namespace {
constexpr std::size_t kOwnMapping = std::size_t(1) << 20;
constexpr std::size_t kPage = 4096;
std::size_t pages(std::size_t bytes) { return (bytes + kPage - 1) / kPage * kPage; }
} // namespace

namespace {
// A block of whole pages mapped on its own, and the same grown by moving its pages.
void* mapBlock(std::size_t bytes)
{
    void* block = mmap(nullptr, pages(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    return block;
}

void* remapBlock(void* block, std::size_t bytes, std::size_t newBytes)
{
    void* moved = mremap(block, pages(bytes), pages(newBytes), MREMAP_MAYMOVE);
    if (moved == MAP_FAILED)
        throw std::bad_alloc();
    return moved;
}
} // namespace

void* growListBlock(void* block, std::size_t bytes, std::size_t newBytes)
{
    if (bytes >= kOwnMapping)
        return remapBlock(block, bytes, newBytes);
    if (newBytes >= kOwnMapping) {
        void* grown = mapBlock(newBytes);
        if (block)
            std::memcpy(grown, block, bytes);
        std::free(block);
        return grown;
    }
    void* grown = std::realloc(block, newBytes);
    if (!grown)
        throw std::bad_alloc();
    return grown;
}

void freeListBlock(void* block, std::size_t bytes)
{
    if (bytes < kOwnMapping)
        std::free(block);
    else
        munmap(block, pages(bytes));
}

namespace {

// Big-endian bytes of an integer, `size` of them, written at `out`.
void putBigEndian(char* out, quint64 value, int size)
{
    switch (size) {
    case 1:
        out[0] = static_cast<char>(value);
        return;
    case 2:
        qToBigEndian(quint16(value), out);
        return;
    case 4:
        qToBigEndian(quint32(value), out);
        return;
    case 8:
        qToBigEndian(value, out);
        return;
    default:
        for (int i = size - 1; i >= 0; --i, value >>= 8)
            out[i] = static_cast<char>(value & 0xFF);
    }
}

// References of `size` bytes each.
template <typename Ref>
char* putReferences(char* out, const Ref* refs, std::size_t count, int size)
{
    switch (size) {
    case 1:
        for (std::size_t k = 0; k < count; ++k)
            out[k] = static_cast<char>(refs[k]);
        break;
    case 2:
        for (std::size_t k = 0; k < count; ++k)
            qToBigEndian(quint16(refs[k]), out + 2 * k);
        break;
    case 4:
        for (std::size_t k = 0; k < count; ++k)
            qToBigEndian(quint32(refs[k]), out + 4 * k);
        break;
    default:
        for (std::size_t k = 0; k < count; ++k)
            putBigEndian(out + std::size_t(size) * k, refs[k], size);
        break;
    }
    return out + std::size_t(size) * count;
}

// An integer object: 1, 2 or 4 bytes unsigned, 8 bytes signed.
qsizetype encodeInt(char* out, qint64 value)
{
    const int size = value < 0 ? 8 : bytesFor(static_cast<quint64>(value));
    out[0] = static_cast<char>(0x10 | widthCode(size));
    putBigEndian(out + 1, static_cast<quint64>(value), size);
    return 1 + size;
}

// The marker of data, strings and containers, with the count in it or after it.
qsizetype encodeHeader(char* out, quint8 high, quint64 count)
{
    if (count < 15) {
        out[0] = static_cast<char>((high << 4) | count);
        return 1;
    }
    out[0] = static_cast<char>((high << 4) | 0x0F);
    return 1 + encodeInt(out + 1, static_cast<qint64>(count));
}

qsizetype headerSize(quint64 count) { return count < 15 ? 1 : 2 + bytesFor(count); }

// The count of data, a string or a container as encodeHeader wrote it, in
// the marker or in the integer after it; `header` takes the bytes they span.
quint64 encodedCount(const char* object, qsizetype& header)
{
    const quint8 low = quint8(object[0]) & 0x0F;
    if (low != 0x0F) {
        header = 1;
        return low;
    }
    const int width = 1 << (quint8(object[1]) & 0x0F);
    quint64 count = 0;
    for (int k = 0; k < width; ++k)
        count = count << 8 | quint8(object[2 + k]);
    header = 2 + width;
    return count;
}

// The length of an object as the writer encodes it, from its bytes; the
// references of containers `refSize` bytes each.
quint64 encodedSize(const char* object, int refSize)
{
    const quint8 marker = quint8(object[0]);
    const quint8 low = marker & 0x0F;
    quint64 unit = 1;
    switch (marker >> 4) {
    case 0x0: // false, true
        return 1;
    case 0x1: // integers of 1 to 16 bytes
        return 1 + (quint64(1) << low);
    case 0x2: // reals and dates of 8 bytes
    case 0x3:
        return 9;
    case 0x4:
    case 0x5:
        break;
    case 0x6:
        unit = 2;
        break;
    case 0xA:
        unit = quint64(refSize);
        break;
    case 0xD:
        unit = 2 * quint64(refSize);
        break;
    default: // 0x8: UIDs of 1 to 8 bytes
        return 2 + quint64(low);
    }
    qsizetype header = 0;
    const quint64 count = encodedCount(object, header);
    return quint64(header) + count * unit;
}

constexpr qsizetype kMaxHeaderSize = 10;

// Byte strings and strings from this size on are kept by reference.
constexpr qsizetype kByReference = 4096;

bool isAscii(const QString& string)
{
    for (QChar c : string) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// The code units of a string, as bytes of ASCII or big-endian UTF-16.
void encodeCharacters(char* out, const QString& string, bool ascii)
{
    if (ascii) {
        for (qsizetype k = 0; k < string.size(); ++k)
            out[k] = static_cast<char>(string.at(k).unicode());
    } else {
        qToBigEndian<char16_t>(string.utf16(), string.size(), out);
    }
}

} // namespace

BinaryPlistWriter::~BinaryPlistWriter() { releaseEncoded(); }

// The collected bytes are content in clear: they are wiped wherever they
// leave a block, and a block is never reallocated in the heap, which may move
// it and free its old place as it was. From kMapped on they are in a block
// mapped on its own, which grows by moving its pages, leaving no copy.
void BinaryPlistWriter::growEncoded(qsizetype size)
{
    constexpr qsizetype kMapped = qsizetype(1) << 20;
    const qsizetype capacity = std::max({size, 2 * m_encodedCapacity, qsizetype(4096), m_expectLarge ? kMapped : 0});
    if (m_encodedMapped) {
        m_encodedData = static_cast<char*>(remapBlock(m_encodedData, std::size_t(m_encodedCapacity), std::size_t(capacity)));
        m_encodedCapacity = qsizetype(pages(std::size_t(capacity)));
        return;
    }
    const bool mapped = capacity >= kMapped;
    char* const grown = static_cast<char*>(mapped ? mapBlock(std::size_t(capacity)) : std::malloc(std::size_t(capacity)));
    if (!grown)
        throw std::bad_alloc();
    if (m_used > 0)
        std::memcpy(grown, m_encodedData, size_t(m_used));
    releaseEncoded();
    m_encodedData = grown;
    m_encodedCapacity = mapped ? qsizetype(pages(std::size_t(capacity))) : capacity;
    m_encodedMapped = mapped;
}

// Wipes what is left of the collected bytes and lets go of their block.
void BinaryPlistWriter::releaseEncoded()
{
    if (!m_encodedData)
        return;
    explicit_bzero(m_encodedData + m_givenBack, size_t(m_used - m_givenBack));
    if (m_encodedMapped)
        munmap(m_encodedData, std::size_t(m_encodedCapacity));
    else
        std::free(m_encodedData);
    m_encodedData = nullptr;
    m_encodedCapacity = 0;
    m_encodedMapped = false;
    m_givenBack = 0;
}

BinaryPlistWriter::Index BinaryPlistWriter::addEncoded(const char* bytes, qsizetype size)
{
    char* out = nullptr;
    const Index i = newEncoded(size, out);
    std::memcpy(out, bytes, size_t(size));
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addUniqueScalar(int kind, quint64 bits, const char* bytes, qsizetype size)
{
    QHash<quint64, Index>& index = m_scalarIndex[kind];
    const auto found = index.constFind(bits);
    if (found != index.constEnd())
        return *found;
    const Index i = addEncoded(bytes, size);
    index.insert(bits, i);
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addBool(bool b)
{
    const char marker = b ? char(0x09) : char(0x08);
    return addUniqueScalar(0, b ? 1 : 0, &marker, 1);
}

BinaryPlistWriter::Index BinaryPlistWriter::addInt(qint64 i)
{
    char bytes[9];
    return addUniqueScalar(1, static_cast<quint64>(i), bytes, encodeInt(bytes, i));
}

BinaryPlistWriter::Index BinaryPlistWriter::addUnsigned(quint64 u)
{
    if (u <= quint64(std::numeric_limits<qint64>::max()))
        return addInt(static_cast<qint64>(u));
    // Sixteen bytes, the high eight zero: the form that reads back unsigned.
    char bytes[17] = {char(0x14)};
    putBigEndian(bytes + 9, u, 8);
    return addUniqueScalar(2, u, bytes, 17);
}

BinaryPlistWriter::Index BinaryPlistWriter::addReal(double d)
{
    char bytes[9] = {char(0x23)};
    putBigEndian(bytes + 1, std::bit_cast<quint64>(d), 8);
    return addUniqueScalar(3, std::bit_cast<quint64>(d), bytes, 9);
}

BinaryPlistWriter::Index BinaryPlistWriter::addDate(double secondsSince2001)
{
    char bytes[9] = {char(0x33)};
    putBigEndian(bytes + 1, std::bit_cast<quint64>(secondsSince2001), 8);
    return addUniqueScalar(4, std::bit_cast<quint64>(secondsSince2001), bytes, 9);
}

BinaryPlistWriter::Index BinaryPlistWriter::addData(const QByteArray& data)
{
    Index i = 0;
    if (data.size() >= kByReference) {
        if (const quint64* found = m_longDataIndex.find(data))
            return Index(*found);
        m_largeData.push_back(data);
        i = addEntry(LargeData, m_largeData.size() - 1);
        m_longDataIndex.insert(data, i);
        return i;
    }
    const auto found = m_dataIndex.constFind(data);
    if (found != m_dataIndex.constEnd())
        return *found;
    char* out = encodedTail(kMaxHeaderSize + data.size());
    const qsizetype header = encodeHeader(out, 0x4, quint64(data.size()));
    if (!data.isEmpty())
        std::memcpy(out + header, data.constData(), size_t(data.size()));
    i = takeEncoded(header + data.size());
    m_dataIndex.insert(data, i);
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addString(const QString& string, bool unique)
{
    const bool isLong = LongValueIndex<QString>::isLong(string);
    if (unique && isLong) {
        if (const quint64* found = m_longStringIndex.find(string))
            return Index(*found);
    } else if (unique) {
        const auto found = m_stringIndex.constFind(string);
        if (found != m_stringIndex.constEnd())
            return *found;
    }
    const qsizetype n = string.size();
    Index i = 0;
    if (n >= kByReference || (2 * n >= kByReference && !isAscii(string))) {
        m_largeStrings.push_back(string);
        i = addEntry(isAscii(string) ? LargeAscii : LargeUtf16, m_largeStrings.size() - 1);
    } else {
        // Written as ASCII while it is read; rewritten as UTF-16, whose
        // header differs only in its marker, if it is not ASCII.
        char* out = encodedTail(kMaxHeaderSize + 2 * n);
        const qsizetype header = encodeHeader(out, 0x5, quint64(n));
        const char16_t* units = reinterpret_cast<const char16_t*>(string.utf16());
        char16_t seen = 0;
        for (qsizetype k = 0; k < n; ++k) {
            seen |= units[k];
            out[header + k] = static_cast<char>(units[k]);
        }
        if (seen < 0x80) {
            i = takeEncoded(header + n);
        } else {
            out[0] = static_cast<char>((out[0] & 0x0F) | 0x60);
            qToBigEndian<char16_t>(units, n, out + header);
            i = takeEncoded(header + 2 * n);
        }
    }
    if (unique && isLong)
        m_longStringIndex.insert(string, i);
    else if (unique)
        m_stringIndex.insert(string, i);
    return i;
}

bool BinaryPlistWriter::stringEquals(Index index, const QString& string) const
{
    if (index >= m_objectCount)
        return false;
    // The entry of the object: the last that begins at or before it.
    const Entry* entries = m_entries.data();
    const Entry* e = std::upper_bound(entries, entries + m_entries.size(), index,
                                      [](Index i, const Entry& entry) { return i < entry.first; }) - 1;
    if (e->kept == LargeAscii || e->kept == LargeUtf16)
        return m_largeStrings[e->place] == string;
    if (e->kept != Encoded)
        return false;
    const char* p = m_encodedData + e->place;
    for (Index k = e->first; k < index; ++k)
        p += encodedSize(p, m_fixedRefSize);
    const quint8 marker = quint8(p[0]);
    if ((marker >> 4) != 0x5 && (marker >> 4) != 0x6)
        return false;
    qsizetype header = 0;
    if (encodedCount(p, header) != quint64(string.size()))
        return false;
    const bool utf16 = (marker >> 4) == 0x6;
    p += header;
    for (qsizetype k = 0; k < string.size(); ++k) {
        const char16_t c = string.at(k).unicode();
        const char16_t stored = utf16 ? qFromBigEndian<quint16>(p + 2 * k) : char16_t(uchar(p[k]));
        if (c != stored)
            return false;
    }
    return true;
}

BinaryPlistWriter::Index BinaryPlistWriter::addUid(quint64 uid)
{
    const auto encode = [&] {
        const int size = bytesFor(uid);
        char* out = nullptr;
        const Index i = newEncoded(1 + size, out);
        out[0] = static_cast<char>(0x80 | (size - 1));
        putBigEndian(out + 1, uid, size);
        return i;
    };
    // Archives number their objects densely from 0: a vector serves them. It
    // grows only as far as the objects written so far could reach, so that a
    // number read from outside does not size it.
    constexpr quint64 kDenseLimit = 1ULL << 28;
    if (uid < kDenseLimit && uid <= 2 * quint64(m_objectCount) + 1024) {
        if (uid >= m_uidIndex.size()) {
            const std::size_t more = std::max<std::size_t>(uid + 1, m_uidIndex.size() * 2) - m_uidIndex.size();
            Index* added = m_uidIndex.append(more);
            std::fill(added, added + more, std::numeric_limits<Index>::max());
        }
        if (m_uidIndex[uid] == std::numeric_limits<Index>::max())
            m_uidIndex[uid] = encode();
        return m_uidIndex[uid];
    }
    const auto found = m_largeUidIndex.constFind(uid);
    if (found != m_largeUidIndex.constEnd())
        return *found;
    const Index i = encode();
    m_largeUidIndex.insert(uid, i);
    return i;
}

bool BinaryPlistWriter::addScalar(const Value& v, Index& out)
{
    switch (v.kind()) {
    case Value::Kind::Bool:
        out = addBool(v.boolValue());
        return true;
    case Value::Kind::Int32:
    case Value::Kind::Int64:
        out = addInt(v.longLongValue());
        return true;
    case Value::Kind::UInt64:
        out = addUnsigned(v.unsignedLongLongValue());
        return true;
    case Value::Kind::Real:
        out = addReal(v.doubleValue());
        return true;
    case Value::Kind::Date:
        out = addDate(v.dateValue());
        return true;
    case Value::Kind::String:
        out = addString(v.stringValue());
        return true;
    case Value::Kind::Data:
        out = addData(v.dataValue());
        return true;
    default:
        return false;
    }
}

BinaryPlistWriter::Index BinaryPlistWriter::addContainer(Kept kept, std::size_t count, std::span<const Index> first,
                                                         std::span<const Index> second)
{
    if (count > std::numeric_limits<Index>::max())
        throw std::length_error("property list container too large");
    if (m_fixedRefSize != 0) {
        const std::size_t refs = first.size() + second.size();
        char* out = encodedTail(kMaxHeaderSize + qsizetype(refs) * m_fixedRefSize);
        char* end = out + encodeHeader(out, kept == DictRefs ? 0xD : 0xA, count);
        end = putReferences(end, first.data(), first.size(), m_fixedRefSize);
        end = putReferences(end, second.data(), second.size(), m_fixedRefSize);
        return takeEncoded(end - out);
    }
    const Index i = addEntry(kept, m_refs.size());
    Index* refs = m_refs.append(1 + first.size() + second.size());
    refs[0] = Index(count);
    std::copy(first.begin(), first.end(), refs + 1);
    std::copy(second.begin(), second.end(), refs + 1 + first.size());
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addArray(std::span<const Index> elements)
{
    return addContainer(ArrayRefs, elements.size(), elements, {});
}

BinaryPlistWriter::Index BinaryPlistWriter::addDict(std::span<const Index> keys, std::span<const Index> values)
{
    return addContainer(DictRefs, keys.size(), keys, values.first(keys.size()));
}

// The bytes an object other than an encoded one takes in the file.
quint64 BinaryPlistWriter::finalSize(const Entry& e, int refSize) const
{
    switch (e.kept) {
    case LargeData: {
        const quint64 n = quint64(m_largeData[e.place].size());
        return quint64(headerSize(n)) + n;
    }
    case LargeAscii:
    case LargeUtf16: {
        const quint64 n = quint64(m_largeStrings[e.place].size());
        return quint64(headerSize(n)) + n * (e.kept == LargeUtf16 ? 2 : 1);
    }
    case ArrayRefs:
    case DictRefs: {
        const quint64 n = m_refs[e.place];
        return quint64(headerSize(n)) + n * quint64(refSize) * (e.kept == DictRefs ? 2 : 1);
    }
    case Encoded:
        break;
    }
    return 0;
}

QByteArray BinaryPlistWriter::finish(Index top) { return layOut(top, false).front(); }

QByteArrayList BinaryPlistWriter::finishInPieces(Index top) { return layOut(top, true); }

// With `dataApart`, long byte strings are left out of the buffer the rest
// goes to, and the file is that buffer cut where each of them belongs.
QByteArrayList BinaryPlistWriter::layOut(Index top, bool dataApart)
{
    // The indexes of values already added are not needed for the layout,
    // which makes the file's buffer: they go first.
    m_stringIndex = {};
    m_dataIndex = {};
    m_longStringIndex = {};
    m_longDataIndex = {};
    for (QHash<quint64, Index>& index : m_scalarIndex)
        index = {};
    m_uidIndex.release();
    m_largeUidIndex = {};

    const quint64 objectCount = m_objectCount;
    const int refSize = std::max(m_fixedRefSize, bytesFor(objectCount == 0 ? 0 : objectCount - 1));
    // Fixed references are wide enough for every object number: the writer numbers at most 2^32.
    Q_ASSERT(m_fixedRefSize == 0 || m_fixedRefSize == refSize);
    // The size of everything before the offset table, then of the table.
    // Encoded objects take just the bytes they were collected in.
    quint64 tableOffset = kMagicSize + quint64(m_used);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].kept != Encoded)
            tableOffset += finalSize(m_entries[i], refSize);
    }
    const int offsetSize = bytesFor(tableOffset);
    const quint64 total = tableOffset + objectCount * quint64(offsetSize) + kTrailerSize;
    quint64 apart = 0; // bytes of the long byte strings left out of the buffer
    if (dataApart) {
        for (const QByteArray& data : m_largeData)
            apart += quint64(data.size());
    }
    struct Cut {
        quint64 at; // in the buffer
        std::size_t data; // in m_largeData
    };
    std::vector<Cut> cuts;

    // The objects go to their places in order, into a buffer of their own
    // with room after it for a block cipher's padding, so that encrypting it
    // in its own buffer does not move it (and need a second one meanwhile).
    // The collected bytes are given back as they are consumed, so that the
    // two are not held whole at once.
    constexpr qsizetype kPaddingRoom = 32;
    QByteArray out;
    out.reserve(qsizetype(total - apart) + kPaddingRoom);
    out.resize(qsizetype(total - apart));
    char* const buffer = out.data();
    quint64 leftOut = 0; // of the file's bytes so far: the file's byte `at` goes to buffer[at - leftOut]
    char* table = buffer + (tableOffset - apart);
    const char* const from = m_encodedData;
    quint64 at = kMagicSize;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (e.kept == Encoded) {
            // Objects that follow one another are read for where each
            // begins, then copied together.
            quint64 end = e.place;
            for (Index k = 0; k < e.count; ++k) {
                putBigEndian(table + std::size_t(e.first + k) * std::size_t(offsetSize), at + (end - e.place), offsetSize);
                end += encodedSize(from + end, refSize);
            }
            std::memcpy(buffer + (at - leftOut), from + e.place, size_t(end - e.place));
            at += end - e.place;
            // The whole pages consumed, wiped and given back every few megabytes.
            constexpr qsizetype kGiveBack = qsizetype(4) << 20;
            if (m_encodedMapped && qsizetype(end) - m_givenBack >= kGiveBack) {
                const qsizetype upTo = qsizetype(end / kPage * kPage);
                explicit_bzero(m_encodedData + m_givenBack, size_t(upTo - m_givenBack));
                madvise(m_encodedData + m_givenBack, size_t(upTo - m_givenBack), MADV_DONTNEED);
                m_givenBack = upTo;
            }
            continue;
        }
        putBigEndian(table + std::size_t(e.first) * std::size_t(offsetSize), at, offsetSize);
        char* object = buffer + (at - leftOut);
        at += finalSize(e, refSize);
        switch (e.kept) {
        case LargeData: {
            const QByteArray& data = m_largeData[e.place];
            object += encodeHeader(object, 0x4, quint64(data.size()));
            if (dataApart) {
                cuts.push_back(Cut{quint64(object - buffer), e.place});
                leftOut += quint64(data.size());
            } else {
                std::memcpy(object, data.constData(), size_t(data.size()));
            }
            break;
        }
        case LargeAscii:
        case LargeUtf16: {
            const QString& string = m_largeStrings[e.place];
            const bool ascii = e.kept == LargeAscii;
            object += encodeHeader(object, ascii ? 0x5 : 0x6, quint64(string.size()));
            encodeCharacters(object, string, ascii);
            break;
        }
        case ArrayRefs:
        case DictRefs: {
            const quint64 count = m_refs[e.place];
            object += encodeHeader(object, e.kept == DictRefs ? 0xD : 0xA, count);
            putReferences(object, m_refs.data() + e.place + 1, count * (e.kept == DictRefs ? 2 : 1), refSize);
            break;
        }
        case Encoded:
            break;
        }
    }
    Q_ASSERT(at == tableOffset);
    releaseEncoded();
    std::memcpy(buffer, kMagic, kMagicSize);
    char* trailer = table + objectCount * quint64(offsetSize);
    std::memset(trailer, 0, 6);
    trailer[6] = static_cast<char>(offsetSize);
    trailer[7] = static_cast<char>(refSize);
    putBigEndian(trailer + 8, objectCount, 8);
    putBigEndian(trailer + 16, top, 8);
    putBigEndian(trailer + 24, tableOffset, 8);

    QByteArrayList pieces;
    if (cuts.empty()) {
        pieces.append(std::move(out));
    } else {
        quint64 from = 0;
        for (const Cut& cut : cuts) {
            pieces.append(QByteArray(buffer + from, qsizetype(cut.at - from)));
            pieces.append(m_largeData[cut.data]);
            from = cut.at;
        }
        pieces.append(QByteArray(buffer + from, out.size() - qsizetype(from)));
        explicit_bzero(buffer, size_t(out.size()));
    }

    m_used = 0;
    m_objectCount = 0;
    m_entries.release();
    m_refs.release();
    m_largeData = {};
    m_largeStrings = {};
    return pieces;
}
