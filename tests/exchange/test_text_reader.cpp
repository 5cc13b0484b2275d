#include "exchange/QvSmartStringFileReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Reader = QvSmartStringFileReader;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (bigEndian)
            out.append(char(u >> 8)).append(char(u & 0xFF));
        else
            out.append(char(u & 0xFF)).append(char(u >> 8));
    }
    return out;
}

QByteArray utf32(const QString& text, bool bigEndian)
{
    QByteArray out;
    for (const char32_t c : text.toUcs4()) {
        const char b[4] = {char(c >> 24), char((c >> 16) & 0xFF), char((c >> 8) & 0xFF), char(c & 0xFF)};
        for (int i = 0; i < 4; ++i)
            out.append(bigEndian ? b[i] : b[3 - i]);
    }
    return out;
}

struct Decoding {
    const char* name;
    QByteArray input;
    int code;
    std::optional<QString> expected; // none: no text
};

class TextReaderFiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& data)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(TextReaderFiles, DecodesEachCodeAndTheAutomaticChoice)
{
    const QString accented = QString::fromUtf8(u8"Zoë,Müller,€5");
    const QString astral = QString::fromUtf8(u8"a😀b");
    const QByteArray latin1 = QByteArray("Zo\xEB,M\xFCller\n");
    const std::vector<Decoding> table = {
        {"utf-8", accented.toUtf8(), Reader::Utf8, accented},
        {"utf-8 drops its mark", bytes({0xEF, 0xBB, 0xBF, 'a'}), Reader::Utf8, QStringLiteral("a")},
        {"utf-8 refuses a bad byte", QByteArray("a\xFF"), Reader::Utf8, std::nullopt},
        {"utf-8 refuses a cut sequence", QByteArray("ab\xC3"), Reader::Utf8, std::nullopt},
        {"utf-8 refuses an overlong form", QByteArray("\xC0\xAF"), Reader::Utf8, std::nullopt},
        {"utf-8 refuses NUL", QByteArray("a\0b", 3), Reader::Utf8, std::nullopt},
        {"auto refuses NUL", QByteArray("a\0b", 3), 0, std::nullopt},
        {"utf-16 refuses NUL", QByteArray("\0\0", 2), Reader::Utf16, std::nullopt},
        {"utf-16 marked LE", bytes({0xFF, 0xFE}) + utf16(accented, false), Reader::Utf16, accented},
        {"utf-16 marked BE", bytes({0xFE, 0xFF}) + utf16(accented, true), Reader::Utf16, accented},
        {"utf-16 unmarked is BE", utf16(QStringLiteral("ab"), true), Reader::Utf16, QStringLiteral("ab")},
        {"utf-16 pair", utf16(astral, true), Reader::Utf16BigEndian, astral},
        {"utf-16 odd length", utf16(QStringLiteral("ab"), true) + 'x', Reader::Utf16BigEndian, std::nullopt},
        {"utf-16 lone high", utf16(QStringLiteral("a"), false) + bytes({0x00, 0xD8}), Reader::Utf16LittleEndian,
         std::nullopt},
        {"utf-16 lone low", bytes({0xDC, 0x00, 0x00, 'a'}), Reader::Utf16BigEndian, std::nullopt},
        {"utf-32 marked LE", bytes({0xFF, 0xFE, 0, 0}) + utf32(astral, false), Reader::Utf32, astral},
        {"utf-32 marked BE", bytes({0, 0, 0xFE, 0xFF}) + utf32(astral, true), Reader::Utf32, astral},
        {"utf-32 LE", utf32(accented, false), Reader::Utf32LittleEndian, accented},
        {"utf-32 above U+10FFFF", bytes({0, 0x11, 0, 0}), Reader::Utf32BigEndian, std::nullopt},
        {"utf-32 surrogate value", bytes({0, 0, 0xD8, 0}), Reader::Utf32BigEndian, std::nullopt},
        {"utf-32 length not a multiple of 4", bytes({0, 0, 0, 'a', 0}), Reader::Utf32BigEndian, std::nullopt},
        {"mac os roman", bytes({'a', 0x8A, 0xDB}), Reader::MacOSRoman, QString::fromUtf8(u8"aä€")},
        {"ascii", QByteArray("plain"), Reader::Ascii, QStringLiteral("plain")},
        {"ascii refuses 0x80", QByteArray("a\x80"), Reader::Ascii, std::nullopt},
        // Automatic: the detecting attempt first.
        {"auto utf-8", accented.toUtf8(), 0, accented},
        {"auto latin-1 reads as windows-1252", latin1, 0, QString::fromUtf8(u8"Zoë,Müller\n")},
        {"auto windows-1252 quotes", bytes({0x93, 'a', 0x94}), 0, QString::fromUtf8(u8"“a”")},
        {"auto 1252 hole falls to mac os roman", bytes({'a', 0x81}), 0, QString::fromUtf8(u8"aÅ")},
        {"auto utf-32LE mark before utf-16LE", bytes({0xFF, 0xFE, 0, 0}) + utf32(QStringLiteral("a,b"), false), 0,
         QStringLiteral("a,b")},
        {"auto utf-16LE mark", bytes({0xFF, 0xFE}) + utf16(QStringLiteral("a,b"), false), 0, QStringLiteral("a,b")},
        {"auto utf-16BE mark", bytes({0xFE, 0xFF}) + utf16(accented, true), 0, accented},
        {"auto unmarked utf-16LE", utf16(QStringLiteral("a,b\n"), false), 0, QStringLiteral("a,b\n")},
        {"auto unmarked utf-16BE", utf16(accented, true), 0, accented},
        {"auto unmarked utf-32LE", utf32(QStringLiteral("a,b\n"), false), 0, QStringLiteral("a,b\n")},
        {"auto unmarked utf-32BE", utf32(QStringLiteral("a,b\n"), true), 0, QStringLiteral("a,b\n")},
        {"auto empty file", QByteArray(), 0, QStringLiteral("")},
        {"code 2 is automatic", latin1, 2, QString::fromUtf8(u8"Zoë,Müller\n")},
        {"code -1 is automatic", latin1, -1, QString::fromUtf8(u8"Zoë,Müller\n")},
    };
    for (const Decoding& c : table) {
        SCOPED_TRACE(c.name);
        Reader::Failure failure = Reader::Failure::None;
        const std::optional<QString> text = Reader::autoReadFromFile(write(QStringLiteral("t.txt"), c.input), c.code, &failure);
        ASSERT_EQ(text.has_value(), c.expected.has_value());
        if (text) {
            EXPECT_EQ(*text, *c.expected);
            EXPECT_FALSE(text->isNull());
            EXPECT_EQ(failure, Reader::Failure::None);
        } else {
            EXPECT_EQ(failure, Reader::Failure::NotDecodable);
        }
    }
}

TEST(TextReaderData, TriesTheFixedOrderWithoutDetection)
{
    // Without detection a Latin-1 text is read as Mac OS Roman, which decodes any byte.
    EXPECT_EQ(Reader::autoReadFromData(QByteArray("M\xFC"), 0), QString::fromUtf8(u8"M¸"));
    EXPECT_EQ(Reader::autoReadFromData(QByteArray("M\xC3\xBC"), 0), QString::fromUtf8(u8"Mü"));
    EXPECT_FALSE(Reader::autoReadFromData(QByteArray("M\xFC"), Reader::Utf8).has_value());
}

TEST(TextReaderLineEnds, PairsFirstThenLoneReturnsInPlace)
{
    struct Case {
        const char16_t* in;
        const char16_t* out;
    };
    for (const Case& c : {Case{u"a\r\nb\rc\n", u"a\nb\nc\n"}, Case{u"\r\r\n", u"\n\n"}, Case{u"\n\r", u"\n\n"},
                          Case{u"", u""}, Case{u"\r\n\r\n", u"\n\n"}}) {
        QString text = QString::fromUtf16(c.in);
        QString* same = Reader::replaceStringWithNewline(&text);
        EXPECT_EQ(same, &text);
        EXPECT_EQ(text, QString::fromUtf16(c.out));
    }
    EXPECT_EQ(Reader::replaceStringWithNewline(nullptr), nullptr);
}

TEST_F(TextReaderFiles, ReadsOnlyARegularReadableFileWithinTheLimit)
{
    const QString missing = dir.filePath(QStringLiteral("missing.csv"));
    const QString fifo = dir.filePath(QStringLiteral("x.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = write(QStringLiteral("secret.csv"), "a,b\n");
    ::chmod(QFile::encodeName(unreadable).constData(), 0);
    const QString large = dir.filePath(QStringLiteral("large.csv"));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(Reader::kMaximumFileSize + 1)); // sparse: costs no disk
    }
    struct Case {
        QString path;
        Reader::Failure failure;
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : {Case{missing, Reader::Failure::CannotRead}, Case{fifo, Reader::Failure::CannotRead},
                          Case{dir.path(), Reader::Failure::CannotRead},
                          Case{unreadable, root ? Reader::Failure::None : Reader::Failure::CannotRead},
                          Case{large, Reader::Failure::TooLarge}}) {
        SCOPED_TRACE(c.path.toStdString());
        Reader::Failure failure = Reader::Failure::None;
        const auto text = Reader::autoReadFromFile(c.path, 0, &failure);
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(text.has_value(), c.failure == Reader::Failure::None);
    }
}
