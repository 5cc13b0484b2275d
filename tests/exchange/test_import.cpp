#include "import_fixture.h"

#include "common/TitleWrites.h"
#include "document/FilteringArrayController.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/DocumentWindow.h"

#include <QPointer>
#include <QProgressBar>
#include <QTest>

#include <QSignalSpy>
#include <QTableView>

namespace {

using M = QvDataImportManager;
constexpr int kCategory = 2, kFirstName = 3, kLastName = 4, kCompany = 5, kWebWork = 10, kNote = 18;

std::vector<QStringList> rowsOf(const QString& text, int format)
{
    std::vector<QStringList> rows;
    EXPECT_TRUE(M::rowsOfLines(text.split(u'\n'), format, &rows, nullptr));
    return rows;
}

} // namespace

TEST(ImportSplitting, QuotingRecordsAndEmptyRows)
{
    struct Case {
        const char* name;
        const char* text;
        int format;
        std::vector<QStringList> rows;
    };
    const std::vector<Case> table = {
        {"separator inside quotes", "a,\"b,c\",d", M::CommaFormat, {{"a", "b,c", "d"}}},
        {"doubled quote is one", "\"a\"\"b\",c", M::CommaFormat, {{"a\"b", "c"}}},
        {"spaces stay", " a , b ", M::CommaFormat, {{" a ", " b "}}},
        {"separator at the end", "a,", M::CommaFormat, {{"a", ""}}},
        {"stray quote is a character", "a\"b,c", M::CommaFormat, {{"a\"b", "c"}}},
        {"one quote alone", "\"", M::CommaFormat, {{"\""}}},
        {"unclosed at the end of the text", "x\na,\"b,c", M::CommaFormat, {{"x"}, {"a", "\"b,c"}}},
        {"earlier release's undoubled quotes", "\"a \"b\" c\",d", M::CommaFormat, {{"a \"b\" c", "d"}}},
        {"line break inside quotes", "\"x\ny\",z\nw", M::CommaFormat, {{"x\ny", "z"}, {"w"}}},
        {"doubled quote across a break", "\"a\n\"\"b\"\"\",c", M::CommaFormat, {{"a\n\"b\"", "c"}}},
        {"a stray quote swallows no line", "a,\"b\nc,d\ne", M::CommaFormat, {{"a", "\"b"}, {"c", "d"}, {"e"}}},
        {"even quotes end the record", "\"a\"b\nc", M::CommaFormat, {{"\"a\"b"}, {"c"}}},
        {"blank and space-only lines", "a\n\n   \nb\n", M::CommaFormat, {{"a"}, {"b"}}},
        {"spreadsheet empty rows", "a,b\n,,,,\n,\nc,d\n", M::CommaFormat, {{"a", "b"}, {"c", "d"}}},
        {"semicolon", "a;\"b;c\";d,e", M::SemicolonFormat, {{"a", "b;c", "d,e"}}},
        {"tab", "a\tb\n\t\n   \n\"x\ty\"", M::TabFormat, {{"a", "b"}, {"   "}, {"x\ty"}}},
        {"short and long lines", "a\nb,c,d\n", M::CommaFormat, {{"a"}, {"b", "c", "d"}}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rowsOf(QString::fromUtf8(c.text), c.format), c.rows);
    }
    EXPECT_EQ(M::componentsOfCsvRow(QStringLiteral("a,\"b,c\"")), (QStringList{"a", "b,c"}));
    EXPECT_EQ(M::componentsOfCsvUsingSemicolonRow(QStringLiteral("a;b,c")), (QStringList{"a", "b,c"}));
    EXPECT_TRUE(M::componentsOfCsvRow(QStringLiteral("   ")).isEmpty());
}

TEST(ImportSplitting, ALineOfNothingButSeparatorsCostsNoFieldsAndTooManyColumnsIsRefused)
{
    std::vector<QStringList> rows;
    qsizetype widest = -1;
    EXPECT_TRUE(M::rowsOfLines(QStringList{QString(200000, u',')}, M::CommaFormat, &rows, &widest));
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(widest, 0);
    QStringList wide{QStringLiteral("x,").repeated(M::kMaximumColumns) + QStringLiteral("x")};
    EXPECT_FALSE(M::rowsOfLines(wide, M::CommaFormat, &rows, &widest));
    EXPECT_TRUE(rows.empty());
    QStringList widest_allowed{QStringLiteral("x,").repeated(M::kMaximumColumns - 1) + QStringLiteral("x")};
    EXPECT_TRUE(M::rowsOfLines(widest_allowed, M::CommaFormat, &rows, &widest));
    EXPECT_EQ(widest, M::kMaximumColumns);
}

TEST(ImportDetection, TotalsWithoutBlankLinesTiesGoToTab)
{
    struct Case {
        const char* text;
        int format;
    };
    for (const Case& c : {Case{"one\ntwo\nthree\n", M::TabFormat}, Case{"a,b\n", M::CommaFormat},
                          Case{"a,b\nc,d\n", M::CommaFormat}, Case{"a,b;c\n", M::TabFormat},
                          Case{"a;b;c\nd;e\n", M::SemicolonFormat}, Case{"a\tb\nc\td\n", M::TabFormat},
                          Case{"\"x,y\"\tz\n", M::TabFormat}, Case{"", M::TabFormat}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(M::detectFormat(QString::fromUtf8(c.text).split(u'\n')), c.format);
    }
}

TEST_F(ImportTest, LoadsRowsAndMappingRowsAndOpensTheSheet)
{
    MyDocument* document = newDocument();
    settle();
    MyDataImportManager* m = load(document, write("people.csv", "Ann,Lee\nBob,Ray,Acme\n"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->importedRowCount(), 2);
    EXPECT_EQ(m->numOfMaxFieldInImportedData(), 3);
    EXPECT_EQ(m->destFieldArray()->count(), 3);
    EXPECT_EQ(destinations(m), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Sheet::attachedSheet(document->myWindow()), m->importSettingsPanel());
    EXPECT_EQ(m->currentRecordIndex(), 1);
    // The preview is the row on show, as elements.
    EXPECT_EQ(m->arrayImportRecord()->arrangedCount(), 2);
    EXPECT_EQ(m->arrayImportRecord()->arrangedObjectAt(1)->objectForKey(M::kElement).stringValue(), "Lee");
    EXPECT_EQ(m->importedRowAt(1)->valueForKeyPath("elements").array()->count(), 3);
    // The destination menu: the two fixed items, the 17 fields once, however often it opens.
    m->CancelImportSetting();
    m->ImportSettings();
    EXPECT_EQ(m->destinationMenu().size(), 19);
    EXPECT_EQ(m->destinationMenu().at(2), "Category");
    EXPECT_EQ(m->destinationMenu().at(18), "Note");
    QStringList tools;
    for (const auto& item : m->toolsMenu())
        tools << item.title;
    EXPECT_EQ(tools, (QStringList{"Reset", "Cascade", "From First Row"}));
}

TEST_F(ImportTest, AFileThatGivesNoRowsIsRefusedWithAnAlertAndNoSheet)
{
    MyDocument* document = newDocument();
    settle();
    struct Case {
        const char* name;
        QByteArray data;
        int encoding;
        const char* message;
    };
    const std::vector<Case> table = {
        {"empty.csv", "", 0, "holds nothing to import"},
        {"blank.csv", "\n,,\n,,,\n", 2, "holds nothing to import"},
        {"latin.csv", "Zo\xEB\n", 1, "is not in the chosen text encoding"},
        {"odd.txt", "abc", 11, "is not in the chosen text encoding"},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        MyDataImportManager* m = load(document, write(c.name, c.data), c.name == QByteArray("blank.csv") ? 2 : 0,
                                      c.encoding);
        ASSERT_TRUE(m);
        ASSERT_FALSE(responder.alerts().isEmpty());
        EXPECT_TRUE(responder.alerts().last().messageText.contains(QLatin1String(c.message)))
            << responder.alerts().last().messageText.toStdString();
        EXPECT_TRUE(responder.alerts().last().asSheet);
        EXPECT_EQ(m->importedRowCount(), 0);
        EXPECT_EQ(m->destFieldArray()->count(), 0);
        EXPECT_EQ(Sheet::attachedSheet(document->myWindow()), nullptr);
    }
    EXPECT_EQ(document->myArray()->count(), 0);
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(ImportTest, APopUpTakesItsFieldFromAnotherColumnAndTheToolsMapToTheFieldsOwnIndex)
{
    MyDocument* document = newDocument();
    settle();
    MyDataImportManager* m = load(document, write("p.csv", "First name,LAST NAME, Company,Note,x\nAnn,Lee,Acme,hi,y\n"));
    ASSERT_TRUE(m);

    m->AssignCascadeImportFields();
    EXPECT_EQ(destinations(m), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(flags(m), (QStringList{"»", "»", "»", "»", "»"}));
    EXPECT_EQ(m->numberOfImportedFields(), 5);

    // Column 0 takes column 2's field: column 2 loses it, the others keep theirs.
    m->chooseDestination(0, 4);
    settle();
    EXPECT_EQ(destinations(m), (std::vector<int>{4, 3, 0, 5, 6}));
    EXPECT_EQ(flags(m), (QStringList{"»", "»", "", "»", "»"}));
    EXPECT_EQ(m->numberOfImportedFields(), 4);
    // Not imported changes no other column.
    m->chooseDestination(1, 0);
    settle();
    EXPECT_EQ(destinations(m), (std::vector<int>{4, 0, 0, 5, 6}));
    EXPECT_EQ(flags(m)[1], "");

    m->ResetImportFields();
    EXPECT_EQ(destinations(m), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(m->numberOfImportedFields(), 0);

    // Headings in any case match the captions; a leading space matches nothing.
    EXPECT_FALSE(m->doNotImportFirstRecord());
    m->tryAssignFromFirstRow();
    EXPECT_EQ(destinations(m), (std::vector<int>{kFirstName, kLastName, 0, kNote, 0}));
    EXPECT_TRUE(m->doNotImportFirstRecord());
    EXPECT_TRUE(m->useFirstRecordAsFieldsName());
}

TEST_F(ImportTest, TheFirstRowToolLeavesDataRowsAloneWithoutAHeading)
{
    MyDocument* document = newDocument();
    settle();
    MyDataImportManager* m = load(document, write("p.csv", "Ann,Lee\nBob,Ray\n"));
    ASSERT_TRUE(m);
    map(m, {kFirstName, kLastName});
    m->tryAssignFromFirstRow();
    EXPECT_EQ(destinations(m), (std::vector<int>{0, 0}));
    EXPECT_FALSE(m->doNotImportFirstRecord());
    EXPECT_FALSE(m->useFirstRecordAsFieldsName());

    // With no rows there is nothing to read: nothing changes.
    MyDataImportManager empty(Array::create(), MyDocument::importFieldTable(), document->myWindow(),
                              records(document), document);
    empty.tryAssignFromFirstRow();
    EXPECT_FALSE(empty.doNotImportFirstRecord());
}

TEST_F(ImportTest, ThePreviewStaysWithinTheRows)
{
    MyDocument* document = newDocument();
    settle();
    MyDataImportManager* m = load(document, write("p.csv", "a\nb\nc\n"));
    ASSERT_TRUE(m);
    auto shown = [m] { return m->arrayImportRecord()->arrangedObjectAt(0)->objectForKey(M::kElement).stringValue(); };
    m->showPrevRecord();
    EXPECT_EQ(m->currentRecordIndex(), 1);
    EXPECT_EQ(shown(), "a");
    for (int i = 0; i < 4; ++i)
        m->showNextRecord();
    EXPECT_EQ(m->currentRecordIndex(), 3);
    EXPECT_EQ(shown(), "c");
    m->showPrevRecord();
    EXPECT_EQ(shown(), "b");
    EXPECT_EQ(m->currentRecordIndex(), 2);
}

TEST_F(ImportTest, TheRunMakesOneRecordARowAndTheDocumentFilesThemByCategoryName)
{
    MyDocument* document = newDocument();
    settle();
    // A record from before, in the document's own category.
    const DictionaryRef before = records(document)->newObject();
    before->setObject(Value(QStringLiteral("Old")), QStringLiteral("firstName"));
    document->addTheRecord(before);
    const DictionaryRef generic = categoryOf(before);
    ASSERT_EQ(usage(generic), 1);

    MyDataImportManager* m = load(document, write("p.csv",
                                                  "First name,Last name,Category,Company\n"
                                                  "Ann,Lee,Work,Acme\n"
                                                  "Bob,,work\n"
                                                  "Cy\n"
                                                  ",,,\n"
                                                  "Dee,Ray,Work,,extra\n"));
    ASSERT_TRUE(m);
    m->tryAssignFromFirstRow();
    EXPECT_EQ(destinations(m), (std::vector<int>{kFirstName, kLastName, kCategory, kCompany, 0}));
    m->DoImport();
    settle();

    EXPECT_EQ(Sheet::attachedSheet(document->myWindow()), nullptr);
    ASSERT_EQ(document->myArray()->count(), 5);
    EXPECT_EQ(column(document, "firstName", 1), (QStringList{"Ann", "Bob", "Cy", "Dee"}));
    // A mapped empty field is written; a short line leaves the defaults.
    EXPECT_EQ(column(document, "lastName", 1), (QStringList{"Lee", "", "Last Name", "Ray"}));
    EXPECT_EQ(column(document, "company", 1), (QStringList{"Acme", "", "", ""}));
    // Names compared exactly: "work" is a category of its own; "" from the short line too.
    QStringList names;
    for (qsizetype i = 1; i < 5; ++i)
        names << nameOf(categoryOf(recordAt(document, i)));
    EXPECT_EQ(names, (QStringList{"Work", "work", "", "Work"}));
    EXPECT_EQ(categoryOf(recordAt(document, 1)), categoryOf(recordAt(document, 4)));
    EXPECT_EQ(categories(document)->arrangedCount(), 4);
    EXPECT_EQ(usage(categoryOf(recordAt(document, 1))), 2);
    // The heading row's record was made and uncounted; the earlier record stays where it was.
    EXPECT_EQ(categoryOf(before), generic);
    EXPECT_EQ(usage(generic), 1);
    EXPECT_EQ(m->firstRowToImportUsedForColumnNames()->objectForKey("firstName").stringValue(), "First name");
    for (const Value& record : *document->myArray())
        EXPECT_FALSE(record.dictionary()->containsKey(MyDataImportManager::kCategoryName));
    EXPECT_TRUE(document->isDocumentEdited());

    // The same file again appends its records again, into the same categories.
    m = load(document, m == nullptr ? QString() : dir.filePath("p.csv"));
    m->tryAssignFromFirstRow();
    m->DoImport();
    settle();
    EXPECT_EQ(document->myArray()->count(), 9);
    EXPECT_EQ(categories(document)->arrangedCount(), 4);
}

TEST_F(ImportTest, IntoAFilteredAndSearchedListTheNewRecordsJoinItsEndAsArrangingItAllWould)
{
    MyDocument* document = newDocument();
    settle();
    FilteringArrayController* list = records(document);
    const DictionaryRef work = categories(document)->addWithName("Work");
    const DictionaryRef home = categories(document)->addWithName("Home");
    for (const auto& [name, category] : {std::pair{"Ann", work}, {"Bob", home}, {"Joanna", work}, {"Cid", work}}) {
        const DictionaryRef record = list->newObject();
        list->assignCategory(category, record);
        record->setObject(Value(QString::fromLatin1(name)), "firstName");
        document->addTheRecord(record);
    }
    document->setCategoryString("Work");
    document->setSearchText("ann");
    list->search();
    list->setSelectionIndex(1);
    ASSERT_EQ(list->firstSelectedObject(), recordAt(document, 2));
    auto* table = document->myWindow()->findChild<QTableView*>("myTableView");
    ASSERT_TRUE(table);
    QSignalSpy resets(table->model(), &QAbstractItemModel::modelReset);

    MyDataImportManager* m = load(document, write("p.csv",
                                                  "First name,Category\n"
                                                  "Hanna,Work\n"
                                                  "Annie,Home\n"
                                                  "Dan,Work\n"
                                                  "Liann,Family\n"));
    ASSERT_TRUE(m);
    m->tryAssignFromFirstRow();
    m->DoImport();
    settle();

    const auto shown = [list] {
        QStringList names;
        for (const DictionaryRef& record : list->arrangedObjects())
            names << record->objectForKey("firstName").stringValue();
        return names;
    };
    EXPECT_EQ(shown(), (QStringList{"Ann", "Joanna", "Hanna"}));
    EXPECT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(resets.size(), 0) << "the rows shown stay as they are";
    EXPECT_EQ(list->firstSelectedObject(), recordAt(document, 2));
    EXPECT_TRUE(document->isDocumentEdited());
    // Every category counts exactly the records linked to it.
    for (const Value& value : *document->myCategoryArray()) {
        const DictionaryRef category = value.dictionary();
        int linked = 0;
        for (const Value& record : *document->myArray())
            linked += categoryOf(record.dictionary()) == category;
        EXPECT_EQ(usage(category), linked) << nameOf(category).toStdString();
    }
    EXPECT_EQ(nameOf(categoryOf(recordAt(document, 7))), "Family");
    list->rearrangeObjects();
    EXPECT_EQ(shown(), (QStringList{"Ann", "Joanna", "Hanna"}));
    document->showAllCategory();
    EXPECT_EQ(shown(), (QStringList{"Ann", "Joanna", "Hanna", "Annie", "Liann"}));
    document->setSearchText("");
    list->search();
    EXPECT_EQ(shown(), (QStringList{"Ann", "Bob", "Joanna", "Cid", "Hanna", "Annie", "Dan", "Liann"}));
}

TEST_F(ImportTest, CancelAndALockDuringTheSheetImportNothing)
{
    MyDocument* document = newDocument();
    settle();
    QString why;
    const QString saved = dir.filePath(QStringLiteral("book.calvorin"));
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(saved), QStringLiteral("calvorin"), &why));
    document->setFileURL(QUrl::fromLocalFile(saved));

    MyDataImportManager* m = load(document, write("p.csv", "Ann,Lee\n"));
    ASSERT_TRUE(m);
    m->CancelImportSetting();
    settle();
    EXPECT_EQ(document->myArray()->count(), 0);
    EXPECT_EQ(Sheet::attachedSheet(document->myWindow()), nullptr);

    QPointer<QDialog> panel = load(document, dir.filePath("p.csv"))->importSettingsPanel();
    ASSERT_EQ(Sheet::attachedSheet(document->myWindow()), panel);
    document->lockAutomatically();
    settle();
    EXPECT_TRUE(document->isEncrypted());
    EXPECT_EQ(document->myImportManager(), nullptr);
    EXPECT_TRUE(panel.isNull());
    document->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_EQ(document->myArray()->count(), 0);
}

TEST_F(ImportTest, TheSheetPreviewsAFieldOfMegabytesByItsBeginningAndImportsItWhole)
{
    MyDocument* document = newDocument();
    settle();
    const QByteArray note(5000000, 'n');
    MyDataImportManager* m = load(document, write("p.csv", "Ann,\"" + note + "\"\n"), 2, 1);
    ASSERT_TRUE(m);
    auto* table = m->importSettingsPanel()->findChild<QTableView*>(QStringLiteral("mappingTable"));
    ASSERT_TRUE(table);
    const QModelIndex value = table->model()->index(1, 0);
    EXPECT_LE(value.data(Qt::DisplayRole).toString().size(), 257);
    EXPECT_LE(value.data(Qt::ToolTipRole).toString().size(), 1001);
    EXPECT_TRUE(value.data(Qt::DisplayRole).toString().startsWith(QStringLiteral("nnnn")));
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), QStringLiteral("Ann"));

    map(m, {kFirstName, kNote});
    m->DoImport();
    settle();
    EXPECT_EQ(column(document, "note"), (QStringList{QString::fromLatin1(note)}));
}

namespace {
// The document's import manager, made by the command with no file chosen.
MyDataImportManager* idleManager(MyDocument* document, ScriptedFileChooser& chooser)
{
    chooser.cancelNext();
    document->importFromText();
    return static_cast<MyDataImportManager*>(document->myImportManager());
}

QByteArray peopleCsv(int rows)
{
    QByteArray text;
    for (int i = 0; i < rows; ++i)
        text += "Ann" + QByteArray::number(i) + ",Lee\n";
    return text;
}
} // namespace

TEST_F(ImportTest, AnImportWritesTheTitleAFixedNumberOfTimesWhateverItsSize)
{
    std::vector<int> writesOf;
    for (const int rows : {10, 10000}) {
        SCOPED_TRACE(rows);
        MyDocument* document = newDocument();
        settle();
        TitleWrites writes(document->myWindow());
        MyDataImportManager* m = load(document, write("people.csv", peopleCsv(rows)));
        ASSERT_TRUE(m);
        map(m, {kFirstName, kLastName});
        m->DoImport();
        settle();
        EXPECT_EQ(document->myArray()->count(), rows);
        EXPECT_TRUE(document->myWindow()->isWindowModified());
        writesOf.push_back(writes.count());
        document->close();
        settle();
    }
    EXPECT_EQ(writesOf[0], writesOf[1]);
    EXPECT_LE(writesOf[1], 2);
}

TEST_F(ImportTest, TheFileIsReadOffTheMainThreadAndTheRowsGoInBySlices)
{
    MyDocument* document = newDocument();
    settle();
    DocumentWindow* window = document->myWindow();
    MyDataImportManager* m = idleManager(document, chooser);
    ASSERT_TRUE(m);
    // The loading sheet is up while the rows are read; they come back through the queue.
    m->loadDataFromFile(write("people.csv", peopleCsv(10000)), window);
    EXPECT_TRUE(m->isReading());
    EXPECT_EQ(Sheet::attachedSheet(window), m->loadingFileSheet());
    m->waitForReading();
    EXPECT_EQ(m->importedRowCount(), 0);
    ExchangeDocumentTest::settle();
    EXPECT_FALSE(m->isReading());
    ASSERT_EQ(m->importedRowCount(), 10000);
    ASSERT_EQ(Sheet::attachedSheet(window), m->importSettingsPanel());

    // 10,000 rows of two fields are two slices: the sheet and its bar show the first.
    map(m, {kFirstName, kLastName});
    m->DoImport();
    EXPECT_TRUE(m->isImporting());
    EXPECT_EQ(Sheet::attachedSheet(window), m->importingFileSheet());
    auto* bar = m->importingFileSheet()->findChild<QProgressBar*>("importingFileSheetProgressIndicator");
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->maximum(), 10000);
    EXPECT_GT(bar->value(), 0);
    EXPECT_LT(bar->value(), 10000);
    EXPECT_EQ(document->myArray()->count(), 0) << "the records go in together at the end";
    // A second run while one is going starts nothing.
    m->DoImport();
    settle();
    EXPECT_FALSE(m->isImporting());
    EXPECT_EQ(document->myArray()->count(), 10000);
    EXPECT_EQ(Sheet::attachedSheet(window), nullptr);
}

TEST_F(ImportTest, NeitherEscapeNorTheCloseButtonEndsAProgressSheetAndTheRowsArriveOnce)
{
    MyDocument* document = newDocument();
    settle();
    DocumentWindow* window = document->myWindow();
    // What a user does to a sheet that seems to hang; the sheet stays and its work goes on.
    const auto tryToDismiss = [window](QDialog* sheet) {
        QTest::keyClick(sheet, Qt::Key_Escape);
        sheet->close();
        EXPECT_EQ(Sheet::attachedSheet(window), sheet);
        EXPECT_TRUE(sheet->isVisible());
    };
    const QString path = write("people.csv", peopleCsv(10000));
    MyDataImportManager* m = idleManager(document, chooser);
    ASSERT_TRUE(m);
    m->loadDataFromFile(path, window);
    ASSERT_TRUE(m->isReading());
    tryToDismiss(m->loadingFileSheet());
    settle();
    ASSERT_EQ(Sheet::attachedSheet(window), m->importSettingsPanel());
    map(m, {kFirstName, kLastName});
    m->DoImport();
    ASSERT_TRUE(m->isImporting());
    tryToDismiss(m->importingFileSheet());
    EXPECT_TRUE(m->isImporting());
    settle();
    EXPECT_EQ(document->myArray()->count(), 10000);
    EXPECT_EQ(Sheet::attachedSheet(window), nullptr);
    EXPECT_FALSE(m->importingFileSheet()->isVisible());

    // Importing the file again adds its rows once more.
    m = load(document, path);
    ASSERT_TRUE(m);
    map(m, {kFirstName, kLastName});
    m->DoImport();
    settle();
    EXPECT_EQ(document->myArray()->count(), 20000);
}

TEST_F(ImportTest, ALockOrACloseWhileTheFileIsReadOrImportedAddsNothing)
{
    struct Case {
        const char* name;
        bool whileReading;
        bool close;
    };
    for (const Case c : {Case{"lock while reading", true, false}, Case{"lock while importing", false, false},
                         Case{"close while reading", true, true}, Case{"close while importing", false, true}}) {
        SCOPED_TRACE(c.name);
        MyDocument* document = newDocument();
        settle();
        const QString saved = dir.filePath(QStringLiteral("book.calvorin"));
        QString why;
        ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(saved), QStringLiteral("calvorin"), &why));
        document->setFileURL(QUrl::fromLocalFile(saved));
        QPointer<MyDocument> alive(document);

        MyDataImportManager* m = idleManager(document, chooser);
        ASSERT_TRUE(m);
        m->loadDataFromFile(write("people.csv", peopleCsv(10000)), document->myWindow());
        ASSERT_TRUE(m->isReading());
        if (!c.whileReading) {
            m->waitForReading();
            ExchangeDocumentTest::settle();
            map(m, {kFirstName, kLastName});
            m->DoImport();
            ASSERT_TRUE(m->isImporting());
        }
        if (c.close) {
            document->close();
            settle();
            EXPECT_TRUE(alive.isNull());
            continue;
        }
        document->lockAutomatically();
        settle();
        EXPECT_TRUE(document->isEncrypted());
        EXPECT_EQ(document->myImportManager(), nullptr);
        EXPECT_EQ(Sheet::attachedSheet(document->myWindow()), nullptr);
        document->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
        settle();
        EXPECT_FALSE(document->isEncrypted());
        EXPECT_EQ(document->myArray()->count(), 0);
        document->close();
        settle();
    }
}
