#include "platform/TextEncoding.h"

#include "platform/Plaintext.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <utility>

namespace {
// Characters of the bytes 0x80 to 0xFF; the lower half is ASCII.
constexpr char16_t kMacOSRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, // F8
};

// Characters of the bytes 0x80 to 0x9F; 0 marks the five bytes without one.
// From 0xA0 the encoding is Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178, // 98
};

char16_t windows1252Char(unsigned char b)
{
    if (b < 0x80 || b >= 0xA0)
        return b;
    return kWindows1252High[b - 0x80];
}

using ReverseEntry = std::pair<char16_t, unsigned char>;

// The upper half sorted by character, for a binary search when encoding.
const std::array<ReverseEntry, 128>& macOSRomanReverse()
{
    static const std::array<ReverseEntry, 128> table = [] {
        std::array<ReverseEntry, 128> t{};
        for (int i = 0; i < 128; ++i)
            t[i] = {kMacOSRomanHigh[i], static_cast<unsigned char>(0x80 + i)};
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

std::optional<QByteArray> encodeMacOSRoman(const QString& text)
{
    const auto& reverse = macOSRomanReverse();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            *out++ = static_cast<char>(u);
            continue;
        }
        const auto it = std::lower_bound(reverse.begin(), reverse.end(), ReverseEntry{u, 0});
        if (it == reverse.end() || it->first != u) {
            // The bytes so far may be part of a password.
            bytes.fill('\0');
            return std::nullopt;
        }
        *out++ = static_cast<char>(it->second);
    }
    return bytes;
}

QString decodeMacOSRoman(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("");
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = QChar(u < 0x80 ? char16_t(u) : kMacOSRomanHigh[u - 0x80]);
    }
    return text;
}
std::optional<QString> decodeWindows1252(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("");
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const char16_t u = windows1252Char(static_cast<unsigned char>(b));
        if (u == 0 && b != 0) {
            text.fill(QChar(0));
            return std::nullopt;
        }
        *out++ = QChar(u);
    }
    return text;
}

std::optional<QByteArray> encodeWindows1252(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        int found = u < 0x80 || (u >= 0xA0 && u <= 0xFF) ? int(u) : -1;
        for (int i = 0; found < 0 && i < 32; ++i) {
            if (kWindows1252High[i] != 0 && kWindows1252High[i] == u)
                found = 0x80 + i;
        }
        if (found < 0) {
            bytes.fill('\0');
            return std::nullopt;
        }
        *out++ = static_cast<char>(found);
    }
    return bytes;
}
using Unicode = TextEncoding::Unicode;

QByteArrayView markOf(Unicode form)
{
    switch (form) {
    case Unicode::Utf8:
        return QByteArrayView("\xEF\xBB\xBF", 3);
    case Unicode::Utf16BigEndian:
        return QByteArrayView("\xFE\xFF", 2);
    case Unicode::Utf16LittleEndian:
        return QByteArrayView("\xFF\xFE", 2);
    case Unicode::Utf32BigEndian:
        return QByteArrayView("\0\0\xFE\xFF", 4);
    case Unicode::Utf32LittleEndian:
        return QByteArrayView("\xFF\xFE\0\0", 4);
    }
    return {};
}

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    // Stateless: a sequence cut off at the end is an error, not a pending state.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        Plaintext::wipe(text);
        return std::nullopt;
    }
    return text;
}

char16_t utf16Unit(const unsigned char* in, qsizetype i, bool bigEndian)
{
    const unsigned char a = in[2 * i], b = in[2 * i + 1];
    return bigEndian ? char16_t((a << 8) | b) : char16_t((b << 8) | a);
}

char32_t utf32Value(const unsigned char* in, qsizetype i, bool bigEndian)
{
    in += 4 * i;
    return bigEndian ? (char32_t(in[0]) << 24) | (char32_t(in[1]) << 16) | (char32_t(in[2]) << 8) | in[3]
                     : (char32_t(in[3]) << 24) | (char32_t(in[2]) << 16) | (char32_t(in[1]) << 8) | in[0];
}

const unsigned char* unsignedData(QByteArrayView bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

// Checked before anything is decoded, so that a refused text leaves no copy behind.
bool validUtf16(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return false;
    const unsigned char* in = unsignedData(bytes);
    const qsizetype units = bytes.size() / 2;
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t u = utf16Unit(in, i, bigEndian);
        if (QChar::isHighSurrogate(u)) {
            if (i + 1 == units || !QChar::isLowSurrogate(utf16Unit(in, i + 1, bigEndian)))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(u)) {
            return false;
        }
    }
    return true;
}

bool validUtf32(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 4 != 0)
        return false;
    const unsigned char* in = unsignedData(bytes);
    for (qsizetype i = 0; i < bytes.size() / 4; ++i) {
        const char32_t c = utf32Value(in, i, bigEndian);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
    }
    return true;
}

QString decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    const qsizetype units = bytes.size() / 2;
    QString text(units, Qt::Uninitialized);
    const unsigned char* in = unsignedData(bytes);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < units; ++i)
        out[i] = utf16Unit(in, i, bigEndian);
    return text;
}

QString decodeUtf32(QByteArrayView bytes, bool bigEndian)
{
    QString text;
    // At most two units a character: the text is never moved (and left behind) while it grows.
    text.reserve(bytes.size() / 2);
    const unsigned char* in = unsignedData(bytes);
    for (qsizetype i = 0; i < bytes.size() / 4; ++i) {
        const char32_t c = utf32Value(in, i, bigEndian);
        if (QChar::requiresSurrogates(c)) {
            text.append(QChar(QChar::highSurrogate(c)));
            text.append(QChar(QChar::lowSurrogate(c)));
        } else {
            text.append(QChar(char16_t(c)));
        }
    }
    return text;
}

// UTF-16 or UTF-32 without a byte-order mark: text files of the other
// encodings hold no zero bytes, these hold them at fixed places.
std::optional<Unicode> detectWideWithoutMark(QByteArrayView bytes)
{
    std::array<qsizetype, 4> zeros{};
    const unsigned char* in = unsignedData(bytes);
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i)
        if (in[i] == 0)
            ++zeros[std::size_t(i % 4)];
    const qsizetype total = zeros[0] + zeros[1] + zeros[2] + zeros[3];
    if (total == 0 || n % 2 != 0)
        return std::nullopt;
    if (n % 4 == 0) {
        const qsizetype quads = n / 4;
        if (zeros[3] == quads && zeros[2] == quads && validUtf32(bytes, false))
            return Unicode::Utf32LittleEndian;
        if (zeros[0] == quads && zeros[1] == quads && validUtf32(bytes, true))
            return Unicode::Utf32BigEndian;
    }
    const bool bigEndian = zeros[0] + zeros[2] > zeros[1] + zeros[3];
    if (validUtf16(bytes, bigEndian))
        return bigEndian ? Unicode::Utf16BigEndian : Unicode::Utf16LittleEndian;
    return std::nullopt;
}

} // namespace

std::optional<QString> TextEncoding::decodeUnicode(QByteArrayView bytes, Unicode form)
{
    if (bytes.startsWith(markOf(form)))
        bytes = bytes.sliced(markOf(form).size());
    std::optional<QString> text;
    switch (form) {
    case Unicode::Utf8:
        text = decodeUtf8(bytes);
        break;
    case Unicode::Utf16BigEndian:
    case Unicode::Utf16LittleEndian:
        if (const bool bigEndian = form == Unicode::Utf16BigEndian; validUtf16(bytes, bigEndian))
            text = decodeUtf16(bytes, bigEndian);
        break;
    case Unicode::Utf32BigEndian:
    case Unicode::Utf32LittleEndian:
        if (const bool bigEndian = form == Unicode::Utf32BigEndian; validUtf32(bytes, bigEndian))
            text = decodeUtf32(bytes, bigEndian);
        break;
    }
    if (text && text->isNull())
        text = QStringLiteral("");
    return text;
}

std::optional<TextEncoding::Unicode> TextEncoding::detectUnicode(QByteArrayView bytes)
{
    // UTF-32LE's mark begins with UTF-16LE's: it is tried first.
    const QByteArrayView utf32LittleMark = markOf(Unicode::Utf32LittleEndian);
    if (bytes.startsWith(utf32LittleMark) && validUtf32(bytes.sliced(utf32LittleMark.size()), false))
        return Unicode::Utf32LittleEndian;
    for (const Unicode form : {Unicode::Utf32BigEndian, Unicode::Utf8, Unicode::Utf16LittleEndian,
                               Unicode::Utf16BigEndian})
        if (bytes.startsWith(markOf(form)))
            return form;
    return detectWideWithoutMark(bytes);
}

std::optional<QByteArray> TextEncoding::encode(const QString& text, Encoding encoding)
{
    switch (encoding) {
    case MacOSRoman:
        return encodeMacOSRoman(text);
    case Windows1252:
        return encodeWindows1252(text);
    }
    return std::nullopt;
}

std::optional<QString> TextEncoding::decode(const QByteArray& bytes, Encoding encoding)
{
    switch (encoding) {
    case MacOSRoman:
        return decodeMacOSRoman(bytes);
    case Windows1252:
        return decodeWindows1252(bytes);
    }
    return std::nullopt;
}
