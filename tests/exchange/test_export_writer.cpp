// The text an export writes, byte for byte.
#include "exchange/ExportWriter.h"
#include "test_printers.h"

#include <gtest/gtest.h>

using namespace ExportWriter;

namespace {

DictionaryRef field(const QString& caption, const QString& key)
{
    return Dictionary::create({{QStringLiteral("publicKey"), Value(caption)}, {QStringLiteral("innerKey"), Value(key)}});
}

ArrayRef twoFields()
{
    return Array::create({Value(field("First name", "firstName")), Value(field("Last name", "lastName"))});
}

ArrayRef people(int count)
{
    const char* names[][2] = {{"Ann", "Lee"}, {"Bob", "Ray"}, {"Cy", "Oz"}};
    ArrayRef records = Array::create();
    for (int i = 0; i < count; ++i)
        records->addObject(Value(Dictionary::create(
            {{QStringLiteral("firstName"), Value(names[i][0])}, {QStringLiteral("lastName"), Value(names[i][1])}})));
    return records;
}

// Custom strings that every code other than 0 must ignore.
CustomStrings someCustomStrings()
{
    return {"S", "E", "<", ">\\n", "{", "}", "|", "NO"};
}

DateStyle utcEnglish()
{
    return {QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc()};
}

QByteArray exported(const ArrayRef& records, const ArrayRef& fields, int format, bool header,
                    const CustomStrings& custom = someCustomStrings())
{
    return exportText(*records, *fields, format, custom, header, utcEnglish()).toUtf8();
}

const QByteArray kPageStart = R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head><body><table>)";
const QByteArray kPageEnd = "</table></body></html>";

struct FormatCase {
    int format;
    // Without header for 0, 1 and 2 records, then with header for 0, 1 and 2 records.
    QByteArray expected[6];
};

} // namespace

TEST(ExportWriter, EveryFormatWithAndWithoutHeaderForNoneOneAndTwoRecords)
{
    const FormatCase cases[] = {
        {0,
         {"SE", "S<{Ann}|{Lee}E", "S<{Ann}|{Lee}>\n<{Bob}|{Ray}E", "S<{First name}|{Last name}E",
          "S<{First name}|{Last name}>\n<{Ann}|{Lee}E", "S<{First name}|{Last name}>\n<{Ann}|{Lee}>\n<{Bob}|{Ray}E"}},
        {1,
         {"", "Ann\tLee", "Ann\tLee\nBob\tRay", "First name\tLast name", "First name\tLast name\nAnn\tLee",
          "First name\tLast name\nAnn\tLee\nBob\tRay"}},
        {2,
         {"", R"("Ann","Lee")", "\"Ann\",\"Lee\"\n\"Bob\",\"Ray\"", R"("First name","Last name")",
          "\"First name\",\"Last name\"\n\"Ann\",\"Lee\"", "\"First name\",\"Last name\"\n\"Ann\",\"Lee\"\n\"Bob\",\"Ray\""}},
        {3,
         {"<table></table>", "<table><tr><td>Ann</td><td>Lee</td></tr></table>",
          "<table><tr><td>Ann</td><td>Lee</td></tr><tr><td>Bob</td><td>Ray</td></tr></table>",
          "<table><tr><td>First name</td><td>Last name</td></tr></table>",
          "<table><tr><td>First name</td><td>Last name</td></tr><tr><td>Ann</td><td>Lee</td></tr></table>",
          "<table><tr><td>First name</td><td>Last name</td></tr><tr><td>Ann</td><td>Lee</td></tr>"
          "<tr><td>Bob</td><td>Ray</td></tr></table>"}},
        {4,
         {kPageStart + kPageEnd, kPageStart + "<tr><td>Ann</td><td>Lee</td></tr>" + kPageEnd,
          kPageStart + "<tr><td>Ann</td><td>Lee</td></tr><tr><td>Bob</td><td>Ray</td></tr>" + kPageEnd,
          kPageStart + "<tr><td>First name</td><td>Last name</td></tr>" + kPageEnd,
          kPageStart + "<tr><td>First name</td><td>Last name</td></tr><tr><td>Ann</td><td>Lee</td></tr>" + kPageEnd,
          kPageStart + "<tr><td>First name</td><td>Last name</td></tr><tr><td>Ann</td><td>Lee</td></tr>"
                       "<tr><td>Bob</td><td>Ray</td></tr>" + kPageEnd}},
        {5,
         {"", "Ann,Lee", "Ann,Lee\nBob,Ray", "First name,Last name", "First name,Last name\nAnn,Lee",
          "First name,Last name\nAnn,Lee\nBob,Ray"}},
        {6, {"", "AnnLee", "AnnLeeBobRay", "First nameLast name", "First nameLast nameAnnLee", "First nameLast nameAnnLeeBobRay"}},
        {-1, {"", "AnnLee", "AnnLeeBobRay", "First nameLast name", "First nameLast nameAnnLee", "First nameLast nameAnnLeeBobRay"}},
    };
    for (const FormatCase& c : cases)
        for (int header = 0; header < 2; ++header)
            for (int count = 0; count < 3; ++count)
                EXPECT_EQ(exported(people(count), twoFields(), c.format, header), c.expected[header * 3 + count])
                    << "format " << c.format << ", header " << header << ", records " << count;
}

TEST(ExportWriter, RecordsWithoutChosenFieldsStillGetTheirRows)
{
    EXPECT_EQ(exported(people(3), Array::create(), 1, false), "\n\n");
    EXPECT_EQ(exported(people(3), Array::create(), 3, false), "<table><tr></tr><tr></tr><tr></tr></table>");
    EXPECT_EQ(exported(people(2), Array::create(), 2, true), "\n\n") << "an empty header row, then two rows";
}

TEST(ExportWriter, CustomFormatUnescapesItsStringsAndReadsTheLastRowFlagAsABoolean)
{
    const struct {
        const char* typed;
        QString expected;
    } unescapes[] = {
        {"\\n", "\n"}, {"\\t", "\t"}, {"x\\n\\ty", "x\n\ty"}, {"\\\\n", "\\\n"}, {"\\N\\x", "\\N\\x"}, {"", ""},
    };
    for (const auto& c : unescapes)
        EXPECT_EQ(unescaped(c.typed), c.expected) << c.typed;

    const struct {
        QString flag;
        bool expected;
    } flags[] = {
        {"YES", true}, {"yes", true}, {" +01", true}, {"true", true}, {"NO", false}, {"", false}, {QString(), false}, {"0", false},
    };
    for (const auto& c : flags) {
        CustomStrings custom{"", "", "", "\\n", "", "", "\\t", c.flag};
        EXPECT_EQ(delimitersFor(CustomFormat, custom).endOfRecordAfterLast, c.expected) << c.flag.toStdString();
        EXPECT_EQ(exported(people(1), twoFields(), 0, false, custom), c.expected ? "Ann\tLee\n" : "Ann\tLee")
            << c.flag.toStdString();
    }

    // Unset strings count as empty.
    EXPECT_EQ(exported(people(2), twoFields(), 0, true, CustomStrings{}), "First nameLast nameAnnLeeBobRay");
}

TEST(ExportWriter, ValuesAreFlattenedOnlyWhereTheFormatSaysSo)
{
    const struct {
        int format;
        QString value;
        QString expected;
    } cases[] = {
        {2, "word\r\nword", "word word"},
        {2, "word \r\n word", "word  word"},
        {2, "a\rb\nc", "a b c"},
        {2, "a,b", "a,b"},
        {2, "a\tb", "a\tb"},
        {1, "a \t b", "a  b"},
        {1, "a\t\tb", "a  b"},
        {1, "a\r\nb", "a b"},
        {1, "a,b", "a,b"},
        {5, "a, b", "a b"},
        {5, "a ,b", "a b"},
        {5, "a,,b", "a  b"},
        {5, "a\r\n, b", "a  b"},
        {5, "a\tb", "a\tb"},
        {0, "a\r\nb,\tc", "a\r\nb,\tc"},
        {3, "a\nb", "a\nb"},
        {4, "a\tb", "a\tb"},
        {7, "a\nb", "a\nb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(flattened(c.value, c.format), c.expected) << c.format << " " << c.value.toStdString();

    // Captions and delimiters are written as they are.
    const ArrayRef fields = Array::create({Value(field("Line\none", "note"))});
    const ArrayRef records = Array::create({Value(Dictionary::create({{"note", Value("x\ny")}}))});
    EXPECT_EQ(exported(records, fields, 1, true), "Line\none\nx y");
}

TEST(ExportWriter, QuotesAreDoubledWhereTheFormatQuotesAndMarkupEscapedInHtml)
{
    const ArrayRef fields = Array::create({Value(field("Say \"hi\"", "note")), Value(field("<i>", "company"))});
    const ArrayRef records = Array::create({Value(Dictionary::create(
        {{"note", Value("12\" pizza, large")}, {"company", Value("<b>Tom & \"Jerry\"</b>")}}))});

    EXPECT_EQ(exported(records, fields, 2, true),
              "\"Say \"\"hi\"\"\",\"<i>\"\n\"12\"\" pizza, large\",\"<b>Tom & \"\"Jerry\"\"</b>\"");
    EXPECT_EQ(exported(records, fields, 3, true),
              "<table><tr><td>Say &quot;hi&quot;</td><td>&lt;i&gt;</td></tr>"
              "<tr><td>12&quot; pizza, large</td><td>&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;</td></tr></table>");
    EXPECT_EQ(exported(records, fields, 4, false),
              kPageStart + "<tr><td>12&quot; pizza, large</td><td>&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;</td></tr>"
                  + kPageEnd);
    // The user writes the markup of the custom format, and the plain formats stay literal.
    EXPECT_EQ(exported(records, fields, 0, false, CustomStrings{"", "", "<tr>", "</tr>", "<td>", "</td>", "", "YES"}),
              "<tr><td>12\" pizza, large</td><td><b>Tom & \"Jerry\"</b></td></tr>");
    EXPECT_EQ(exported(records, fields, 5, false), "12\" pizza large,<b>Tom & \"Jerry\"</b>");
    // Tab text quotes a value only when it begins with a quote, as a tab reader takes that for quoting.
    const ArrayRef quoted = Array::create({Value(Dictionary::create({{"note", Value("\"Bud\" Lee")}, {"company", Value("a\"b")}}))});
    EXPECT_EQ(exported(quoted, fields, 1, true), "Say \"hi\"\t<i>\n\"\"\"Bud\"\" Lee\"\ta\"b");
}

TEST(ExportWriter, ValueTextOfEveryKind)
{
    const DictionaryRef family = Dictionary::create({{"cat_category", Value("Family")}});
    // 23:30 on 1 March 2020 in Greenwich is already 2 March in Berlin.
    const Value date = Value::dateFromDateTime(QDateTime(QDate(2020, 3, 1), QTime(23, 30), Qt::UTC));
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct {
        Value value;
        DateStyle dates;
        QString expected;
    } cases[] = {
        {Value::int32(0), utcEnglish(), "0"},
        {Value::int64(-1234567890123), utcEnglish(), "-1234567890123"},
        {Value::real(2.5), utcEnglish(), "2.5"},
        {Value::boolean(true), utcEnglish(), "1"},
        {Value("text"), utcEnglish(), "text"},
        {Value(), utcEnglish(), ""},
        {Value::data("bytes"), utcEnglish(), ""},
        {Value(family), utcEnglish(), ""},
        {date, {english, QTimeZone::utc()}, "3/1/20"},
        {date, {english, berlin}, "3/2/20"},
        {date, {german, QTimeZone::utc()}, "01.03.20"},
        {date, {german, berlin}, "02.03.20"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(valueText(c.value, c.dates), c.expected) << c.expected.toStdString();

    // A key path reaches into the record's category.
    const ArrayRef fields = Array::create({Value(field("Category", "categoryPtr.cat_category")),
                                           Value(field("Uses", "usageCount")), Value(field("Missing", "nothing"))});
    const ArrayRef records = Array::create(
        {Value(Dictionary::create({{"categoryPtr", Value(family)}, {"usageCount", Value::int32(3)}}))});
    EXPECT_EQ(exported(records, fields, 2, false), R"("Family","3","")");
}

TEST(ExportWriter, ExtensionOfEveryFormat)
{
    const struct {
        int format;
        const char* extension;
    } cases[] = {{-1, "txt"}, {0, "txt"}, {1, "tsv"}, {2, "csv"}, {3, "txt"}, {4, "html"}, {5, "csv"}, {6, "txt"}};
    for (const auto& c : cases)
        EXPECT_EQ(extensionFor(c.format), c.extension) << c.format;
}

TEST(ExportWriter, ManyRecordsComeOutWholeAndInOrder)
{
    ArrayRef records = Array::create();
    QStringList rows{"First name\tLast name"};
    for (int i = 0; i < 1000; ++i) {
        // Rows get longer on the way, past any estimate made from the first ones.
        const QString last = QString(i / 10, u'x');
        records->addObject(Value(Dictionary::create({{"firstName", Value(QString::number(i))}, {"lastName", Value(last)}})));
        rows << QString::number(i) + u'\t' + last;
    }
    EXPECT_EQ(exported(records, twoFields(), 1, true), rows.join(u'\n').toUtf8());
}
