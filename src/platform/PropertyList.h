#pragma once
// Property lists, binary ("bplist00") and XML, to and from the value model.
//
// Types: dictionaries (string keys), arrays, strings, byte strings, booleans,
// integers, reals and dates. A keyed-archive reference (UID) reads as the
// dictionary {"CF$UID": n}, and such a dictionary is written back as a UID,
// as the XML form of archives spells them. Integers read back as Int64, or as
// UInt64 when stored in the unsigned form that carries values above 2^63 - 1.
// The XML form keeps dates to the whole second, as it always has.
//
// Readers bound nesting to kMaxDepth, check every count, offset and reference
// against the bytes, and fail with a message rather than trusting them.

#include "platform/Value.h"

#include <QByteArray>
#include <QString>

class PropertyList {
public:
    enum class Format { Binary, Xml };
    static constexpr int kMaxDepth = 256;

    // Empty on failure (absent values inside a collection, colours, nesting
    // deeper than kMaxDepth, texts XML cannot carry), with the reason in `error`.
    static QByteArray dataWithPropertyList(const Value& plist, Format format, QString* error = nullptr);
    static bool write(const Value& plist, Format format, QByteArray& out, QString* error = nullptr);

    // The format is told by the bytes. Absent on failure.
    static Value propertyListWithData(const QByteArray& data, QString* error = nullptr, Format* format = nullptr);
    static bool read(const QByteArray& data, Value& out, QString* error = nullptr, Format* format = nullptr);
};
