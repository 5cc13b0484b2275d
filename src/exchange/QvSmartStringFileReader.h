#pragma once
// Turns a text file, or bytes in memory, into a string: in the encoding a code
// names, or in the first encoding that decodes the bytes.
//
// Encoding codes: 1 UTF-8; 10 UTF-16 (byte order from the byte-order mark,
// big-endian without one); 11 UTF-16BE; 12 UTF-16LE; 20 UTF-32 (likewise);
// 21 UTF-32BE; 22 UTF-32LE; 30 Mac OS Roman; 50 ASCII. Every other code is
// automatic.
//
// The automatic read of a file first tries a detection of its own: a
// byte-order mark (UTF-32 before UTF-16), UTF-16 or UTF-32 without a mark by
// their zero bytes, valid UTF-8, then Windows-1252 when none of the five bytes
// it lacks occurs (so a Latin-1 file reads right). Only then come UTF-8,
// Mac OS Roman (which decodes every byte), the UTF-16, UTF-32 and ASCII.
//
// No decoding accepts a zero character: it marks a binary file.
//
// Mapping of the framework names:
//   +autoReadFromFile:encoding:  ->  autoReadFromFile(path, code[, failure])
//   +autoReadFromData:encoding:  ->  autoReadFromData(bytes, code)
//   +replaceStringWithNewline:   ->  replaceStringWithNewline(text): the same
//                                    pointer back, changed in place
//   nothing (nil)                ->  an empty optional

#include <QByteArray>
#include <QString>

#include <optional>

class QvSmartStringFileReader {
public:
    enum Code {
        Automatic = 0,
        Utf8 = 1,
        Utf16 = 10,
        Utf16BigEndian = 11,
        Utf16LittleEndian = 12,
        Utf32 = 20,
        Utf32BigEndian = 21,
        Utf32LittleEndian = 22,
        MacOSRoman = 30,
        Ascii = 50,
    };

    // Why a file gave no text.
    enum class Failure { None, CannotRead, TooLarge, NotDecodable };

    // Larger files are not read: the importer would hold them several times over.
    static constexpr qint64 kMaximumFileSize = qint64(256) << 20;

    static std::optional<QString> autoReadFromFile(const QString& path, int code, Failure* failure = nullptr);
    static std::optional<QString> autoReadFromData(const QByteArray& bytes, int code);
    static QString* replaceStringWithNewline(QString* text);

    static bool isKnownCode(int code);
    // One decoding, no fallback; none when the bytes are not valid in it.
    static std::optional<QString> decode(const QByteArray& bytes, int code);

private:
    static std::optional<QString> decodeOnce(const QByteArray& bytes, int code);
    static std::optional<QString> detect(const QByteArray& bytes);
    static std::optional<QString> detectOnce(const QByteArray& bytes);
};
