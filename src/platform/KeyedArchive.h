#pragma once
// Keyed archives in the format of the platform's keyed archiver: a binary
// property list {"$archiver": "NSKeyedArchiver", "$version": 100000,
// "$top": {"root": UID}, "$objects": ["$null", ...]} whose objects refer to
// one another by UID and name their classes in records with "$classname" and
// "$classes".
//
// The writer stores what the platform writes for mutable objects:
// NSMutableDictionary ("NS.keys", "NS.objects"), NSMutableArray ("NS.objects"),
// NSDate ("NS.time"), NSNull for absent elements, NSColor ("NSColorSpace" with
// "NSRGB", "NSWhite", "NSCMYK" or "NSComponents"), and strings, numbers and
// byte strings inline. A collection or colour referred to twice is stored once
// and comes back as one object; equal strings, numbers and byte strings are
// stored once.
//
// The reader also takes the immutable classes, NSMutableString ("NS.string"),
// NSMutableData ("NS.data") and archives in XML form. It fails, with a
// message, on anything else: unknown classes, references out of range, an
// object that contains itself, nesting deeper than kMaxDepth, wrong types and
// damaged bytes. NSNull reads as the absent value, which a dictionary does not
// keep. Integers read back as Int64, or UInt64 above 2^63 - 1: the archive
// keeps no narrower width.

#include "platform/Value.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <functional>

class KeyedArchiver {
public:
    static constexpr int kMaxDepth = 256;

    // Empty on failure: a colour space the writer does not know, a structure
    // that contains itself or is nested deeper than kMaxDepth.
    static QByteArray archivedDataWithRootObject(const Value& root);
    static bool archive(const Value& root, QByteArray& out, QString* error = nullptr);
    // The same archive in pieces to be written one after the other, each long
    // byte string of the root's a piece of its own, shared rather than copied:
    // a file that holds large values is written without a second copy of them.
    static bool archive(const Value& root, QByteArrayList& pieces, QString* error);

    // Archives an array as if each dictionary in it were the one `substitute`
    // makes of it, each made only while it is written: the archive of an array
    // of altered copies, without all of them in memory at once. Like copies,
    // each is an object of its own, also for a dictionary listed twice.
    using ElementSubstitute = std::function<DictionaryRef(const DictionaryRef& element)>;
    static bool archive(const Value& root, QByteArray& out, QString* error, const ElementSubstitute& substitute);
};

class KeyedUnarchiver {
public:
    static constexpr int kMaxDepth = KeyedArchiver::kMaxDepth;

    // Absent on failure, with the reason in `error`.
    static Value unarchiveObjectWithData(const QByteArray& data, QString* error = nullptr);
    // Tells failure apart from an archive of the absent value.
    static bool unarchive(const QByteArray& data, Value& out, QString* error = nullptr);
};
