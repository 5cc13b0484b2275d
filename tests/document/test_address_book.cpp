// Importing people of an address book into a document: the sheet's rows, the
// commands and the records they make.
#include "test_document_fixture.h"

#include "common/TitleWrites.h"
#include "document/AddressBookImport.h"
#include "document/RecordTableModel.h"
#include "platform/AddressBook.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"

#include "platform/Sheet.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

AddressBookPerson person(const QString& first, const QString& last, const QString& organization = {})
{
    AddressBookPerson p;
    p.firstName = first;
    p.lastName = last;
    p.organization = organization;
    return p;
}

class AddressBookImportTest : public ContactsDocumentTest {
protected:
    MyDocument* unlockedDocument()
    {
        MyDocument* document = newDocument();
        settle();
        return document;
    }
    // Opens the sheet on the document's people and answers nothing yet.
    void openSheet(MyDocument* document)
    {
        document->importFromAddressBook();
        settle();
        ASSERT_NE(document->abPanel(), nullptr);
    }
    static QStringList rowTexts(MyDocument* document)
    {
        QStringList texts;
        for (const Value& row : document->abPeopleArray()->objects())
            texts.append(row.dictionary()->objectForKey("name").stringValue() + u'|'
                         + row.dictionary()->objectForKey("surname").stringValue());
        return texts;
    }
    static DictionaryRef lastRecord(MyDocument* document)
    {
        return document->myArray()->objectAtIndex(document->myArray()->count() - 1).dictionary();
    }
    static QStringList recordNames(MyDocument* document)
    {
        QStringList names;
        for (const Value& record : document->myArray()->objects())
            names.append(RecordTableModel::nameText(*record.dictionary()));
        return names;
    }

    MemoryAddressBook book;
    ScriptedFileChooser chooser;
};

TEST_F(AddressBookImportTest, AnImportWritesTheTitleAFixedNumberOfTimesWhateverItsSize)
{
    // Every person marks the document changed; the window's title follows only what it shows.
    std::vector<int> writesOf;
    for (const int people : {10, 10000}) {
        SCOPED_TRACE(people);
        QList<AddressBookPerson> everyone;
        for (int i = 0; i < people; ++i)
            everyone.append(person(QStringLiteral("Ann%1").arg(i), QStringLiteral("Lee")));
        book.setPeople(everyone);
        MyDocument* document = unlockedDocument();
        TitleWrites writes(document->window());
        const int before = document->changeCount();
        openSheet(document);
        document->addressBookImportAll();
        settle();
        EXPECT_EQ(document->myArray()->count(), people);
        EXPECT_EQ(document->changeCount() - before, people);
        EXPECT_TRUE(document->window()->isWindowModified());
        writesOf.push_back(writes.count());
        document->close();
        settle();
    }
    EXPECT_EQ(writesOf[0], writesOf[1]);
    EXPECT_LE(writesOf[1], 2);
}

TEST_F(AddressBookImportTest, EachPersonBecomesARecordByTheFixedRules)
{
    using Expected = std::vector<std::pair<const char*, std::optional<QString>>>; // nullopt: key absent
    struct Case {
        const char* what;
        AddressBookPerson person;
        Expected expected;
        QString listed;
    };
    auto with = [](AddressBookPerson p, auto change) {
        change(p);
        return p;
    };
    const QString home = AddressBook::kPhoneHomeLabel;
    const std::vector<Case> cases = {
        {"Ann Lee", person("Ann", "Lee"),
         {{"firstName", "Ann"}, {"lastName", "Lee"}, {"company", std::nullopt}, {"isCompany", std::nullopt},
          {"phonePersonal", ""}, {"addressPersonal", ""}, {"addressWork", ""}, {"webWork", ""}, {"pager", ""},
          {"note", std::nullopt}},
         "Ann Lee"},
        {"no last name", person("Ann", ""), {{"firstName", "Ann"}, {"lastName", std::nullopt}}, "Ann"},
        {"organization only", person("", "", "Acme"),
         {{"firstName", std::nullopt}, {"lastName", std::nullopt}, {"company", "Acme"}, {"isCompany", "1"}}, "Acme"},
        {"organization and first name", person("Ann", "", "Acme"), {{"company", "Acme"}, {"isCompany", std::nullopt}},
         "Ann"},
        {"two home phones give the first", with(person("A", "B"), [&](AddressBookPerson& p) {
             p.phones = {{home, "1"}, {home, "2"}};
         }),
         {{"phonePersonal", "1"}}, "A B"},
        {"each phone label", with(person("A", "B"), [](AddressBookPerson& p) {
             p.phones = {{AddressBook::kPhoneWorkLabel, "w"}, {AddressBook::kPhoneHomeFAXLabel, "hf"},
                         {AddressBook::kPhoneWorkFAXLabel, "wf"}, {AddressBook::kPhoneMobileLabel, "m"}};
         }),
         {{"phoneWork", "w"}, {"faxPersonal", "hf"}, {"faxWork", "wf"}, {"mobile", "m"}, {"phonePersonal", ""},
          {"pager", ""}},
         "A B"},
        {"a phone labelled other is left out", with(person("A", "B"), [](AddressBookPerson& p) {
             p.phones = {{AddressBook::kOtherLabel, "9"}, {QStringLiteral("Home"), "8"}};
         }),
         {{"phonePersonal", ""}, {"phoneWork", ""}, {"mobile", ""}, {"faxPersonal", ""}, {"faxWork", ""}}, "A B"},
        {"street, ZIP code and city", with(person("A", "B"), [](AddressBookPerson& p) {
             p.addresses = {{AddressBook::kAddressHomeLabel, {"1 Main St", "62701", "Springfield", "", ""}}};
         }),
         {{"addressPersonal", "1 Main St, 62701, Springfield"}, {"addressWork", ""}}, "A B"},
        {"city only", with(person("A", "B"), [](AddressBookPerson& p) {
             p.addresses = {{AddressBook::kAddressWorkLabel, {"", "", "Paris", "", ""}}};
         }),
         {{"addressWork", "Paris"}, {"addressPersonal", ""}}, "A B"},
        {"empty parts", with(person("A", "B"), [](AddressBookPerson& p) {
             p.addresses = {{AddressBook::kAddressWorkLabel, {"Via Roma 1", "", "", "RM", "Italia"}},
                            {AddressBook::kAddressWorkLabel, {"second", "", "", "", ""}}};
         }),
         {{"addressWork", "Via Roma 1, RM, Italia"}}, "A B"},
        {"e-mails, home page and note", with(person("A", "B"), [](AddressBookPerson& p) {
             p.emails = {{AddressBook::kOtherLabel, "o@x"}, {AddressBook::kEmailWorkLabel, "w@x"},
                         {AddressBook::kEmailHomeLabel, "h@x"}};
             p.urls = {{AddressBook::kPhoneWorkLabel, "https://work"}, {AddressBook::kHomePageLabel, "https://home"}};
             p.note = "Met in Rome";
         }),
         {{"emailPersonal", "h@x"}, {"emailWork", "w@x"}, {"webPersonal", "https://home"}, {"webWork", ""},
          {"note", "Met in Rome"}},
         "A B"},
    };
    MyDocument* document = unlockedDocument();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        book.setPeople({c.person});
        openSheet(document);
        document->addressBookImportAll();
        settle();
        EXPECT_EQ(document->abPanel(), nullptr);
        const DictionaryRef record = lastRecord(document);
        for (const auto& [key, value] : c.expected) {
            SCOPED_TRACE(key);
            const Value actual = record->objectForKey(QLatin1String(key));
            if (!value) {
                EXPECT_TRUE(actual.isNull());
            } else if (QLatin1String(key) == QLatin1String("isCompany")) {
                EXPECT_EQ(actual, Value::int32(value->toInt()));
            } else {
                EXPECT_EQ(actual, Value(*value));
            }
        }
        EXPECT_EQ(RecordTableModel::nameText(*record), c.listed);
    }
}

TEST_F(AddressBookImportTest, TheSheetListsEveryPersonUnchecked)
{
    book.setPeople({person("Ann", "Lee"), person("Bo", ""), person("", "", "Acme")});
    MyDocument* document = unlockedDocument();
    openSheet(document);
    EXPECT_EQ(rowTexts(document), (QStringList{"Ann| Lee", "Bo|", "|"}));
    for (const Value& row : document->abPeopleArray()->objects())
        EXPECT_EQ(row.dictionary()->objectForKey("import"), Value::boolean(false));
    // A company is no blank line.
    EXPECT_EQ(document->abPanel()->peopleTable()->model()->index(2, AddressBookPeopleModel::NameColumn).data().toString(),
              "Acme");
    EXPECT_EQ(document->abPanel()->sourceLabel()->text(), "People of Test Address Book");
}

TEST_F(AddressBookImportTest, AnEmptyBookGivesAnEmptySheetAndImportsNothing)
{
    MyDocument* document = unlockedDocument();
    openSheet(document);
    EXPECT_EQ(document->abPeopleArray()->count(), 0);
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(document->abPanel(), nullptr);
    EXPECT_EQ(document->myArray()->count(), 0);
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(AddressBookImportTest, EachRecordCountsInItsCategoryAndMarksTheDocumentOnce)
{
    book.setPeople({person("Ann", "Lee"), person("Bo", "Ek"), person("Cy", "Fa")});
    MyDocument* document = unlockedDocument();
    const DictionaryRef category = categories(document)->getLastCategory();
    ASSERT_TRUE(category);
    const int before = usage(category);
    const int changes = document->changeCount();
    openSheet(document);
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(usage(category), before + 3);
    EXPECT_EQ(document->changeCount(), changes + 3);
    EXPECT_EQ(document->undoManager()->count(), 0); // no undo step

    // Importing twice imports the same people twice: no duplicate check.
    openSheet(document);
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(recordNames(document), (QStringList{"Ann Lee", "Bo Ek", "Cy Fa", "Ann Lee", "Bo Ek", "Cy Fa"}));
    EXPECT_EQ(usage(category), before + 6);
    for (const Value& record : document->myArray()->objects())
        EXPECT_EQ(categoryOf(record.dictionary()), category);
}

TEST_F(AddressBookImportTest, OnlyCheckedImportsTheCheckedRowsEvenWhenTheSearchHidesThem)
{
    book.setPeople({person("Ann", "Lee"), person("Bo", "Ek"), person("Cy", "Fa"), person("Di", "Lee")});
    MyDocument* document = unlockedDocument();

    // None checked: nothing.
    openSheet(document);
    document->addressBookImportOnlyChecked();
    settle();
    EXPECT_EQ(document->abPanel(), nullptr);
    EXPECT_EQ(document->myArray()->count(), 0);

    // Check All and Uncheck All act on the rows shown.
    openSheet(document);
    AddressBookPeopleController* rows = document->abPeopleArrayController();
    rows->setFilterText("lee");
    EXPECT_EQ(rows->arrangedCount(), 2);
    document->addressBookImportCheckAll();
    rows->setFilterText("di");
    document->addressBookImportUncheckAll();
    rows->setFilterText("bo");
    EXPECT_EQ(rows->checkedCount(), 1);
    // The checked row stays checked while the search hides it.
    document->addressBookImportOnlyChecked();
    settle();
    EXPECT_EQ(recordNames(document), QStringList{"Ann Lee"});

    // Import All takes everyone, whatever is checked.
    openSheet(document);
    document->abPeopleArrayController()->setRowChecked(0, true);
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(recordNames(document), (QStringList{"Ann Lee", "Ann Lee", "Bo Ek", "Cy Fa", "Di Lee"}));
}

TEST_F(AddressBookImportTest, RecordsThatTheCategoryFilterHidesArriveWithoutDisturbingTheList)
{
    MyDocument* document = unlockedDocument();
    QvColoredCategoryArrayController* groups = categories(document);
    const DictionaryRef shown = groups->getLastCategory();
    groups->setValueForKeyPath(Value(QStringLiteral("Shown")), QStringLiteral("selection.cat_category"));
    const DictionaryRef other = groups->addWithName(QStringLiteral("Other"));
    groups->setSelectionIndex(-1); // new records go into the last category, "Other"
    FilteringArrayController* list = records(document);
    DictionaryRef visible = list->newObject();
    list->assignCategory(shown, visible);
    list->addObject(visible);
    document->setCategoryString(QStringLiteral("Shown"));
    list->rearrangeObjects();
    ASSERT_EQ(list->arrangedCount(), 1);
    list->setSelectionIndex(-1);

    book.setPeople({person("Ann", "Lee"), person("Bo", "Ek")});
    openSheet(document);
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(document->myArray()->count(), 3);
    EXPECT_EQ(list->arrangedCount(), 1);
    EXPECT_EQ(list->selectionIndex(), 0); // a list with rows keeps one selected
    EXPECT_EQ(usage(other), 2);

    // Records the owner appended itself show at the next add, as the list is arranged again.
    DictionaryRef appended = list->newObject();
    list->assignCategory(shown, appended);
    document->myArray()->addObject(Value(appended));
    book.setPeople({person("Cy", "Fa")});
    openSheet(document);
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(list->arrangedCount(), 2);

    document->showAllCategory();
    EXPECT_EQ(recordNames(document).mid(1), (QStringList{"Ann Lee", "Bo Ek", "First Name Last Name", "Cy Fa"}));
    EXPECT_EQ(list->arrangedCount(), 5);
}

TEST_F(AddressBookImportTest, TheListedPeopleAreImportedEvenWhenTheBookChangedMeanwhile)
{
    book.setPeople({person("Ann", "Lee"), person("Bo", "Ek")});
    MyDocument* document = unlockedDocument();
    openSheet(document);
    document->abPeopleArrayController()->setRowChecked(1, true);
    book.setPeople({person("Zed", "New"), person("Ann", "Lee"), person("Bo", "Ek")});
    document->addressBookImportOnlyChecked();
    settle();
    EXPECT_EQ(recordNames(document), QStringList{"Bo Ek"});
}

TEST_F(AddressBookImportTest, RowsAndPeopleGoHoweverTheSheetEnds)
{
    book.setPeople({person("Ann", "Lee")});
    MyDocument* document = unlockedDocument();
    document->setFileURL(QUrl::fromLocalFile(QDir::temp().filePath("address-book-import.calvorin")));

    struct Ending {
        const char* how;
        std::function<void()> end;
    };
    const std::vector<Ending> endings = {
        {"Cancel", [&] { document->importFromAddressBookCancel(); }},
        {"Escape", [&] { QTest::keyClick(document->abPanel(), Qt::Key_Escape); }},
        {"a lock", [&] { document->lockAutomatically(); }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.how);
        openSheet(document);
        document->abPeopleArrayController()->setArrangedChecked(true);
        ending.end();
        // Gone at once, not only once the dialog is deleted: the next import opens a sheet.
        EXPECT_EQ(document->abPanel(), nullptr);
        settle();
        EXPECT_EQ(document->abPeopleArray()->count(), 0);
        EXPECT_EQ(document->abPeopleArrayController()->arrangedCount(), 0);
        // Nothing was imported, and a later import does not bring it.
        document->addressBookImportAll();
        EXPECT_EQ(document->myArray()->count(), 0);
    }
    EXPECT_TRUE(document->isEncrypted());
}

TEST_F(AddressBookImportTest, ANewDocumentWithoutPasswordAsksForOneFirst)
{
    book.setPeople({person("Ann", "Lee")});
    MyDocument* document = newDocument(false);
    document->setRequiresMandatoryPassword(false); // the window's own request is another test's
    settle();
    const qsizetype alertsBefore = responder.alerts().size();
    document->importFromAddressBook();
    settle();
    EXPECT_EQ(document->abPanel(), nullptr);
    EXPECT_EQ(book.reads, 0);
    ASSERT_GT(responder.alerts().size(), alertsBefore);
    EXPECT_EQ(responder.alerts().back().messageText, "A password must be defined before adding data");
}

class VCardImportTest : public AddressBookImportTest {
protected:
    void SetUp() override
    {
        AddressBookImportTest::SetUp();
        book.setAvailable(false);
    }
    QString write(const char* name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QTemporaryDir dir;
};

TEST_F(VCardImportTest, WithoutADesktopBookTheFilesAreChosenFirst)
{
    MyDocument* document = unlockedDocument();
    // Cancelled: nothing.
    chooser.cancelNext();
    document->importFromAddressBook();
    settle();
    ASSERT_EQ(chooser.requests.size(), 1);
    EXPECT_EQ(chooser.requests[0].window, document->window());
    EXPECT_TRUE(chooser.requests[0].options.allowsMultipleSelection);
    EXPECT_TRUE(chooser.requests[0].options.allowedExtensions.contains("vcf"));
    EXPECT_EQ(document->abPanel(), nullptr);

    // Two files, one with a damaged card.
    const QString first = write("a.vcf", "BEGIN:VCARD\nN:Lee;Ann\nEND:VCARD\nBEGIN:VCARD\nbroken\nEND:VCARD\n");
    const QString second = write("b.VCF", "BEGIN:VCARD\nN:Ek;Bo\nEND:VCARD\n");
    chooser.answerWith(QStringList{first, second});
    document->importFromAddressBook();
    settle();
    ASSERT_NE(document->abPanel(), nullptr);
    EXPECT_EQ(rowTexts(document), (QStringList{"Ann| Lee", "Bo| Ek"}));
    EXPECT_EQ(document->abPanel()->sourceLabel()->text(), "People of 2 vCard files");
    EXPECT_EQ(document->abPanel()->skippedLabel()->text(), "One damaged card was left out.");

    // From the sheet, the chooser is a sheet on the sheet, and its files replace the list.
    const QString third = write("c.vcard", "BEGIN:VCARD\nN:Fa;Cy\nEND:VCARD\n");
    chooser.answerWith(third);
    document->openVCardFiles();
    settle();
    ASSERT_EQ(chooser.requests.size(), 3);
    EXPECT_EQ(chooser.requests[2].window, document->abPanel());
    EXPECT_EQ(rowTexts(document), QStringList{"Cy| Fa"});
    EXPECT_EQ(document->abPanel()->sourceLabel()->text(), "People of “c.vcard”");
    EXPECT_FALSE(document->abPanel()->skippedLabel()->isVisibleTo(document->abPanel()));
    document->addressBookImportAll();
    settle();
    EXPECT_EQ(recordNames(document), QStringList{"Cy Fa"});
}

TEST_F(VCardImportTest, TypedValuesOfOtherProgramsLandInTheirFields)
{
    MyDocument* document = unlockedDocument();
    struct Expected {
        const char* key;
        const char* value;
    };
    const std::vector<std::pair<const char*, std::vector<Expected>>> files = {
        {"typed-values-3.0.vcf",
         {{"lastName", "Quinn"}, {"emailPersonal", "b@x.example"}, {"emailWork", "c@x.example"},
          {"phonePersonal", "+1 555 0101"}}},
        {"escapes-3.0.vcf",
         {{"note", "Provided \"AS IS\", without warranty.\nSee \\\\server\\share."},
          {"webPersonal", "http://www.example.com"}, {"addressWork", "Unit 4: Rear Yard, 62701, Springfield"}}},
        {"utf16be-3.0.vcf", {{"firstName", "Zoë"}, {"company", "Bäckerei Müller"}, {"phoneWork", "+49 89 123456"}}},
    };
    for (const auto& [file, expected] : files) {
        SCOPED_TRACE(file);
        chooser.answerWith(QStringLiteral(CALVORIN_TEST_FIXTURES "/vcard/") + QLatin1String(file));
        document->importFromAddressBook();
        settle();
        ASSERT_NE(document->abPanel(), nullptr);
        const qsizetype before = document->myArray()->count();
        document->addressBookImportAll();
        settle();
        ASSERT_GT(document->myArray()->count(), before);
        const DictionaryRef record = document->myArray()->objectAtIndex(before).dictionary();
        for (const Expected& e : expected)
            EXPECT_EQ(record->objectForKey(QLatin1String(e.key)).stringValue(), QString::fromUtf8(e.value)) << e.key;
    }
}

TEST_F(VCardImportTest, AFileThatCannotBeReadIsNamedWithTheReasonAndChangesNothing)
{
    MyDocument* document = unlockedDocument();
    const QString good = write("good.vcf", "BEGIN:VCARD\nN:Lee;Ann\nEND:VCARD\n");
    const QString empty = write("empty.vcf", "hello\n");
    chooser.answerWith(QStringList{good, empty});
    document->importFromAddressBook();
    settle();
    EXPECT_EQ(document->abPanel(), nullptr);
    ASSERT_FALSE(responder.alerts().isEmpty());
    EXPECT_EQ(responder.alerts().back().messageText, "The file “empty.vcf” could not be imported.");
    EXPECT_EQ(responder.alerts().back().informativeText, "It holds no vCard.");

    // From the sheet the list stays as it was.
    chooser.answerWith(good);
    document->importFromAddressBook();
    settle();
    ASSERT_NE(document->abPanel(), nullptr);
    chooser.answerWith(dir.filePath("missing.vcf"));
    document->openVCardFiles();
    settle();
    EXPECT_EQ(responder.alerts().back().messageText, "The file “missing.vcf” could not be imported.");
    EXPECT_EQ(responder.alerts().back().window, document->abPanel());
    EXPECT_EQ(rowTexts(document), QStringList{"Ann| Lee"});
    EXPECT_FALSE(document->isDocumentEdited());
}

} // namespace
