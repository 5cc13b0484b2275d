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
#include <QHash>
#include <QList>
#include <QString>
#include <QtEndian>

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

// Collects objects and writes them as a binary property list. Scalars are
// encoded as they are added and stored once per distinct value; containers
// refer to objects by index and are laid out at the end, when the width of a
// reference is known.
class BinaryPlistWriter {
public:
    using Index = quint32;

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
    Index addArray(const std::vector<Index>& elements);
    Index addDict(const std::vector<Index>& keys, const std::vector<Index>& values);

    // The whole file with `top` as its root object. The file is laid out in
    // the buffer the scalars were collected in, which leaves the writer empty.
    QByteArray finish(Index top);

private:
    struct Entry {
        quint64 start; // in m_encoded, m_refs, m_largeData or m_largeStrings
        // Bytes of a scalar, code units of a string, elements of an array or
        // pairs of a dictionary in the low 56 bits; above them 0 for a scalar
        // in m_encoded, else the marker its object is written with (0x4 data,
        // 0x5 ASCII and 0x6 UTF-16 strings kept by reference, 0xA, 0xD).
        quint64 sizeAndMarker;
        quint64 size() const { return sizeAndMarker & ((1ULL << 56) - 1); }
        quint8 marker() const { return quint8(sizeAndMarker >> 56); }
    };
    void reserveEncoded(qsizetype size);
    char* appendEncoded(qsizetype size); // `size` more bytes at the end of m_encoded
    Index addEncoded(const char* bytes, qsizetype size);
    Index addUniqueScalar(int kind, quint64 bits, const char* bytes, qsizetype size);
    Index addEntry(quint8 marker, quint64 start, std::size_t count);
    quint64 finalSize(const Entry& e, int refSize) const;

    // Lists that grow by reallocation, which moves large blocks without
    // copying them, rather than by allocating anew beside the old block.
    QList<Entry> m_entries;
    QList<Index> m_refs;
    QByteArray m_encoded; // the bytes of every scalar not kept by reference, in order
    // Long byte strings and strings are not copied: they are written from
    // the values themselves when the file is laid out.
    std::vector<QByteArray> m_largeData;
    std::vector<QString> m_largeStrings;
    QHash<QString, Index> m_stringIndex;
    QHash<QByteArray, Index> m_dataIndex;
    LongValueIndex<QString> m_longStringIndex;
    LongValueIndex<QByteArray> m_longDataIndex;
    QHash<quint64, Index> m_scalarIndex[5]; // bool, signed, unsigned, real, date
    std::vector<Index> m_uidIndex; // by UID value, for the small ones archives use
    QHash<quint64, Index> m_largeUidIndex;
};
