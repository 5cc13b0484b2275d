#include "toolkit/LongText.h"

#include <gtest/gtest.h>

TEST(LongText, HeadKeepsTheBeginningWithinBothBounds)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one surrogate pair
    const QString e = QString(LongText::kEllipsis);
    struct Case {
        QString text;
        qsizetype units;
        qsizetype lines;
        QString expected;
    } cases[] = {
        {QStringLiteral("abcd"), 4, -1, QStringLiteral("abcd")}, // exactly the bound: whole, no ellipsis
        {QStringLiteral("abcde"), 4, -1, QStringLiteral("abcd") + e},
        {QString(), 0, -1, QString()},
        {QStringLiteral("abc"), 0, -1, e},
        {QStringLiteral("a\nb\nc"), 100, 3, QStringLiteral("a\nb\nc")},
        {QStringLiteral("a\nb\nc\nd"), 100, 2, QStringLiteral("a\nb") + e},
        {QStringLiteral("a\n\n\nb"), 100, 1, QStringLiteral("a") + e},
        {QStringLiteral("abc\ndef"), 5, 1, QStringLiteral("abc") + e},
        // Never the high half of a pair alone.
        {QStringLiteral("ab") + emoji + QStringLiteral("c"), 3, -1, QStringLiteral("ab") + e},
        {QStringLiteral("ab") + emoji + QStringLiteral("c"), 4, -1, QStringLiteral("ab") + emoji + e},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LongText::head(c.text, c.units, c.lines), c.expected) << c.text.toStdString();
        EXPECT_EQ(LongText::isCut(c.text, c.units, c.lines), c.expected != c.text) << c.text.toStdString();
    }
}

TEST(LongText, HeadOfMegabytesIsItsBeginning)
{
    const QString note = QString(3000000, u'n') + QStringLiteral("\nend");
    const QString shown = LongText::head(note, 2000, 40);
    EXPECT_EQ(shown.size(), 2001);
    EXPECT_TRUE(shown.startsWith(QString(2000, u'n')));
    EXPECT_TRUE(shown.endsWith(LongText::kEllipsis));
}

TEST(LongText, WrappableBreaksOnlyLongRunsWithZeroWidthSpaces)
{
    const QString z = QString(QChar(0x200B));
    const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(LongText::wrappable(QStringLiteral("ab cd"), 2), QStringLiteral("ab cd"));
    EXPECT_EQ(LongText::wrappable(QStringLiteral("abcde fg"), 2), QStringLiteral("ab") + z + QStringLiteral("cd") + z + QStringLiteral("e fg"));
    EXPECT_EQ(LongText::wrappable(QStringLiteral("abcd"), 2), QStringLiteral("ab") + z + QStringLiteral("cd"));
    // Never between the halves of a pair.
    EXPECT_EQ(LongText::wrappable(QStringLiteral("a") + pair + QStringLiteral("b"), 2), QStringLiteral("a") + pair + z + QStringLiteral("b"));
}
