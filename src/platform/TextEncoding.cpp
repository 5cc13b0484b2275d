#include "platform/TextEncoding.h"

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
} // namespace

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
