#include "toolkit/QvStringUtils.h"

#include "platform/Random.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Every UTF-16 unit is 10 points wide, so cuts are predictable to the unit.
qreal tenPerUnit(const QString& s)
{
    return 10.0 * s.size();
}

class StringUtilsClock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QvStringUtils::resetSerialForTesting();
        QvStringUtils::setClockForTesting([this] { return now; });
    }
    void TearDown() override
    {
        QvStringUtils::setClockForTesting({});
        QvStringUtils::resetSerialForTesting();
        setRandomGeneratorForTesting({});
    }
    QDateTime now{QDate(2026, 12, 8), QTime(9, 5, 7)};
};

} // namespace

TEST(StringUtils, UuidStringsAreUpperCaseGroupsAndDiffer)
{
    const QRegularExpression form(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString a = QvStringUtils::createUUIDString();
    const QString b = QvStringUtils::uniqueUUIDString();
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_TRUE(form.match(b).hasMatch()) << b.toStdString();
    EXPECT_NE(a, b);
}

TEST_F(StringUtilsClock, TimeStringAndSerialsWithinOneSecond)
{
    EXPECT_EQ(QvStringUtils::uniqueTimeString(), QStringLiteral("20261208090507"));
    EXPECT_EQ(QvStringUtils::uniqueTimeSerialString(), QStringLiteral("202612080905070"));
    EXPECT_EQ(QvStringUtils::uniqueTimeSerialString(), QStringLiteral("202612080905071"));
    EXPECT_EQ(QvStringUtils::uniqueTimeSerialString(), QStringLiteral("202612080905072"));
    now = now.addSecs(1);
    EXPECT_EQ(QvStringUtils::uniqueTimeSerialString(), QStringLiteral("202612080905080"));
}

TEST_F(StringUtilsClock, FirstSerialIsZeroExceptForTheEmptyString)
{
    EXPECT_EQ(QvStringUtils::getNewSerialForTimeString(QStringLiteral("x")), QStringLiteral("0"));
    QvStringUtils::resetSerialForTesting();
    EXPECT_EQ(QvStringUtils::getNewSerialForTimeString(QString()), QStringLiteral("1"));
    EXPECT_EQ(QvStringUtils::getNewSerialForTimeString(QStringLiteral("")), QStringLiteral("2"));
}

TEST_F(StringUtilsClock, TimeRandStringPadsTheNumberToFiveDigits)
{
    setRandomGeneratorForTesting([] { return 41L; }); // 1 + 41 within [1, 32e12]
    EXPECT_EQ(QvStringUtils::uniqueTimeRandString(), QStringLiteral("2026120809050700042"));
    setRandomGeneratorForTesting([] { return 1234566L; });
    EXPECT_EQ(QvStringUtils::uniqueTimeRandString(), QStringLiteral("202612080905071234567"));
}

TEST(StringUtils, TrimToFitCutsWholeCharacters)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one surrogate pair
    const QString eAcute = QStringLiteral("e\u0301");            // base and combining mark
    struct Case
    {
        QString text;
        int limit;
        QString expected;
    } cases[] = {
        {QStringLiteral("abcd"), 40, QStringLiteral("abcd")}, // exactly the limit: unchanged
        {QStringLiteral("abcde"), 40, QStringLiteral("ab..")},
        {QStringLiteral("abcde"), 45, QStringLiteral("ab..")},
        {QStringLiteral("a"), 5, QStringLiteral("a..")},     // the first character always stays
        {QStringLiteral("ab"), 0, QStringLiteral("a..")},
        {QString(), 0, QString()},
        // Cutting by units would leave the high half of the pair ("ab\uD83D.." is 50).
        {QStringLiteral("ab") + emoji + QStringLiteral("cd"), 50, QStringLiteral("ab..")},
        {QStringLiteral("ab") + emoji + QStringLiteral("cdef"), 60, QStringLiteral("ab") + emoji + QStringLiteral("..")},
        // Cutting by units would keep the bare "e" and drop its accent.
        {QStringLiteral("caf") + eAcute + QStringLiteral("s!"), 60, QStringLiteral("caf..")},
        {emoji + emoji, 10, emoji + QStringLiteral("..")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QvStringUtils::trimStringToFit(c.text, c.limit, tenPerUnit), c.expected)
            << c.text.toStdString() << " @ " << c.limit;
}

TEST(StringUtils, TrimToFitCutsALongTextAsCharacterByCharacterWould)
{
    // The definition: drop the last character while the rest and ".." are too wide.
    const auto oneByOne = [](const QString& text, int limit, const QvStringUtils::TextWidth& width) {
        if (limit >= width(text))
            return text;
        QString kept = text;
        while (kept.size() > 1 && width(kept + QStringLiteral("..")) > limit)
            kept.chop(1);
        return kept + QStringLiteral("..");
    };
    // Narrow and wide letters, so that widths are not proportional to lengths.
    const auto varied = [](const QString& s) {
        qreal w = 0;
        for (QChar c : s)
            w += c == u'i' ? 3 : c == u'm' ? 14 : 8;
        return w;
    };
    QString text;
    for (int i = 0; i < 3000; ++i)
        text += QLatin1String(i % 3 ? "mi" : "a");
    for (int limit : {0, 9, 100, 257, 2048, 4000, 30000})
        EXPECT_EQ(QvStringUtils::trimStringToFit(text, limit, varied), oneByOne(text, limit, varied)) << limit;
    EXPECT_EQ(QvStringUtils::trimStringToFit(text, 1000000, varied), text);

    // A name of millions of characters in a badge comes back as its first few.
    const QString huge(5000000, u'x');
    EXPECT_EQ(QvStringUtils::trimStringToFit(huge, 60, tenPerUnit), QStringLiteral("xxxx.."));
}

TEST(StringUtils, TrimToFitWithAFontFitsTheLimit)
{
    QFont font;
    font.setPixelSize(13);
    const QFontMetricsF metrics(font);
    const QString text = QStringLiteral("Friends and family from abroad");
    const int limit = int(metrics.horizontalAdvance(text) / 2);
    const QString cut = QvStringUtils::trimStringToFit(text, limit, font);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("..")));
    EXPECT_TRUE(text.startsWith(cut.chopped(2)));
    EXPECT_LE(metrics.horizontalAdvance(cut), limit);
    EXPECT_EQ(QvStringUtils::trimStringToFit(text, limit * 3, font), text);
}

TEST(StringUtils, FilteringKeepsOrRemovesWholeCodePoints)
{
    const QString grin = QString::fromUtf8("\xF0\x9F\x98\x81");  // D83D DE01
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // D83D DE00: same high half
    EXPECT_EQ(QvStringUtils::trimString(QStringLiteral("a1-b2 c3"), QStringLiteral("0123456789")), QStringLiteral("123"));
    EXPECT_EQ(QvStringUtils::trimString(grin + QStringLiteral("x") + smile, smile), smile);
    EXPECT_EQ(QvStringUtils::trimString(QStringLiteral("abc"), QString()), QString());

    const auto digits = [](char32_t c) { return c >= U'0' && c <= U'9'; };
    EXPECT_EQ(QvStringUtils::stringByRemovingCharacters(QStringLiteral("0a1b22c3"), digits), QStringLiteral("abc"));
    const auto smileOnly = [](char32_t c) { return c == U'\U0001F600'; };
    EXPECT_EQ(QvStringUtils::stringByRemovingCharacters(grin + smile + grin, smileOnly), grin + grin);
}

TEST(StringUtils, RemoveInitialSpaces)
{
    EXPECT_EQ(QvStringUtils::removeInitialSpaces(QStringLiteral("  \tword  ")), QStringLiteral("word  "));
    EXPECT_EQ(QvStringUtils::removeInitialSpaces(QStringLiteral("\u00A0\u2003x")), QStringLiteral("x"));
    EXPECT_EQ(QvStringUtils::removeInitialSpaces(QStringLiteral("\nword")), QStringLiteral("\nword")); // line ends stay
    EXPECT_EQ(QvStringUtils::removeInitialSpaces(QStringLiteral(" \t ")), std::nullopt);
    EXPECT_EQ(QvStringUtils::removeInitialSpaces(QString()), std::nullopt);
}

TEST(StringUtils, SpaceQuoteAndLineEndTrims)
{
    EXPECT_EQ(QvStringUtils::trimLateralSpace(QStringLiteral("  \ta b\t  ")), QStringLiteral("\ta b\t"));
    EXPECT_EQ(QvStringUtils::removeLateralSpace(QStringLiteral("   ")), QString());
    EXPECT_FALSE(QvStringUtils::spaceTrimmedNotEmpy(QString()));
    EXPECT_FALSE(QvStringUtils::spaceTrimmedNotEmpy(QStringLiteral("   ")));
    EXPECT_TRUE(QvStringUtils::spaceTrimmedNotEmpy(QStringLiteral(" \t ")));

    EXPECT_EQ(QvStringUtils::trimLateralQuote(QStringLiteral("\"\"a \"b\"\"\"")), QStringLiteral("a \"b"));
    EXPECT_EQ(QvStringUtils::trimLateralQuote(QStringLiteral("\"\"")), QString());

    EXPECT_EQ(QvStringUtils::stripNewLines(QStringLiteral("a\r\nb\n\rc\rd\ne")), QStringLiteral("abcde"));
}

TEST(StringUtils, AddLeadingZeros)
{
    EXPECT_EQ(QvStringUtils::addLeading0(QStringLiteral("7"), 3), QStringLiteral("007"));
    EXPECT_EQ(QvStringUtils::addLeading0(QStringLiteral("1234"), 3), QStringLiteral("1234"));
    EXPECT_EQ(QvStringUtils::addLeading0(QStringLiteral("5"), 0), QStringLiteral("5"));
    EXPECT_EQ(QvStringUtils::addLeading0(QStringLiteral("5"), -4), QStringLiteral("5"));
    EXPECT_EQ(QvStringUtils::addLeading0(QString(), 2), QStringLiteral("00"));
    EXPECT_EQ(QvStringUtils::addLeading0(QStringLiteral("5"), qint64(1) << 40), QStringLiteral("5"));
}
