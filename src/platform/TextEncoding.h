#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Single-byte text encodings that Qt's own converters lack, and the Unicode
// forms a text file may be in, told apart as the readers of outside files
// (text imports, vCard files) tell them. Encoding is strict:
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

    enum class Unicode { Utf8, Utf16BigEndian, Utf16LittleEndian, Utf32BigEndian, Utf32LittleEndian };

    // The text of bytes in a Unicode form, a byte-order mark of that form at
    // the start left out; none when they are not valid in it (a sequence cut
    // off, an odd length, a lone surrogate, a value beyond U+10FFFF; Qt's own
    // decoders let these pass). Never a null string.
    static std::optional<QString> decodeUnicode(QByteArrayView bytes, Unicode form);

    // The form that the bytes' byte-order mark names (UTF-32 before UTF-16,
    // UTF-32LE's only when the rest is valid UTF-32), else UTF-32 or UTF-16
    // without a mark, told by where their zero bytes fall, when the bytes are
    // valid in it; none otherwise: the bytes may still be UTF-8 without a mark
    // or a single-byte encoding. A form named by a mark may yet fail to decode.
    static std::optional<Unicode> detectUnicode(QByteArrayView bytes);
};
