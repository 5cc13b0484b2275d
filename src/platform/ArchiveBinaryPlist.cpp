#include "platform/ArchiveBinaryPlist.h"

#include <QtEndian>

#include <bit>
#include <cstring>
#include <limits>

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

void appendBigEndian(QByteArray& out, quint64 value, int size)
{
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

} // namespace

// ---------------------------------------------------------------------------
// Reader

bool BinaryPlistReader::fail(QString* error, const QString& message) const
{
    if (error)
        *error = message;
    return false;
}

quint64 BinaryPlistReader::readUnsigned(qsizetype at, int size) const
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | m_bytes[at + i];
    return value;
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
        return fail(error, QStringLiteral("binary property list refers to object %1 of %2").arg(index).arg(m_objectCount));
    const quint64 offset = readUnsigned(m_offsetTable + qsizetype(index) * m_offsetSize, m_offsetSize);
    if (offset < quint64(kMagicSize) || offset >= quint64(m_offsetTable))
        return fail(error, QStringLiteral("binary property list has object %1 out of bounds").arg(index));
    const qsizetype end = m_offsetTable;
    qsizetype pos = static_cast<qsizetype>(offset);
    const quint8 marker = m_bytes[pos++];
    const quint8 high = marker >> 4;
    const quint8 low = marker & 0x0F;
    const auto truncated = [&] { return fail(error, QStringLiteral("binary property list object %1 is truncated").arg(index)); };
    const auto has = [&](quint64 n) { return n <= quint64(end - pos); };

    // The length of data, strings and containers: in the marker, or in the
    // integer object that follows it.
    const auto readCount = [&](quint64& count) -> bool {
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
        if (high == 0x5) {
            // Marker 5 holds ASCII only.
            for (qsizetype i = 0; i < qsizetype(count); ++i) {
                if (m_bytes[pos + i] & 0x80)
                    return fail(error, QStringLiteral("binary property list string %1 is not ASCII").arg(index));
            }
        }
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

bool BinaryPlistReader::reference(const Object& container, quint64 i, quint64& out, QString* error) const
{
    const quint64 limit = container.type == Type::Dict ? container.count * 2 : container.count;
    if ((container.type != Type::Array && container.type != Type::Dict) || i >= limit)
        return fail(error, QStringLiteral("binary property list reference out of range"));
    out = readUnsigned(container.start + qsizetype(i) * m_refSize, m_refSize);
    if (out >= m_objectCount)
        return fail(error, QStringLiteral("binary property list refers to object %1 of %2").arg(out).arg(m_objectCount));
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

BinaryPlistWriter::Index BinaryPlistWriter::add(Kind kind, quint64 scalar, quint64 count)
{
    m_entries.push_back(Entry{kind, scalar, count});
    return static_cast<Index>(m_entries.size() - 1);
}

BinaryPlistWriter::Index BinaryPlistWriter::addUniqueScalar(Kind kind, quint64 bits)
{
    QHash<quint64, Index>& index = m_scalarIndex[static_cast<int>(kind)];
    const auto found = index.constFind(bits);
    if (found != index.constEnd())
        return *found;
    const Index i = add(kind, bits, 0);
    index.insert(bits, i);
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addBool(bool b) { return addUniqueScalar(Kind::Bool, b ? 1 : 0); }

BinaryPlistWriter::Index BinaryPlistWriter::addInt(qint64 i) { return addUniqueScalar(Kind::Int, static_cast<quint64>(i)); }

BinaryPlistWriter::Index BinaryPlistWriter::addUnsigned(quint64 u)
{
    if (u <= quint64(std::numeric_limits<qint64>::max()))
        return addInt(static_cast<qint64>(u));
    return addUniqueScalar(Kind::Unsigned, u);
}

BinaryPlistWriter::Index BinaryPlistWriter::addReal(double d) { return addUniqueScalar(Kind::Real, std::bit_cast<quint64>(d)); }

BinaryPlistWriter::Index BinaryPlistWriter::addDate(double secondsSince2001)
{
    return addUniqueScalar(Kind::Date, std::bit_cast<quint64>(secondsSince2001));
}

BinaryPlistWriter::Index BinaryPlistWriter::addData(const QByteArray& data)
{
    const auto found = m_dataIndex.constFind(data);
    if (found != m_dataIndex.constEnd())
        return *found;
    m_data.push_back(data);
    const Index i = add(Kind::Data, m_data.size() - 1, 0);
    m_dataIndex.insert(data, i);
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addString(const QString& string, bool unique)
{
    if (unique) {
        const auto found = m_stringIndex.constFind(string);
        if (found != m_stringIndex.constEnd())
            return *found;
    }
    m_strings.push_back(string);
    const Index i = add(Kind::String, m_strings.size() - 1, 0);
    if (unique)
        m_stringIndex.insert(string, i);
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addUid(quint64 uid)
{
    // Archives number their objects densely from 0: a vector serves them.
    constexpr quint64 kDenseLimit = 1ULL << 28;
    if (uid < kDenseLimit) {
        if (uid >= m_uidIndex.size())
            m_uidIndex.resize(std::max<std::size_t>(uid + 1, m_uidIndex.size() * 2), std::numeric_limits<Index>::max());
        Index& slot = m_uidIndex[uid];
        if (slot == std::numeric_limits<Index>::max())
            slot = add(Kind::Uid, uid, 0);
        return slot;
    }
    const auto found = m_largeUidIndex.constFind(uid);
    if (found != m_largeUidIndex.constEnd())
        return *found;
    const Index i = add(Kind::Uid, uid, 0);
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

BinaryPlistWriter::Index BinaryPlistWriter::addArray(const std::vector<Index>& elements)
{
    const Index i = add(Kind::Array, m_refs.size(), elements.size());
    m_refs.insert(m_refs.end(), elements.begin(), elements.end());
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::addDict(const std::vector<Index>& keys, const std::vector<Index>& values)
{
    const Index i = add(Kind::Dict, m_refs.size(), keys.size());
    m_refs.insert(m_refs.end(), keys.begin(), keys.end());
    m_refs.insert(m_refs.end(), values.begin(), values.end());
    return i;
}

BinaryPlistWriter::Index BinaryPlistWriter::reserve() { return add(Kind::Reserved, 0, 0); }

void BinaryPlistWriter::setArray(Index at, const std::vector<Index>& elements)
{
    m_entries[at] = Entry{Kind::Array, m_refs.size(), elements.size()};
    m_refs.insert(m_refs.end(), elements.begin(), elements.end());
}

QByteArray BinaryPlistWriter::finish(Index top) const
{
    const quint64 objectCount = m_entries.size();
    const int refSize = bytesFor(objectCount == 0 ? 0 : objectCount - 1);
    QByteArray out;
    out.reserve(qsizetype(objectCount) * 4 + qsizetype(m_refs.size()) * refSize + 64);
    out.append(kMagic, kMagicSize);
    std::vector<quint64> offsets;
    offsets.reserve(objectCount);

    const auto appendInt = [&](qint64 value) {
        if (value < 0) {
            out.append(char(0x13));
            appendBigEndian(out, static_cast<quint64>(value), 8);
            return;
        }
        const int size = bytesFor(static_cast<quint64>(value));
        out.append(static_cast<char>(0x10 | widthCode(size)));
        appendBigEndian(out, static_cast<quint64>(value), size);
    };
    const auto appendHeader = [&](quint8 high, quint64 count) {
        if (count < 15) {
            out.append(static_cast<char>((high << 4) | count));
            return;
        }
        out.append(static_cast<char>((high << 4) | 0x0F));
        appendInt(static_cast<qint64>(count));
    };
    const auto appendRefs = [&](quint64 first, quint64 n) {
        for (quint64 k = 0; k < n; ++k)
            appendBigEndian(out, m_refs[first + k], refSize);
    };

    for (const Entry& e : m_entries) {
        offsets.push_back(static_cast<quint64>(out.size()));
        switch (e.kind) {
        case Kind::Bool:
            out.append(e.scalar ? char(0x09) : char(0x08));
            break;
        case Kind::Int:
            appendInt(static_cast<qint64>(e.scalar));
            break;
        case Kind::Unsigned:
            out.append(char(0x14));
            appendBigEndian(out, 0, 8);
            appendBigEndian(out, e.scalar, 8);
            break;
        case Kind::Real:
            out.append(char(0x23));
            appendBigEndian(out, e.scalar, 8);
            break;
        case Kind::Date:
            out.append(char(0x33));
            appendBigEndian(out, e.scalar, 8);
            break;
        case Kind::Data: {
            const QByteArray& d = m_data[e.scalar];
            appendHeader(0x4, quint64(d.size()));
            out.append(d);
            break;
        }
        case Kind::String: {
            const QString& s = m_strings[e.scalar];
            bool ascii = true;
            for (QChar c : s) {
                if (c.unicode() >= 0x80) {
                    ascii = false;
                    break;
                }
            }
            if (ascii) {
                appendHeader(0x5, quint64(s.size()));
                out.append(s.toLatin1());
            } else {
                appendHeader(0x6, quint64(s.size()));
                const qsizetype at = out.size();
                out.resize(at + 2 * s.size());
                qToBigEndian<char16_t>(s.utf16(), s.size(), out.data() + at);
            }
            break;
        }
        case Kind::Uid: {
            const int size = bytesFor(e.scalar);
            out.append(static_cast<char>(0x80 | (size - 1)));
            appendBigEndian(out, e.scalar, size);
            break;
        }
        case Kind::Array:
            appendHeader(0xA, e.count);
            appendRefs(e.scalar, e.count);
            break;
        case Kind::Dict:
            appendHeader(0xD, e.count);
            appendRefs(e.scalar, e.count * 2);
            break;
        case Kind::Reserved:
            // Never filled in: an empty array keeps the file well formed.
            appendHeader(0xA, 0);
            break;
        }
    }

    const quint64 tableOffset = static_cast<quint64>(out.size());
    const int offsetSize = bytesFor(tableOffset);
    for (quint64 offset : offsets)
        appendBigEndian(out, offset, offsetSize);
    out.append(QByteArray(6, '\0'));
    out.append(static_cast<char>(offsetSize));
    out.append(static_cast<char>(refSize));
    appendBigEndian(out, objectCount, 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, tableOffset, 8);
    return out;
}
