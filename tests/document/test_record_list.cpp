#include "controller_fixture.h"

#include "document/RecordTableModel.h"
#include "platform/Alert.h"
#include "platform/MainQueue.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

class RecordList : public ControllerFixture {
protected:
    RecordList()
    {
        work = addCategory("Work");
        work2 = addCategory("Work 2");
        home = addCategory("Home");
    }

    void arrange(const QString& category, const QString& search)
    {
        records.setCategoryString(category);
        records.setSearchString(search);
        records.rearrangeObjects();
    }

    DictionaryRef work, work2, home;
};

} // namespace

TEST_F(RecordList, NewRecordHasTheNineteenKeysInOrder)
{
    const DictionaryRef record = records.newObject();
    const QStringList keys{"firstName", "lastName",      "company",     "phoneWork",     "faxWork",
                           "emailWork", "addressWork",   "webWork",     "phonePersonal", "faxPersonal",
                           "mobile",    "pager",         "emailPersonal", "webPersonal", "addressPersonal",
                           "note",      "creationDate",  "usageCount",  "categoryPtr"};
    ASSERT_EQ(record->allKeys(), keys);
    EXPECT_EQ(record->objectForKey("firstName"), Value("First Name"));
    EXPECT_EQ(record->objectForKey("lastName"), Value("Last Name"));
    for (qsizetype i = 2; i < 16; ++i)
        EXPECT_EQ(record->objectForKey(keys[i]), Value(QString())) << keys[i].toStdString();
    EXPECT_EQ(record->objectForKey("creationDate").kind(), Value::Kind::Date);
    EXPECT_EQ(record->objectForKey("creationDate").toDateTime(), clock.currentDateTime());
    EXPECT_EQ(record->objectForKey("usageCount"), Value::int64(0));
    // The category itself, not a copy; counted at once, though not yet listed.
    EXPECT_EQ(record->objectForKey("categoryPtr").dictionary(), home);
    EXPECT_EQ(usage(home), 1);
    EXPECT_EQ(recordArray->count(), 0);
}

TEST_F(RecordList, NewRecordsGoToTheSelectedRecordsCategoryOrTheLastOne)
{
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    const DictionaryRef bob = addRecord(work2, {{"firstName", "Bob"}});

    // No record selected: the last category.
    records.setSelectionIndexes({});
    EXPECT_EQ(records.catToAssignToNewObject(), home);
    // Records and a category selected: the last selected record's category.
    categories.setSelectedObjects({home});
    records.setSelectedObjects({ann, bob});
    EXPECT_EQ(records.catToAssignToNewObject(), work2);
    records.addObject(records.newObject());
    EXPECT_EQ(usage(work2), 2);
    // Without a selected category the last category again.
    records.setSelectedObjects({ann});
    categories.setSelectionIndexes({});
    EXPECT_EQ(records.catToAssignToNewObject(), home);
    expectCountsRight();
}

TEST_F(RecordList, WithoutAnyCategoryANewRecordMakesOne)
{
    FilteringArrayController list;
    QvColoredCategoryArrayController none;
    list.setMyCategoryArrayController(&none);
    const DictionaryRef record = list.newObject();
    ASSERT_EQ(none.content()->count(), 1);
    EXPECT_EQ(record->objectForKey("categoryPtr").dictionary(), none.getLastCategory());
    EXPECT_EQ(usage(none.getLastCategory()), 1);
}

TEST_F(RecordList, CategoryFilterIgnoresCaseOnly)
{
    addRecord(work, {{"firstName", "Ann"}});
    addRecord(work2, {{"firstName", "Bob"}});
    addRecord(home, {{"firstName", "Cid"}});
    const DictionaryRef loose = Dictionary::create({{"firstName", Value("Dee")}});
    recordArray->addObject(Value(loose));

    const struct {
        QString filter;
        QStringList shown;
        QString display;
    } cases[] = {
        {"work", {"Ann"}, "category \"work\""},
        {"WORK 2", {"Bob"}, "category \"WORK 2\""},
        {"Wor", {}, "category \"Wor\""},
        {"", {"Ann", "Bob", "Cid", "Dee"}, ""},
        {QString(), {"Ann", "Bob", "Cid", "Dee"}, ""},
    };
    for (const auto& c : cases) {
        arrange(c.filter, QString());
        EXPECT_EQ(arrangedFirstNames(), c.shown) << c.filter.toStdString();
        EXPECT_EQ(records.usedFilterDisplay(), c.display);
    }
}

TEST_F(RecordList, SearchLooksThroughEachSearchedKey)
{
    const QStringList keys{"addressPersonal", "addressWork", "category",      "company",   "emailPersonal",
                           "emailWork",       "faxPersonal", "faxWork",       "firstName", "lastName",
                           "mobile",          "note",        "pager",         "phonePersonal", "phoneWork",
                           "resultingName",   "webPersonal", "webWork"};
    for (const QString& key : keys) {
        recordArray->removeAllObjects();
        const DictionaryRef plain = Dictionary::create({{"firstName", Value("Plain")}});
        const DictionaryRef holder = Dictionary::create({{"firstName", Value("Holder")}});
        holder->setObject(Value(QStringLiteral("x NEEDLÉ y")), key);
        recordArray->addObject(Value(plain));
        recordArray->addObject(Value(holder));
        arrange(QString(), "needlé");
        EXPECT_EQ(records.arrangedObjects(), std::vector<DictionaryRef>({holder})) << key.toStdString();
    }

    // Keys outside the list, and values that are not text, never match.
    recordArray->removeAllObjects();
    recordArray->addObject(Value(Dictionary::create({{"categoryNAME", Value("needle")},
                                                     {"firstName", Value::int32(42)},
                                                     {"lastName", Value(QString())}})));
    arrange(QString(), "needle");
    EXPECT_TRUE(records.arrangedObjects().empty());
    arrange(QString(), "42");
    EXPECT_TRUE(records.arrangedObjects().empty());
}

TEST_F(RecordList, SearchIgnoresCaseAndCombinesWithTheCategory)
{
    addRecord(work, {{"firstName", "Joanna"}});
    addRecord(home, {{"firstName", "Bob"}, {"note", "the annex"}});
    addRecord(work, {{"firstName", "Cid"}});
    DictionaryRef migrated = addRecord(work2, {{"firstName", "Dee"}});
    migrated->setObject(Value("Annual"), "resultingName");
    recordArray->addObject(Value(Dictionary::create({{"firstName", Value("Eve")}, {"category", Value("Canning")}})));

    const struct {
        QString category;
        QString search;
        QStringList shown;
        QString display;
        bool active;
    } cases[] = {
        {"", "ANN", {"Joanna", "Bob", "Dee", "Eve"}, " search string \"ANN\"", true},
        {"Work", "ann", {"Joanna"}, "category \"Work\" and search string \"ann\"", true},
        {"Home", "ANNEX", {"Bob"}, "category \"Home\" and search string \"ANNEX\"", true},
        {"Work", "", {"Joanna", "Cid"}, "category \"Work\"", true},
        {"Work", "zzz", {}, "category \"Work\" and search string \"zzz\"", true},
        {"", "", {"Joanna", "Bob", "Cid", "Dee", "Eve"}, "", false},
    };
    for (const auto& c : cases) {
        document.stripShown.clear();
        arrange(c.category, c.search);
        EXPECT_EQ(arrangedFirstNames(), c.shown) << c.category.toStdString() << "/" << c.search.toStdString();
        EXPECT_EQ(records.usedFilterDisplay(), c.display);
        EXPECT_EQ(records.filterInAction(), Value::boolean(c.active));
        EXPECT_EQ(document.stripShown, std::vector<bool>({c.active}));
    }
}

TEST_F(RecordList, SearchActionTakesTheDocumentTextAndSelectsTheFirstRecord)
{
    EXPECT_TRUE(FilteringArrayController().filterInAction().isNull());
    addRecord(work, {{"firstName", "Ann"}});
    addRecord(work, {{"firstName", "Bob"}});
    addRecord(work, {{"firstName", "Bobby"}});
    records.setSelectionIndex(0);

    document.search = "bob";
    records.search();
    EXPECT_EQ(records.searchString(), "bob");
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Bob", "Bobby"}));
    EXPECT_EQ(records.selectionIndex(), 0);
    EXPECT_EQ(records.filterInAction(), Value::boolean(true));

    document.search = "nobody";
    records.search();
    EXPECT_TRUE(records.arrangedObjects().empty());
    EXPECT_EQ(records.selectionIndex(), -1);

    document.search.clear();
    records.search();
    EXPECT_EQ(records.arrangedCount(), 3);
    EXPECT_EQ(records.filterInAction(), Value::boolean(false));
    EXPECT_EQ(document.stripShown.back(), false);
}

TEST_F(RecordList, EditsAreSearchedAtOnce)
{
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    addRecord(work, {{"firstName", "Bob"}});
    arrange(QString(), "ann");
    ASSERT_EQ(arrangedFirstNames(), QStringList({"Ann"}));

    // Through the record view's binding.
    records.setSelectedObjects({ann});
    EXPECT_TRUE(records.setValueForKeyPath(Value("Zoe"), "selection.firstName"));
    EXPECT_EQ(records.valueForKeyPath("selection.firstName"), Value("Zoe"));
    records.rearrangeObjects();
    EXPECT_TRUE(records.arrangedObjects().empty());

    // Elsewhere, announced.
    ann->setObject(Value("Hannah"), "note");
    records.recordDidChange(ann.get());
    records.rearrangeObjects();
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Zoe"}));
}

TEST_F(RecordList, SearchedTextGoesWithTheRecords)
{
    std::weak_ptr<Dictionary> emptied, replaced;
    emptied = addRecord(work, {{"firstName", "Ann"}});
    arrange(QString(), "ann");
    // Emptied in place, as when the document is locked.
    recordArray->removeAllObjects();
    arrange(QString(), QString());
    EXPECT_TRUE(emptied.expired());

    replaced = addRecord(work, {{"firstName", "Bob"}});
    arrange(QString(), "bob");
    recordArray->removeAllObjects();
    records.setContent(Array::create());
    EXPECT_TRUE(replaced.expired());
}

TEST_F(RecordList, ConfirmedRemovalRemovesAndUncountsEverySelectedRecord)
{
    ScriptedResponder responder;
    ManualMainQueue queue;
    QWidget window;
    records.setMyWindow(&window);
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    const DictionaryRef bob = addRecord(home, {{"firstName", "Bob"}});
    addRecord(work, {{"firstName", "Cid"}});
    const DictionaryRef dee = addRecord(work, {{"firstName", "Dee"}});

    records.setSelectedObjects({ann, bob, dee});
    responder.answerWithButton("Cancel");
    records.remove();
    queue.runAll();
    ASSERT_EQ(responder.alerts().size(), 1);
    const ShownAlert& alert = responder.alerts().front();
    EXPECT_EQ(alert.messageText, "Delete selected contact?");
    EXPECT_EQ(alert.informativeText, "");
    EXPECT_EQ(alert.buttons, QStringList({"Delete", "Cancel"}));
    EXPECT_EQ(alert.style, Alert::WarningStyle);
    EXPECT_TRUE(alert.asSheet);
    EXPECT_EQ(alert.window, &window);
    EXPECT_EQ(recordArray->count(), 4);
    EXPECT_EQ(document.changes, 0);

    responder.answerWithButton("Delete");
    records.remove();
    queue.runAll();
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Cid"}));
    EXPECT_EQ(usage(work), 1);
    EXPECT_EQ(usage(home), 0);
    EXPECT_EQ(document.changes, 1);
    expectCountsRight();

    // Nothing selected: nothing asked, nothing removed.
    records.setSelectionIndexes({});
    records.remove();
    queue.runAll();
    EXPECT_EQ(responder.alerts().size(), 2);
    EXPECT_EQ(recordArray->count(), 1);
}

TEST_F(RecordList, AddRemoveAndPutBackKeepCountsWhateverTheFilters)
{
    addRecord(work, {{"firstName", "Ann"}});
    addRecord(home, {{"firstName", "Bob"}});

    // Add, then undo and redo twice, as the document's undo steps do.
    const DictionaryRef added = records.newObject();
    records.addObject(added);
    EXPECT_EQ(records.firstSelectedObject(), added);
    expectCountsRight();
    const qsizetype index = records.removeObject(added);
    EXPECT_EQ(index, 2);
    expectCountsRight();
    records.insertObject(added, index);
    records.removeObject(added);
    records.insertObject(added, index);
    EXPECT_EQ(recordArray->objectAtIndex(2).dictionary(), added);
    expectCountsRight();

    // Hidden by the filters, a record still goes and comes back in its place.
    arrange("Home", "bob");
    const DictionaryRef ann = recordArray->objectAtIndex(0).dictionary();
    ASSERT_EQ(records.indexOfArrangedObject(ann.get()), -1);
    EXPECT_EQ(records.removeObject(ann), 0);
    expectCountsRight();
    EXPECT_EQ(records.removeObject(ann), -1);
    records.insertObject(ann, 0);
    EXPECT_EQ(recordArray->objectAtIndex(0).dictionary(), ann);
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Bob"}));
    // A record already listed is not listed twice.
    records.insertObject(ann, 1);
    EXPECT_EQ(recordArray->count(), 3);
    expectCountsRight();
}

TEST_F(RecordList, ARecordPutBackAfterItsCategoryWentJoinsTheFirstCategory)
{
    const DictionaryRef ann = addRecord(work2, {{"firstName", "Ann"}});
    const qsizetype index = records.removeObject(ann);
    categories.setSelectedObjects({work2});
    ASSERT_TRUE(categories.remove());
    records.insertObject(ann, index);
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), work);
    expectCountsRight();
}

TEST_F(RecordList, DuplicatesAreCountedWhenTheyJoinTheList)
{
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    addRecord(work, {{"firstName", "Bob"}});
    records.setSelectedObjects({ann});
    clock.advance(60'000);

    const DictionaryRef copy = records.duplicateSelection();
    EXPECT_EQ(copy->objectForKey("firstName"), Value("Ann"));
    EXPECT_EQ(copy->objectForKey("categoryPtr").dictionary(), work);
    EXPECT_EQ(copy->objectForKey("creationDate").toDateTime(), clock.currentDateTime());
    EXPECT_FALSE(copy->containsKey("usageCount"));
    EXPECT_EQ(usage(work), 2);

    ASSERT_TRUE(records.addObjectAfterSelection(copy));
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Ann", "Ann", "Bob"}));
    EXPECT_EQ(records.firstSelectedObject(), copy);
    expectCountsRight();
    // Undo and redo of the duplication.
    records.removeObject(copy);
    expectCountsRight();
    records.setSelectedObjects({ann});
    records.addObjectAfterSelection(copy);
    expectCountsRight();

    records.setSelectionIndexes({});
    EXPECT_EQ(records.duplicateSelection(), nullptr);
    EXPECT_FALSE(records.addObjectAfterSelection(records.duplicateRecord(ann)));
    expectCountsRight();
}

TEST_F(RecordList, MovingARecordBetweenCategories)
{
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    EXPECT_FALSE(records.assignCategory(work, ann));
    EXPECT_EQ(usage(work), 1);

    EXPECT_TRUE(records.assignCategory(work2, ann));
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), work2);
    expectCountsRight();
    // None: the category of a new record, here the selected record's own.
    categories.setSelectedObjects({home});
    records.setSelectedObjects({ann});
    EXPECT_TRUE(records.assignCategory(nullptr, ann));
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), work2);
    records.setSelectionIndexes({});
    EXPECT_TRUE(records.assignCategory(nullptr, ann));
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), home);
    expectCountsRight();

    // From the record view's category pop-up and its binding.
    records.setSelectedObjects({ann});
    EXPECT_TRUE(records.setCurrentObjectAccordingToCategory(work));
    EXPECT_FALSE(records.setCurrentObjectAccordingToCategory(nullptr));
    EXPECT_TRUE(records.setValueForKeyPath(Value(home), "selection.categoryPtr"));
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), home);
    expectCountsRight();
    records.setSelectionIndexes({});
    EXPECT_FALSE(records.setCurrentObjectAccordingToCategory(work));
    EXPECT_FALSE(records.setValueForKeyPath(Value(work), "selection.categoryPtr"));
    expectCountsRight();

    // Uncounting leaves the link; a category outside the list is not touched.
    EXPECT_TRUE(records.removeRecordFromCategory(ann));
    EXPECT_EQ(usage(home), 0);
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), home);
    const DictionaryRef stray = records.duplicateRecord(ann);
    stray->setObject(Value(QvColoredCategoryArrayController().newObject()), "categoryPtr");
    EXPECT_FALSE(records.removeRecordFromCategory(stray));
}

TEST_F(RecordList, ManyRecordsMoveAtOnceAsOneByOneAndTheSelectionsCategoryIsToldOnce)
{
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    const DictionaryRef bob = addRecord(work, {{"firstName", "Bob"}});
    const DictionaryRef cid = addRecord(home, {{"firstName", "Cid"}});
    QSignalSpy told(&records, &Observable::valueChangedForKeyPath);
    const auto toldCategory = [&told] {
        int n = 0;
        for (const QList<QVariant>& signal : told)
            n += signal.at(0).toString() == "selection.categoryPtr";
        told.clear();
        return n;
    };
    records.setSelectedObjects({bob});
    categories.setSelectionIndexes({});
    told.clear();
    // Bob twice, Cid into its own category (no move), Ann into the new-record category (the last one).
    EXPECT_EQ(records.assignCategories({{home, bob}, {work2, bob}, {home, cid}, {nullptr, ann}}), 3);
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), home);
    EXPECT_EQ(bob->objectForKey("categoryPtr").dictionary(), work2);
    expectCountsRight();
    EXPECT_EQ(toldCategory(), 1);
    EXPECT_EQ(records.assignCategories({{work, ann}, {work, cid}}), 2);
    expectCountsRight();
    EXPECT_EQ(toldCategory(), 0) << "the selected record did not move";
}

TEST_F(RecordList, RecordsAppendedBehindItsBackJoinTheListsEndWhereArrangingItAllPutsThem)
{
    addRecord(work, {{"firstName", "Ann"}});
    addRecord(home, {{"firstName", "Joanna"}});
    addRecord(work, {{"firstName", "Bob"}});
    const struct {
        QString category;
        QString search;
        bool selectLast;
    } cases[] = {
        {"", "", true}, {"Work", "", true}, {"", "ann", true}, {"work", "ANN", false}, {"Home", "", false},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE((c.category + "/" + c.search).toStdString());
        arrange(c.category, c.search);
        records.setSelectionIndex(c.selectLast ? records.arrangedCount() - 1 : -1);
        const std::vector<DictionaryRef> selected = records.selectedObjects();
        RecordTableModel table(&records);
        QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QSignalSpy resets(&table, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
        const qsizetype before = records.arrangedCount();

        // As an import appends them: made by the list, put into the array directly.
        ++round;
        const std::pair<const char*, DictionaryRef> appended[] = {
            {"Hanna", work}, {"Dan", home}, {"Zed", work}, {"Annie", work2}};
        for (const auto& [name, category] : appended) {
            const DictionaryRef record = records.newObject();
            records.assignCategory(category, record);
            record->setObject(Value(QStringLiteral("%1%2").arg(name).arg(round)), "firstName");
            recordArray->addObject(Value(record));
        }
        EXPECT_EQ(records.unarrangedObjects().size(), 4u);
        records.arrangeAppendedObjects();
        EXPECT_TRUE(records.unarrangedObjects().empty());
        const QStringList shown = arrangedFirstNames();
        EXPECT_EQ(resets.size(), 0);
        EXPECT_EQ(table.rowCount(), records.arrangedCount());
        if (records.arrangedCount() > before) {
            ASSERT_EQ(inserted.size(), 1);
            EXPECT_EQ(inserted.at(0).at(1).toInt(), before);
        }
        EXPECT_EQ(records.selectedObjects(), selected.empty() && records.arrangedCount() > 0
                                                  ? std::vector<DictionaryRef>{records.arrangedObjectAt(0)}
                                                  : selected);
        records.rearrangeObjects();
        EXPECT_EQ(arrangedFirstNames(), shown);
    }
    expectCountsRight();
}

TEST_F(RecordList, MigratedRecordsAreCleaned)
{
    const ArrayRef old = Array::create({
        Value(Dictionary::create({{"firstName", Value("A")},
                                  {"cat_backColor", Value(Dictionary::create())},
                                  {"cat_textColor", Value(Dictionary::create())}})),
        Value(Dictionary::create({{"firstName", Value("B")}, {"cat_uniqueID", Value::int64(5)}})),
    });
    records.adjustFromOldRelease(old);
    const DictionaryRef a = old->objectAtIndex(0).dictionary(), b = old->objectAtIndex(1).dictionary();
    EXPECT_EQ(a->allKeys(), QStringList({"firstName", "cat_uniqueID"}));
    EXPECT_EQ(a->objectForKey("cat_uniqueID"), Value::int32(0));
    EXPECT_EQ(b->objectForKey("cat_uniqueID"), Value::int64(5));
}

TEST_F(RecordList, SelectionIndexesAreChecked)
{
    addRecord(work, {{"firstName", "Ann"}});
    addRecord(work, {{"firstName", "Bob"}});
    EXPECT_FALSE(records.setSelectionIndex(2));
    EXPECT_FALSE(records.setSelectionIndex(-5));
    EXPECT_TRUE(records.setSelectionIndex(1));
    EXPECT_FALSE(records.setSelectionIndexes({7, -1}));
    EXPECT_EQ(records.selectionIndex(), -1);
    EXPECT_FALSE(records.setValueForKeyPath(Value("x"), "selection.firstName"));
    EXPECT_TRUE(records.valueForKeyPath("selection.firstName").isNull());
    EXPECT_EQ(records.arrangedObjectAt(2), nullptr);
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Ann", "Bob"}));

    // Several selected records show their value only when they agree on it.
    records.setSelectionIndexes({0, 1});
    EXPECT_TRUE(records.valueForKeyPath("selection.firstName").isNull());
    EXPECT_EQ(records.valueForKeyPath("selection.lastName"), Value("Last Name"));
    EXPECT_EQ(records.valueForKeyPath("arrangedObjects.firstName").array()->count(), 2);
}

TEST_F(RecordList, NameColumnText)
{
    const struct {
        std::initializer_list<Dictionary::Entry> record;
        QString name;
    } cases[] = {
        {{{"firstName", Value("First Name")}, {"lastName", Value("Last Name")}}, "First Name Last Name"},
        {{{"firstName", Value("Ann")}}, "Ann"},
        {{{"firstName", Value("Ann")}, {"lastName", Value(QString())}}, "Ann "},
        {{{"lastName", Value("Lee")}}, "Lee"},
        {{{"firstName", Value("")}, {"lastName", Value("Lee")}}, "Lee"},
        {{{"firstName", Value("Ann")}, {"company", Value("Acme")}, {"isCompany", Value::int32(1)}}, "Acme"},
        {{{"firstName", Value("Ann")}, {"company", Value("Acme")}, {"isCompany", Value::int32(0)}}, "Ann"},
        {{{"firstName", Value("Ann")}, {"isCompany", Value::int32(1)}}, "Ann"},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordTableModel::nameText(*Dictionary::create(c.record)), c.name) << c.name.toStdString();
}

TEST_F(RecordList, TableShowsTheArrangement)
{
    RecordTableModel table(&records);
    QSignalSpy resets(&table, &QAbstractItemModel::modelReset);
    QSignalSpy edits(&table, &QAbstractItemModel::dataChanged);
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}, {"lastName", "Lee"}});
    addRecord(home, {{"firstName", "Bob"}});
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.columnCount(), 2);
    EXPECT_EQ(table.data(table.index(0, 0)), QVariant("Ann Lee"));
    EXPECT_EQ(table.data(table.index(0, 1)), QVariant("Work"));
    EXPECT_EQ(table.data(table.index(0, 1), Qt::BackgroundRole).value<QColor>(), QColor::fromRgbF(0.75, 0.75, 0.75));
    EXPECT_EQ(table.data(table.index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(table.data(table.index(1, 1), RecordTableModel::ColumnIdentifierRole), QVariant("category"));
    EXPECT_EQ(table.recordAt(0), ann);

    arrange("home", QString());
    EXPECT_FALSE(resets.isEmpty());
    ASSERT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.data(table.index(0, 0)), QVariant("Bob Last Name"));

    edits.clear();
    records.setValueForKeyPath(Value("Robert"), "selection.firstName");
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(table.data(table.index(0, 0)), QVariant("Robert Last Name"));

    // A record without a category leaves its badge cell empty.
    recordArray->addObject(Value(Dictionary::create({{"firstName", Value("Cid")}})));
    arrange(QString(), QString());
    EXPECT_FALSE(table.data(table.index(2, 1)).isValid());
    EXPECT_EQ(table.data(table.index(2, 0)), QVariant("Cid"));
}
