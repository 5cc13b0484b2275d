#include "import_fixture.h"
#include "test_printers.h"

TEST_F(ImportTest, ReadsEachFixtureFormatAndEncodingToTheSameContacts)
{
    const QString dirPath = QStringLiteral(CALVORIN_TEST_FIXTURES "/text-import/");
    const QString zoe = QString::fromUtf8(u8"Zoë"), mueller = QString::fromUtf8(u8"Müller");
    const QString cafe = QString::fromUtf8(u8"Café Élan");
    struct Case {
        const char* file;
        int code;
        QStringList firstNames;
        QStringList lastNames;
        QStringList companies;
    };
    const std::vector<Case> table = {
        {"comma-utf8.csv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-utf8.csv", 1, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-utf8-mark.csv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"tab-utf16le-mark.tsv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"tab-utf16le-mark.tsv", 10, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"tab-utf16be.tsv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"tab-utf16be.tsv", 11, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"semicolon-utf32le-mark.txt", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"semicolon-utf32le-mark.txt", 22, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-utf32be.csv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-utf32be.csv", 21, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-macroman.csv", 30, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-latin1.csv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {cafe, ""}},
        {"comma-windows1252.csv", 0, {zoe, "Ann"}, {mueller, "Lee"}, {QString::fromUtf8(u8"Café “Élan” €"), ""}},
        {"tab-ascii.txt", 50, {"Zoe", "Ann"}, {"Muller", "Lee"}, {"Cafe Elan", ""}},
        {"comma-quoted-crlf.csv", 0, {zoe, "Ann"}, {mueller + ", Jr.", "Lee"}, {QString::fromUtf8(u8"Café \"Élan\""), ""}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.file);
        MyDocument* document = newDocument();
        settle();
        MyDataImportManager* m = load(document, dirPath + QLatin1String(c.file), 0, c.code);
        ASSERT_TRUE(m);
        ASSERT_EQ(m->importedRowCount(), 3);
        m->tryAssignFromFirstRow();
        ASSERT_EQ(m->numberOfImportedFields(), 4);
        m->DoImport();
        settle();
        EXPECT_EQ(column(document, "firstName"), c.firstNames);
        EXPECT_EQ(column(document, "lastName"), c.lastNames);
        EXPECT_EQ(column(document, "company"), c.companies);
        document->close();
        settle();
    }
    // The line break inside quotes is the note's own; CR LF became LF.
    MyDocument* document = newDocument();
    settle();
    MyDataImportManager* m = load(document, dirPath + "comma-quoted-crlf.csv");
    m->tryAssignFromFirstRow();
    m->DoImport();
    settle();
    EXPECT_EQ(column(document, "note"), (QStringList{"line one\nline two", "n"}));
}

TEST_F(ImportTest, SplitsEachQuotedAndOddlyEndedExportIntoExactlyItsRowsAndFields)
{
    const QString dirPath = QStringLiteral(CALVORIN_TEST_FIXTURES "/text-import/");
    const QStringList heading{"First name", "Last name", "Company", "Note"};
    const QString zoe = QString::fromUtf8(u8"Zoë"), mueller = QString::fromUtf8(u8"Müller");
    struct Case {
        const char* file;
        std::vector<QStringList> rows;
    };
    const std::vector<Case> table = {
        {"tab-quoted-utf16le-mark.txt",
         {heading, {zoe, mueller, "\"worker\"", "It's\nmultiline\nmemo."}, {"Ann", "Lee\tJr.", "", "n"}}},
        {"tab-quoted-windows1252.txt",
         {heading,
          {zoe, mueller, QString::fromUtf8(u8"Café \"Élan\" €"), "line one\nline two"},
          {"Ann", "Lee", "", "say \"hi\""}}},
        {"comma-earlier-release.csv",
         {heading, {zoe, mueller, QString::fromUtf8(u8"Café \"Élan\""), "12\" pizza, large"}, {"Ann", "Lee", "", "n"}}},
        {"comma-stray-quotes.csv",
         {heading,
          {"\"" + zoe + "\" Jr", mueller, QString::fromUtf8(u8"\"Café\" "), "He said \"hi\""},
          {"Ann", "Lee", "", "n"}}},
        {"semicolon-cr-trailing.csv",
         {heading + QStringList{"", ""},
          {zoe, mueller, QString::fromUtf8(u8"Café Élan"), QString::fromUtf8(u8"ß"), "", ""},
          {"Ann", "Lee", "", "n", "", ""}}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.file);
        MyDocument* document = newDocument();
        settle();
        MyDataImportManager* m = load(document, dirPath + QLatin1String(c.file));
        ASSERT_TRUE(m);
        ASSERT_EQ(m->importedRowCount(), qsizetype(c.rows.size()));
        EXPECT_EQ(m->numOfMaxFieldInImportedData(), c.rows.front().size());
        for (qsizetype i = 0; i < m->importedRowCount(); ++i)
            EXPECT_EQ(m->fieldsOfRow(i), c.rows[std::size_t(i)]) << i;
        // The heading names the columns, so the contacts come out as the rows say.
        m->tryAssignFromFirstRow();
        m->DoImport();
        settle();
        EXPECT_EQ(column(document, "company"), (QStringList{c.rows[1][2], c.rows[2][2]}));
        EXPECT_EQ(column(document, "note"), (QStringList{c.rows[1][3], c.rows[2][3]}));
        document->close();
        settle();
    }
}
