#include "import_fixture.h"

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
