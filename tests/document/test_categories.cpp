#include "controller_fixture.h"

#include "document/CategoryTableModel.h"
#include "document/RecordTableModel.h"

#include <QColor>
#include <QSignalSpy>

namespace {

QStringList namesOf(const ArrayRef& categories)
{
    QStringList names;
    for (const Value& value : categories->objects())
        names << value.dictionary()->objectForKey(QvCategoryArrayController::kName).stringValue();
    return names;
}

void expectColor(const Value& color, Value::Kind rgbKind, double rgb, Value::Kind alphaKind)
{
    const DictionaryRef dict = color.dictionary();
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->allKeys(), QStringList({"r", "g", "b", "a"}));
    for (const char* key : {"r", "g", "b"}) {
        EXPECT_EQ(dict->objectForKey(key).kind(), rgbKind) << key;
        EXPECT_DOUBLE_EQ(dict->objectForKey(key).doubleValue(), rgb) << key;
    }
    EXPECT_EQ(dict->objectForKey("a").kind(), alphaKind);
    EXPECT_DOUBLE_EQ(dict->objectForKey("a").doubleValue(), 1.0);
}

} // namespace

using Categories = ControllerFixture;

TEST_F(Categories, NewCategoryHasTheSixKeysInOrderWithTheirKinds)
{
    const DictionaryRef category = categories.newObject();
    EXPECT_EQ(category->allKeys(), QStringList({"cat_category", "cat_backColor", "cat_textColor",
                                                "cat_howManyUsingThis", "cat_uniqueID", "records"}));
    EXPECT_EQ(category->objectForKey("cat_category"), Value("Generic"));
    expectColor(category->objectForKey("cat_backColor"), Value::Kind::Real, 0.75, Value::Kind::Int32);
    expectColor(category->objectForKey("cat_textColor"), Value::Kind::Int32, 1.0, Value::Kind::Int32);
    EXPECT_EQ(category->objectForKey("cat_howManyUsingThis"), Value::int32(0));
    EXPECT_EQ(category->objectForKey("cat_uniqueID"), Value::int64(1));
    ASSERT_TRUE(category->objectForKey("records").array());
    EXPECT_EQ(category->objectForKey("records").array()->count(), 0);
    // Made, not added.
    EXPECT_EQ(categoryArray->count(), 0);

    // The generic controller makes a bare named dictionary.
    QvCategoryArrayController generic;
    const DictionaryRef untitled = generic.newObject();
    EXPECT_EQ(untitled->allKeys(), QStringList({"cat_category"}));
    EXPECT_EQ(untitled->objectForKey("cat_category"), Value("Untitled"));
}

TEST_F(Categories, NewNamesAreTheFirstFreeNumberedForm)
{
    const struct {
        QStringList existing;
        QString expected;
    } cases[] = {
        {{}, "Generic"},
        {{"Generic"}, "Generic 1"},
        {{"Generic", "Generic 1"}, "Generic 2"},
        {{"Generic 1"}, "Generic"},
        {{"Generic", "Generic 2"}, "Generic 1"},
        {{"generic"}, "Generic"}, // names differ by case
        {{"Generic", "Generic 1 "}, "Generic 1"},
    };
    for (const auto& c : cases) {
        QvColoredCategoryArrayController controller;
        for (const QString& name : c.existing)
            controller.addWithName(name);
        EXPECT_EQ(controller.newObject()->objectForKey("cat_category"), Value(c.expected))
            << c.existing.join('|').toStdString();
        EXPECT_EQ(controller.testForUnusedString(c.expected, "cat_category"), true);
    }
}

TEST_F(Categories, NameSearchGivesUpAt31999)
{
    addCategory("Generic");
    for (int i = 1; i <= 31999; ++i)
        categoryArray->addObject(Value(Dictionary::create({{"cat_category", Value(QStringLiteral("Generic %1").arg(i))}})));
    categories.rearrangeObjects();
    EXPECT_EQ(categories.unusedCategoryNameWithPostfix("Generic"), "Generic 31999");
}

TEST_F(Categories, IdentifiersAreTheSmallestFree)
{
    const struct {
        std::vector<qint64> used;
        qint64 expected;
    } cases[] = {{{}, 1}, {{1, 2, 4}, 3}, {{2, 3}, 1}, {{1, 2, 3}, 4}, {{0, 5}, 1}};
    for (const auto& c : cases) {
        QvColoredCategoryArrayController controller;
        for (qint64 id : c.used)
            controller.addWithName("c")->setObject(Value::int64(id), "cat_uniqueID");
        EXPECT_EQ(controller.newUniqueID(), c.expected);
        EXPECT_TRUE(controller.testForNewUniqueID(c.expected));
        for (qint64 id : c.used)
            EXPECT_FALSE(controller.testForNewUniqueID(id));
    }

    // Each addition takes the next free identifier; a removed one is reused.
    const DictionaryRef a = addCategory("A"), b = addCategory("B"), c = addCategory("C");
    EXPECT_EQ(a->objectForKey("cat_uniqueID"), Value::int64(1));
    EXPECT_EQ(c->objectForKey("cat_uniqueID"), Value::int64(3));
    categories.setSelectedObjects({b});
    ASSERT_TRUE(categories.remove());
    EXPECT_EQ(categories.newObject()->objectForKey("cat_uniqueID"), Value::int64(2));
}

TEST_F(Categories, LookupsByTitleAndIdentifier)
{
    const DictionaryRef work = addCategory("Work");
    const DictionaryRef second = addCategory("Work"); // a taken name is accepted as given
    addCategory("work");
    EXPECT_EQ(namesOf(categoryArray), QStringList({"Work", "Work", "work"}));
    EXPECT_EQ(categories.categoryWithTitle("Work"), work);
    EXPECT_EQ(categories.categoryWithTitle("WORK"), nullptr);
    EXPECT_EQ(categories.categoryWithTitle("Home"), nullptr);

    EXPECT_EQ(categories.getCategoryWithUniqueID(2), second);
    EXPECT_EQ(categories.getCategoryWithUniqueID(9), nullptr);
    EXPECT_EQ(categories.getLastCategory(), categoryArray->objectAtIndex(2).dictionary());

    QvColoredCategoryArrayController empty;
    EXPECT_EQ(empty.getLastCategory(), nullptr);
}

TEST_F(Categories, IncrementsOnlyListedCategories)
{
    const DictionaryRef work = addCategory("Work");
    EXPECT_TRUE(categories.incrementObj(work, 3));
    EXPECT_EQ(usage(work), 3);
    EXPECT_TRUE(categories.incrementObjUsingThisInCategoryWithUniqueID(1, -2));
    EXPECT_EQ(usage(work), 1);

    const DictionaryRef stranger = QvColoredCategoryArrayController().newObject();
    EXPECT_FALSE(categories.incrementObj(stranger, 1));
    EXPECT_EQ(usage(stranger), 0);
    EXPECT_FALSE(categories.incrementObj(nullptr, 1));
    EXPECT_FALSE(categories.incrementObjUsingThisInCategoryWithUniqueID(0, 1));
    EXPECT_FALSE(categories.incrementObjUsingThisInCategoryWithUniqueID(7, 1));
    EXPECT_EQ(usage(work), 1);

    // ID 0 answers NO even when a category carries it.
    work->setObject(Value::int64(0), "cat_uniqueID");
    EXPECT_FALSE(categories.incrementObjUsingThisInCategoryWithUniqueID(0, 1));
    EXPECT_EQ(usage(work), 1);
}

TEST_F(Categories, AncientCategoriesAreCompletedAndRenumbered)
{
    const ArrayRef none = Array::create();
    categories.adjustFromAncientRelease(none);
    ASSERT_EQ(none->count(), 1);
    EXPECT_EQ(none->objectAtIndex(0).dictionary()->objectForKey("cat_category"), Value("Generic"));

    const ArrayRef old = Array::create({
        Value(Dictionary::create({{"cat_category", Value("A")}, {"cat_uniqueID", Value::int64(7)}})),
        Value(Dictionary::create({{"cat_category", Value("B")},
                                  {"cat_howManyUsingThis", Value::int32(4)},
                                  {"cat_backColor", Value(Dictionary::create({{"r", Value::real(0.1)}}))}})),
        Value(Dictionary::create({{"cat_category", Value("C")}, {"cat_uniqueID", Value::int64(1)}})),
    });
    categories.adjustFromAncientRelease(old);
    for (qsizetype i = 0; i < 3; ++i) {
        const DictionaryRef category = old->objectAtIndex(i).dictionary();
        EXPECT_EQ(category->objectForKey("cat_uniqueID"), Value::int64(i + 1));
        EXPECT_TRUE(category->containsKey("cat_textColor"));
    }
    const DictionaryRef a = old->objectAtIndex(0).dictionary(), b = old->objectAtIndex(1).dictionary();
    EXPECT_EQ(a->objectForKey("cat_howManyUsingThis"), Value::int64(0));
    expectColor(a->objectForKey("cat_backColor"), Value::Kind::Real, 0.75, Value::Kind::Int32);
    EXPECT_EQ(b->objectForKey("cat_howManyUsingThis"), Value::int32(4));
    EXPECT_DOUBLE_EQ(b->valueForKeyPath("cat_backColor.r").doubleValue(), 0.1);
}

TEST_F(Categories, OldColourObjectsBecomeColorDictionaries)
{
    const ArrayRef old = Array::create({Value(Dictionary::create({
        {"cat_category", Value("A")},
        {"cat_backColor", Value(ArchivedColor::rgb(0.2, 0.4, 0.6, 0.5))},
        {"cat_textColor", Value(ArchivedColor::white(1.0))},
    }))});
    // A named colour archived without the colour it stands for has no RGB form.
    auto named = std::make_shared<ArchivedColor>();
    named->colorSpace = 6;
    named->catalogName = "System";
    named->colorName = "controlColor";
    const DictionaryRef unreadable = Dictionary::create({{"cat_category", Value("B")},
                                                         {"cat_backColor", Value(ColorRef(named))},
                                                         {"cat_textColor", Value(ColorRef(named))}});
    old->addObject(Value(unreadable));

    categories.adjustFromOldRelease(old);
    const DictionaryRef a = old->objectAtIndex(0).dictionary();
    EXPECT_DOUBLE_EQ(a->valueForKeyPath("cat_backColor.r").doubleValue(), 0.2);
    EXPECT_DOUBLE_EQ(a->valueForKeyPath("cat_backColor.b").doubleValue(), 0.6);
    EXPECT_DOUBLE_EQ(a->valueForKeyPath("cat_backColor.a").doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(a->valueForKeyPath("cat_textColor.g").doubleValue(), 1.0);
    expectColor(unreadable->objectForKey("cat_backColor"), Value::Kind::Real, 0.75, Value::Kind::Int32);
    expectColor(unreadable->objectForKey("cat_textColor"), Value::Kind::Int32, 1.0, Value::Kind::Int32);
}

TEST_F(Categories, TheLastCategoryStays)
{
    const DictionaryRef only = addCategory("Only");
    addRecord(only);
    categories.setSelectedObjects({only});
    EXPECT_TRUE(categories.canRemove());
    EXPECT_FALSE(categories.canRemoveSelection());
    EXPECT_EQ(categories.valueForKeyPath("canRemoveSelection"), Value::boolean(false));
    EXPECT_FALSE(categories.remove());
    EXPECT_EQ(categoryArray->count(), 1);

    // Nor can a selection of every category go.
    const DictionaryRef other = addCategory("Other");
    categories.setSelectionIndexes({0, 1});
    EXPECT_FALSE(categories.remove());
    EXPECT_EQ(namesOf(categoryArray), QStringList({"Only", "Other"}));
    categories.setSelectionIndexes({});
    EXPECT_FALSE(categories.remove());
    EXPECT_EQ(document.changes, 0);
    expectCountsRight();
}

TEST_F(Categories, RemovingACategoryMovesItsRecordsToTheFirstRemaining)
{
    const DictionaryRef friends = addCategory("Friends");
    const DictionaryRef work = addCategory("Work");
    const DictionaryRef home = addCategory("Home");
    const DictionaryRef ann = addRecord(work, {{"firstName", "Ann"}});
    const DictionaryRef bob = addRecord(work, {{"firstName", "Bob"}});
    addRecord(home, {{"firstName", "Cid"}});
    addRecord(friends, {{"firstName", "Dee"}});
    expectCountsRight();

    // The list shows Work alone; removing Work empties it at once.
    records.setCategoryString("work");
    records.rearrangeObjects();
    EXPECT_EQ(arrangedFirstNames(), QStringList({"Ann", "Bob"}));

    categories.setSelectedObjects({work});
    ASSERT_TRUE(categories.remove());
    EXPECT_EQ(namesOf(categoryArray), QStringList({"Friends", "Home"}));
    EXPECT_EQ(ann->objectForKey("categoryPtr").dictionary(), friends);
    EXPECT_EQ(bob->objectForKey("categoryPtr").dictionary(), friends);
    EXPECT_EQ(usage(friends), 3);
    EXPECT_EQ(document.changes, 1);
    EXPECT_TRUE(records.arrangedObjects().empty());
    expectCountsRight();

    // Removing the first category hands its records to the next one.
    categories.setSelectedObjects({friends});
    ASSERT_TRUE(categories.remove());
    EXPECT_EQ(usage(home), 4);
    expectCountsRight();
    EXPECT_FALSE(categories.canRemoveSelection());
}

TEST_F(Categories, RemovingSelectsTheNextCategory)
{
    addCategory("A");
    addCategory("B");
    addCategory("C");
    categories.setSelectionIndex(1);
    ASSERT_TRUE(categories.remove());
    EXPECT_EQ(categories.selectionIndex(), 1);
    EXPECT_EQ(categories.firstSelectedObject()->objectForKey("cat_category"), Value("C"));
    categories.setSelectionIndex(1);
    ASSERT_TRUE(categories.remove());
    EXPECT_EQ(categories.selectionIndex(), 0);

    // The generic controller removes plainly.
    QvCategoryArrayController generic;
    generic.addObject(generic.newObject());
    EXPECT_TRUE(generic.remove());
    EXPECT_EQ(generic.content()->count(), 0);
    EXPECT_FALSE(generic.remove());
}

TEST_F(Categories, EditsInTheTableMarkTheDocumentAndRedrawBadges)
{
    const DictionaryRef work = addCategory("Work");
    addRecord(work, {{"firstName", "Ann"}});
    CategoryTableModel table(&categories);
    RecordTableModel list(&records);
    QSignalSpy listChanged(&list, &QAbstractItemModel::dataChanged);
    ASSERT_EQ(table.rowCount(), 1);
    ASSERT_EQ(table.columnCount(), 3);

    EXPECT_EQ(table.data(table.index(0, 0)), QVariant("Work"));
    EXPECT_EQ(table.data(table.index(0, 0), Qt::BackgroundRole).value<QColor>(), QColor::fromRgbF(0.75, 0.75, 0.75));
    EXPECT_EQ(table.data(table.index(0, 2), Qt::DecorationRole).value<QColor>(), QColor(Qt::white));
    EXPECT_TRUE(table.flags(table.index(0, 0)) & Qt::ItemIsEditable);

    ASSERT_TRUE(table.setData(table.index(0, 0), "Office"));
    EXPECT_EQ(work->objectForKey("cat_category"), Value("Office"));
    EXPECT_EQ(document.changes, 1);
    ASSERT_FALSE(listChanged.isEmpty());
    EXPECT_EQ(list.data(list.index(0, RecordTableModel::CategoryColumn)), QVariant("Office"));

    ASSERT_TRUE(table.setData(table.index(0, 1), QColor::fromRgbF(0.0, 1.0, 0.0)));
    EXPECT_EQ(work->valueForKeyPath("cat_backColor.g"), Value::real(1.0));
    EXPECT_EQ(work->valueForKeyPath("cat_backColor.r"), Value::real(0.0));
    EXPECT_EQ(document.changes, 2);
    EXPECT_FALSE(table.setData(table.index(0, 1), QColor()));
    EXPECT_FALSE(table.setData(table.index(5, 0), "x"));
    EXPECT_EQ(document.changes, 2);

    // The table follows additions and removals.
    addCategory("Home");
    EXPECT_EQ(table.rowCount(), 2);
}
