#include "exchange/QvSmartStringFileReader.h"

#include "encryption/CryptoPrimitives.h"
#include "platform/FileRead.h"
#include "platform/TextEncoding.h"

namespace {

using Reader = QvSmartStringFileReader;

bool startsWith(const QByteArray& bytes, std::initializer_list<unsigned char> prefix)
{
    if (bytes.size() < qsizetype(prefix.size()))
        return false;
    qsizetype i = 0;
    for (const unsigned char b : prefix)
        if (static_cast<unsigned char>(bytes[i++]) != b)
            return false;
    return true;
}

std::optional<QString> decodeAscii(const QByteArray& bytes)
{
    for (const char b : bytes)
        if (static_cast<unsigned char>(b) > 0x7F)
            return std::nullopt;
    QString text = QString::fromLatin1(bytes);
    if (text.isNull())
        text = QStringLiteral("");
    return text;
}

// Reads a regular file whole, without blocking on anything else (a FIFO
// named like a text file never has to be waited for).
std::optional<QByteArray> readRegularFile(const QString& path, Reader::Failure* failure)
{
    QByteArray bytes;
    switch (FileRead::readRegularFile(path, Reader::kMaximumFileSize, bytes)) {
    case FileRead::Status::Read:
        return bytes;
    case FileRead::Status::TooLarge:
        *failure = Reader::Failure::TooLarge;
        return std::nullopt;
    default:
        *failure = Reader::Failure::CannotRead;
        return std::nullopt;
    }
}

} // namespace

bool QvSmartStringFileReader::isKnownCode(int code)
{
    switch (code) {
    case Utf8:
    case Utf16:
    case Utf16BigEndian:
    case Utf16LittleEndian:
    case Utf32:
    case Utf32BigEndian:
    case Utf32LittleEndian:
    case MacOSRoman:
    case Ascii:
        return true;
    default:
        return false;
    }
}

namespace {
// Zero characters come from binary files (or a wrong guess of the encoding),
// never from a text: no decoding accepts them.
std::optional<QString> refuseNul(std::optional<QString> text)
{
    if (text && text->contains(QChar(0))) {
        CryptoPrimitives::wipe(*text);
        return std::nullopt;
    }
    return text;
}
} // namespace

std::optional<QString> QvSmartStringFileReader::decode(const QByteArray& bytes, int code)
{
    return refuseNul(decodeOnce(bytes, code));
}

std::optional<QString> QvSmartStringFileReader::decodeOnce(const QByteArray& bytes, int code)
{
    using Form = TextEncoding::Unicode;
    switch (code) {
    case Utf8:
        return TextEncoding::decodeUnicode(bytes, Form::Utf8);
    case Utf16:
        // Big-endian unless a mark says otherwise.
        return TextEncoding::decodeUnicode(bytes, startsWith(bytes, {0xFF, 0xFE}) ? Form::Utf16LittleEndian
                                                                                  : Form::Utf16BigEndian);
    case Utf16BigEndian:
        return TextEncoding::decodeUnicode(bytes, Form::Utf16BigEndian);
    case Utf16LittleEndian:
        return TextEncoding::decodeUnicode(bytes, Form::Utf16LittleEndian);
    case Utf32:
        return TextEncoding::decodeUnicode(bytes, startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00})
                                                      ? Form::Utf32LittleEndian
                                                      : Form::Utf32BigEndian);
    case Utf32BigEndian:
        return TextEncoding::decodeUnicode(bytes, Form::Utf32BigEndian);
    case Utf32LittleEndian:
        return TextEncoding::decodeUnicode(bytes, Form::Utf32LittleEndian);
    case MacOSRoman:
        return TextEncoding::decode(bytes, TextEncoding::MacOSRoman);
    case Ascii:
        return decodeAscii(bytes);
    default:
        return std::nullopt;
    }
}

std::optional<QString> QvSmartStringFileReader::detect(const QByteArray& bytes)
{
    return refuseNul(detectOnce(bytes));
}

std::optional<QString> QvSmartStringFileReader::detectOnce(const QByteArray& bytes)
{
    // A mark, or the zero bytes of UTF-16 and UTF-32, decide; then valid UTF-8.
    if (const auto form = TextEncoding::detectUnicode(bytes))
        return TextEncoding::decodeUnicode(bytes, *form);
    if (auto text = TextEncoding::decodeUnicode(bytes, TextEncoding::Unicode::Utf8))
        return text;
    return TextEncoding::decode(bytes, TextEncoding::Windows1252);
}

std::optional<QString> QvSmartStringFileReader::autoReadFromData(const QByteArray& bytes, int code)
{
    if (isKnownCode(code))
        return decode(bytes, code);
    for (const int attempt : {Utf8, MacOSRoman, Utf16, Utf16BigEndian, Utf16LittleEndian, Utf32, Utf32BigEndian,
                              Utf32LittleEndian, Ascii}) {
        if (auto text = decode(bytes, attempt))
            return text;
    }
    return std::nullopt;
}

std::optional<QString> QvSmartStringFileReader::autoReadFromFile(const QString& path, int code, Failure* failure)
{
    Failure ignored = Failure::None;
    Failure& why = failure ? *failure : ignored;
    why = Failure::None;
    std::optional<QByteArray> bytes = readRegularFile(path, &why);
    if (!bytes)
        return std::nullopt;
    std::optional<QString> text = isKnownCode(code) ? decode(*bytes, code) : detect(*bytes);
    if (!text && !isKnownCode(code))
        text = autoReadFromData(*bytes, Automatic);
    // The file's bytes are the contacts in clear.
    CryptoPrimitives::wipe(*bytes);
    if (!text)
        why = Failure::NotDecodable;
    return text;
}

QString* QvSmartStringFileReader::replaceStringWithNewline(QString* text)
{
    if (!text)
        return nullptr;
    if (!text->contains(u'\r'))
        return text;
    // In place, in one pass: CR LF and a lone CR both become LF.
    QChar* data = text->data();
    const qsizetype n = text->size();
    qsizetype out = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (data[i] == u'\r') {
            data[out++] = u'\n';
            if (i + 1 < n && data[i + 1] == u'\n')
                ++i;
        } else {
            data[out++] = data[i];
        }
    }
    if (out < n) {
        // The tail that the shorter text no longer uses still holds contacts.
        std::fill(data + out, data + n, QChar(0));
        text->truncate(out);
    }
    return text;
}
