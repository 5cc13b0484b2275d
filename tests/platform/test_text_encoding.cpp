#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
QByteArray allBytes(int from, int to)
{
    QByteArray bytes;
    for (int b = from; b <= to; ++b)
        bytes.append(static_cast<char>(b));
    return bytes;
}
} // namespace

TEST(TextEncodingMacOSRoman, DecodesTheUpperHalfAsPublished)
{
    // The published mapping, written out as characters rather than code points.
    const QString expected = QString::fromUtf8(
        u8"ÄÅÇÉÑÖÜáàâäãåçéèêëíìîïñóòôöõúùûü†°¢£§•¶ß®©™´¨≠ÆØ∞±≤≥¥µ∂∑∏π∫ªºΩæø¿¡¬√ƒ≈∆«»…\u00A0"
        u8"ÀÃÕŒœ–—“”‘’÷◊ÿŸ⁄€‹›ﬁﬂ‡·‚„‰ÂÊÁËÈÍÎÏÌÓÔ\uF8FFÒÚÛÙıˆ˜¯˘˙˚¸˝˛ˇ");
    ASSERT_EQ(expected.size(), 128);
    EXPECT_EQ(TextEncoding::decode(allBytes(0x80, 0xFF), TextEncoding::MacOSRoman), expected);
    EXPECT_EQ(TextEncoding::decode(allBytes(0x00, 0x7F), TextEncoding::MacOSRoman),
              QString::fromLatin1(allBytes(0x00, 0x7F)));
}

TEST(TextEncodingMacOSRoman, EveryByteSurvivesDecodeAndEncode)
{
    const QByteArray bytes = allBytes(0x00, 0xFF);
    const auto text = TextEncoding::decode(bytes, TextEncoding::MacOSRoman);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(TextEncoding::encode(*text, TextEncoding::MacOSRoman), bytes);
}

TEST(TextEncodingMacOSRoman, EmptyIsAValidTextAndByteString)
{
    const auto bytes = TextEncoding::encode(QString(), TextEncoding::MacOSRoman);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->isEmpty());
    const auto text = TextEncoding::decode(QByteArray(), TextEncoding::MacOSRoman);
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->isEmpty());
    EXPECT_FALSE(text->isNull());
}

TEST(TextEncodingMacOSRoman, RefusesCharactersWithoutAByte)
{
    const QString cases[] = {
        QStringLiteral(u"\u00A4"),            // the currency sign 0xDB held before the euro
        QStringLiteral(u"pass\u0100"),        // Latin Extended-A
        QStringLiteral(u"\u5BC6\u7801"),      // CJK
        QStringLiteral(u"a\U0001F600b"),      // beyond the Basic Multilingual Plane
        QString(QChar(0xD800)),               // a lone surrogate half
        QStringLiteral(u"e\u0301"),           // combining accent: only precomposed letters exist
    };
    for (const QString& text : cases)
        EXPECT_FALSE(TextEncoding::encode(text, TextEncoding::MacOSRoman).has_value()) << text.toStdString();
}

TEST(TextEncodingMacOSRoman, EncodesLettersAndSymbolsToTheirBytes)
{
    EXPECT_EQ(TextEncoding::encode(QStringLiteral(u"Caf\u00E9 \u20AC\u221E\u00A0\uF8FF"), TextEncoding::MacOSRoman),
              QByteArray::fromHex("436166 8e 20 db b0 ca f0"));
}

TEST(TextEncodingWindows1252, DecodesItsUpperHalfAndRefusesTheFiveUnassignedBytes)
{
    // 0x80-0x9F as published, the five holes left out; 0xA0-0xFF are Latin-1.
    const QString expected = QString::fromUtf8(u8"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ");
    QByteArray assigned;
    for (int b = 0x80; b <= 0x9F; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            assigned.append(static_cast<char>(b));
    EXPECT_EQ(TextEncoding::decode(assigned, TextEncoding::Windows1252), expected);
    EXPECT_EQ(TextEncoding::decode(allBytes(0x00, 0x7F) + allBytes(0xA0, 0xFF), TextEncoding::Windows1252),
              QString::fromLatin1(allBytes(0x00, 0x7F) + allBytes(0xA0, 0xFF)));
    for (const char hole : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
        EXPECT_FALSE(TextEncoding::decode(QByteArray("ab") + hole, TextEncoding::Windows1252).has_value()) << int(hole);
    EXPECT_EQ(TextEncoding::encode(expected, TextEncoding::Windows1252), assigned);
    EXPECT_FALSE(TextEncoding::encode(QStringLiteral("\u0100"), TextEncoding::Windows1252).has_value());
}

TEST(TextEncodingUnicode, TellsTheFormByItsMarkOrItsZeroBytes)
{
    using U = TextEncoding::Unicode;
    const auto bytes = [](std::initializer_list<int> values) {
        QByteArray out;
        for (const int v : values)
            out.append(static_cast<char>(v));
        return out;
    };
    struct Case {
        const char* what;
        QByteArray bytes;
        std::optional<U> form;
    };
    const std::vector<Case> cases = {
        {"UTF-8 mark", bytes({0xEF, 0xBB, 0xBF, 'a'}), U::Utf8},
        {"UTF-16BE mark", bytes({0xFE, 0xFF, 0, 'a'}), U::Utf16BigEndian},
        {"UTF-16LE mark", bytes({0xFF, 0xFE, 'a', 0}), U::Utf16LittleEndian},
        {"UTF-32BE mark", bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 'a'}), U::Utf32BigEndian},
        {"UTF-32LE mark", bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0}), U::Utf32LittleEndian},
        {"UTF-32LE mark before invalid UTF-32 is UTF-16LE's", bytes({0xFF, 0xFE, 0, 0, 'a', 0}), U::Utf16LittleEndian},
        {"unmarked UTF-16BE", bytes({0, 'a', 0, 'b'}), U::Utf16BigEndian},
        {"unmarked UTF-16LE", bytes({'a', 0, 'b', 0}), U::Utf16LittleEndian},
        {"unmarked UTF-32BE", bytes({0, 0, 0, 'a', 0, 0, 0, 'b'}), U::Utf32BigEndian},
        {"unmarked UTF-32LE", bytes({'a', 0, 0, 0, 'b', 0, 0, 0}), U::Utf32LittleEndian},
        {"a lone surrogate is no UTF-16", bytes({0, 'a', 0, 'b', 0xDC, 'c'}), std::nullopt},
        {"an odd length is no UTF-16", bytes({0, 'a', 'b'}), std::nullopt},
        {"no zero bytes", QByteArray("plain \xC3\xA9"), std::nullopt},
        {"nothing", QByteArray(), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TextEncoding::detectUnicode(c.bytes), c.form);
    }
    // The mark goes; what a form refuses gives no text; no text is null.
    EXPECT_EQ(TextEncoding::decodeUnicode(bytes({0xFE, 0xFF, 0, 'a'}), U::Utf16BigEndian), QStringLiteral("a"));
    EXPECT_EQ(TextEncoding::decodeUnicode(bytes({0xD8, 0, 0, 'a'}), U::Utf16BigEndian), std::nullopt);
    EXPECT_EQ(TextEncoding::decodeUnicode(bytes({0, 0x11, 0, 0}), U::Utf32BigEndian), std::nullopt);
    EXPECT_EQ(TextEncoding::decodeUnicode(QByteArray("\xC3"), U::Utf8), std::nullopt);
    const std::optional<QString> empty = TextEncoding::decodeUnicode(bytes({0xFF, 0xFE}), U::Utf16LittleEndian);
    ASSERT_TRUE(empty.has_value());
    EXPECT_FALSE(empty->isNull());
}
