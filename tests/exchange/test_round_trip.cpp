// What the exporter writes with a heading, the importer reads back with From First Row.
#include "import_fixture.h"

#include "exchange/ExportWriter.h"

#include <QTimeZone>

TEST_F(ImportTest, ExportedTabAndCsvWithAHeadingReimportToTheSameRecords)
{
    MyDocument* source = newDocument();
    settle();
    const ArrayRef fields = MyDocument::exportFieldTable();
    const DictionaryRef friends = categories(source)->addWithName(QStringLiteral("Friends"));
    const QStringList values = {
        QString::fromUtf8(u8"Zoë"), QStringLiteral("O'Neil, \"Jr.\""), QStringLiteral("Acme; Sons"),
        QStringLiteral("+41 1"), QStringLiteral(""), QStringLiteral("zoe@example.org"), QStringLiteral("1 Main St, Town"),
        QStringLiteral("www.example.org"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
        QStringLiteral("5"), QStringLiteral("z@home.example"), QStringLiteral("home.example"),
        QStringLiteral("\"Home\""), QStringLiteral("likes ,commas, and \"quotes\""),
    };
    for (int n = 0; n < 3; ++n) {
        const DictionaryRef record = records(source)->newObject();
        records(source)->assignCategory(n == 1 ? friends : DictionaryRef(), record);
        for (qsizetype j = 1; j < fields->count(); ++j)
            record->setObject(Value(values.at(j - 1) + (n ? QString::number(n) : QString())),
                              fields->objectAtIndex(j).valueForKey(QStringLiteral("innerKey")).stringValue());
        source->addTheRecord(record);
    }
    auto rowsOf = [&fields](MyDocument* document) {
        QList<QStringList> rows;
        for (const Value& record : *document->myArray()) {
            QStringList row;
            for (const Value& field : *fields)
                row << record.valueForKeyPath(field.valueForKey(QStringLiteral("innerKey")).stringValue()).stringValue();
            rows << row;
        }
        return rows;
    };

    const ExportWriter::DateStyle dates{QLocale(QLocale::English), QTimeZone::utc()};
    for (const int format : {int(ExportWriter::TabSeparated), int(ExportWriter::QuotedCsv)}) {
        SCOPED_TRACE(format);
        const QString text = ExportWriter::exportText(*source->myArray(), *fields, format, {}, true, dates);
        const QString path = write(QStringLiteral("export.") + ExportWriter::extensionFor(format), text.toUtf8());
        MyDocument* target = newDocument();
        settle();
        MyDataImportManager* m = load(target, path);
        ASSERT_TRUE(m);
        m->tryAssignFromFirstRow();
        EXPECT_EQ(m->numberOfImportedFields(), 17);
        m->DoImport();
        settle();
        EXPECT_EQ(rowsOf(target), rowsOf(source));
    }
}
