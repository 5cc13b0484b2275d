#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// Single-byte text encodings that Qt's own converters lack. Encoding is strict:
// a character the encoding has no byte for fails the whole conversion, because
// the bytes may be a cipher key, where a substituted '?' would silently derive
// the wrong key.
class TextEncoding
{
public:
    enum Encoding {
        MacOSRoman, // with the euro sign at 0xDB and the Apple logo at 0xF0
        Windows1252, // Latin-1 with printable characters at 0x80-0x9F; five bytes unassigned
    };

    // The bytes of the text, one per character; none when a character cannot be
    // encoded (a surrogate half, and so any character beyond the Basic
    // Multilingual Plane, never can).
    static std::optional<QByteArray> encode(const QString& text, Encoding encoding);

    // The text of the bytes; none when they are not valid in the encoding (Mac OS
    // Roman gives a character for every byte, so it always succeeds; Windows-1252
    // fails on 0x81, 0x8D, 0x8F, 0x90 and 0x9D).
    static std::optional<QString> decode(const QByteArray& bytes, Encoding encoding);
};
