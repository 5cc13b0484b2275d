#include "exchange/QvSmartStringFileReader.h"

#include "encryption/CryptoPrimitives.h"
#include "platform/FileRead.h"
#include "platform/TextEncoding.h"

#include <QStringDecoder>

#include <array>

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

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    const qsizetype skip = startsWith(bytes, {0xEF, 0xBB, 0xBF}) ? 3 : 0;
    // Stateless: a sequence cut off at the end is an error, not a pending state.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(bytes).sliced(skip));
    if (decoder.hasError()) {
        CryptoPrimitives::wipe(text);
        return std::nullopt;
    }
    if (text.isNull())
        text = QStringLiteral("");
    return text;
}

// Qt's UTF-16 and UTF-32 decoders accept odd lengths, lone surrogates and
// values beyond U+10FFFF without a word: these check every unit.
std::optional<QString> decodeUtf16(const QByteArray& bytes, qsizetype offset, bool bigEndian)
{
    const qsizetype length = bytes.size() - offset;
    if (length < 0 || length % 2 != 0)
        return std::nullopt;
    QString text(length / 2, Qt::Uninitialized);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData()) + offset;
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const qsizetype units = length / 2;
    bool valid = true;
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned char a = in[2 * i], b = in[2 * i + 1];
        out[i] = bigEndian ? char16_t((a << 8) | b) : char16_t((b << 8) | a);
    }
    for (qsizetype i = 0; i < units && valid; ++i) {
        const char16_t u = out[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            valid = i + 1 < units && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            valid = false;
        }
    }
    if (!valid) {
        CryptoPrimitives::wipe(text);
        return std::nullopt;
    }
    if (text.isNull())
        text = QStringLiteral("");
    return text;
}

std::optional<QString> decodeUtf32(const QByteArray& bytes, qsizetype offset, bool bigEndian)
{
    const qsizetype length = bytes.size() - offset;
    if (length < 0 || length % 4 != 0)
        return std::nullopt;
    QString text;
    // At most two units a character: the text is never moved (and left behind) while it grows.
    text.reserve(length / 2);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData()) + offset;
    for (qsizetype i = 0; i < length; i += 4) {
        const char32_t c = bigEndian
            ? (char32_t(in[i]) << 24) | (char32_t(in[i + 1]) << 16) | (char32_t(in[i + 2]) << 8) | in[i + 3]
            : (char32_t(in[i + 3]) << 24) | (char32_t(in[i + 2]) << 16) | (char32_t(in[i + 1]) << 8) | in[i];
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            CryptoPrimitives::wipe(text);
            return std::nullopt;
        }
        if (QChar::requiresSurrogates(c)) {
            text.append(QChar(QChar::highSurrogate(c)));
            text.append(QChar(QChar::lowSurrogate(c)));
        } else {
            text.append(QChar(char16_t(c)));
        }
    }
    if (text.isNull())
        text = QStringLiteral("");
    return text;
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

// UTF-16 or UTF-32 without a byte-order mark: text files of the other
// encodings hold no zero bytes, these hold them at fixed places.
std::optional<QString> detectWideWithoutMark(const QByteArray& bytes)
{
    std::array<qsizetype, 4> zeros{};
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i)
        if (in[i] == 0)
            ++zeros[std::size_t(i % 4)];
    const qsizetype total = zeros[0] + zeros[1] + zeros[2] + zeros[3];
    if (total == 0 || n % 2 != 0)
        return std::nullopt;
    if (n % 4 == 0) {
        const qsizetype quads = n / 4;
        if (zeros[3] == quads && zeros[2] == quads)
            if (auto text = decodeUtf32(bytes, 0, false))
                return text;
        if (zeros[0] == quads && zeros[1] == quads)
            if (auto text = decodeUtf32(bytes, 0, true))
                return text;
    }
    const qsizetype evenZeros = zeros[0] + zeros[2];
    const qsizetype oddZeros = zeros[1] + zeros[3];
    return decodeUtf16(bytes, 0, evenZeros > oddZeros);
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
    switch (code) {
    case Utf8:
        return decodeUtf8(bytes);
    case Utf16:
        if (startsWith(bytes, {0xFF, 0xFE}))
            return decodeUtf16(bytes, 2, false);
        return decodeUtf16(bytes, startsWith(bytes, {0xFE, 0xFF}) ? 2 : 0, true);
    case Utf16BigEndian:
        return decodeUtf16(bytes, startsWith(bytes, {0xFE, 0xFF}) ? 2 : 0, true);
    case Utf16LittleEndian:
        return decodeUtf16(bytes, startsWith(bytes, {0xFF, 0xFE}) ? 2 : 0, false);
    case Utf32:
        if (startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00}))
            return decodeUtf32(bytes, 4, false);
        return decodeUtf32(bytes, startsWith(bytes, {0x00, 0x00, 0xFE, 0xFF}) ? 4 : 0, true);
    case Utf32BigEndian:
        return decodeUtf32(bytes, startsWith(bytes, {0x00, 0x00, 0xFE, 0xFF}) ? 4 : 0, true);
    case Utf32LittleEndian:
        return decodeUtf32(bytes, startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00}) ? 4 : 0, false);
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
    // UTF-32LE's mark begins with UTF-16LE's: it is tried first.
    if (startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00}))
        if (auto text = decodeUtf32(bytes, 4, false))
            return text;
    if (startsWith(bytes, {0x00, 0x00, 0xFE, 0xFF}))
        return decodeUtf32(bytes, 4, true);
    if (startsWith(bytes, {0xEF, 0xBB, 0xBF}))
        return decodeUtf8(bytes);
    if (startsWith(bytes, {0xFF, 0xFE}))
        return decodeUtf16(bytes, 2, false);
    if (startsWith(bytes, {0xFE, 0xFF}))
        return decodeUtf16(bytes, 2, true);
    if (auto text = detectWideWithoutMark(bytes))
        return text;
    if (auto text = decodeUtf8(bytes))
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
