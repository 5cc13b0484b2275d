#include "exchange/DelimitedTextSplitter.h"
#include "test_printers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Collector : DelimitedTextSplitter::Sink {
    std::vector<QStringList> records;
    void beginRecord() override { records.emplace_back(); }
    void field(QStringView text) override { records.back().append(text.toString()); }
    void endRecord() override {}
};

std::vector<QStringList> split(const char* text, char16_t separator)
{
    const QString whole = QString::fromUtf8(text);
    const QList<QStringView> lines = QStringView(whole).split(u'\n');
    Collector collector;
    DelimitedTextSplitter(lines, separator).split(collector);
    return collector.records;
}

struct Case {
    const char* name;
    const char* text;
    char16_t separator;
    std::vector<QStringList> records;
};

void expectAll(const std::vector<Case>& table)
{
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(split(c.text, c.separator), c.records);
    }
}

} // namespace

TEST(DelimitedTextSplitter, TabFieldsThatBeginWithAQuoteAreQuotedAsInCsv)
{
    expectAll({
        {"a note over three lines", "Ann\t\"It's\nmultiline\nmemo.\"\tx\nBob\tn\n", u'\t',
         {{"Ann", "It's\nmultiline\nmemo.", "x"}, {"Bob", "n"}}},
        {"doubled quotes", "\"\"\"worker\"\"\"\tb", u'\t', {{"\"worker\"", "b"}}},
        {"a tab inside quotes", "\"a\tb\"\tc\t\"\"", u'\t', {{"a\tb", "c", ""}}},
        {"quotes not at the start are characters", "5\" disk\tO'Neil \"Jr\"", u'\t', {{"5\" disk", "O'Neil \"Jr\""}}},
        // Values written as they are, beginning with a quote that does not quote them, split as before.
        {"a quote that closes nothing", "\"Bud\" Lee\tx\n\"Cy\tRay\n", u'\t', {{"\"Bud\" Lee", "x"}, {"\"Cy", "Ray"}}},
        {"an open quote takes no later line", "\"Bud\tx\nAnn\tLee\n\"Cy\"\tRay", u'\t',
         {{"\"Bud", "x"}, {"Ann", "Lee"}, {"Cy", "Ray"}}},
        {"spaces and empty fields", "   \n\n\t\n", u'\t', {{"   "}, {"", ""}}},
    });
}

TEST(DelimitedTextSplitter, QuotesLeftUndoubledNeverMergeColumns)
{
    expectAll({
        {"quotes at the end of a quoted value", "\"He said \"hi\"\",x", u',', {{"He said \"hi\"", "x"}}},
        {"text after the closing quote", "\"Smith\" Jr,John", u',', {{"\"Smith\" Jr", "John"}}},
        {"a space after the closing quote", "\"a\" ,b", u',', {{"\"a\" ", "b"}}},
        {"semicolon", "\"Smith\" Jr;John", u';', {{"\"Smith\" Jr", "John"}}},
        // The earlier release quoted every value and doubled nothing.
        {"every value quoted", "\"He said \"hi\"\",\"x\"", u',', {{"He said \"hi\"", "x"}}},
        {"an odd quote in a value", "\"12\"\",\"5\" disk\",\"\"", u',', {{"12\"", "5\" disk", ""}}},
        {"a value ending in a quote takes no later line", "\"12\"\",x\nBob,Ray\n", u',',
         {{"12\"", "x"}, {"Bob", "Ray"}}},
        {"fields before keep their reading", "\"x\"\"y\",\"Smith\" Jr,John", u',', {{"x\"y", "\"Smith\" Jr", "John"}}},
        {"a padded closing quote before a quoted value", "\"Caf\xc3\xa9\" ,\"He said \"hi\"\"", u',',
         {{"\"Caf\xc3\xa9\" ", "He said \"hi\""}}},
        {"text after a closing quote before a quoted value", "\"Smith\" Jr, \"x\"", u',', {{"\"Smith\" Jr", " \"x\""}}},
        {"undoubled inner quotes", "\"a \"b\" c\",d", u',', {{"a \"b\" c", "d"}}},
        {"toggling keeps a separator between quotes", "\"a\" x,\"b,c\" y,z", u',', {{"\"a\" x", "\"b,c\" y", "z"}}},
        {"a quote never closed", "a,\"b,c\nx", u',', {{"a", "\"b,c"}, {"x"}}},
        {"a stray quote on a later line ends the field", "\"a\nb\"c\nd", u',', {{"\"a"}, {"b\"c"}, {"d"}}},
    });
}

TEST(DelimitedTextSplitter, WellFormedTextReadsByTheDoubledQuoteRule)
{
    expectAll({
        {"separators, quotes and line breaks inside quotes", "\"a \"\"b\"\",\nc\",d\n\"\",\"\"\"\"", u',',
         {{"a \"b\",\nc", "d"}, {"", "\""}}},
        {"a blank line inside quotes", "\"a\n\n  \nb\",c", u',', {{"a\n\n  \nb", "c"}}},
        {"a record after a multi-line one", "x,\"1\n2\"\ny,z", u',', {{"x", "1\n2"}, {"y", "z"}}},
        {"blank lines are no records", "a\n   \n\nb,", u',', {{"a"}, {"b", ""}}},
        {"one quote alone", "\"", u',', {{"\""}}},
    });
}
