#include "test_document_fixture.h"

#include "document/CategorySheet.h"
#include "document/CategoryTableModel.h"
#include "document/CategoryView.h"
#include "toolkit/QvColorUtilOSX.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QMenu>
#include <QTableView>
#include <QTest>

namespace {

// A document with the categories Generic and Work, Ann in Generic and Bob in Work.
class CategoryTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        ContactsDocumentTest::SetUp();
        document = newDocument();
        generic = categories(document)->arrangedObjectAt(0);
        work = categories(document)->addWithName("Work");
        for (const char* name : {"Ann", "Bob"}) {
            records(document)->setSelectionIndexes({});
            document->addRow();
            records(document)->firstSelectedObject()->setObject(Value(name), "firstName");
        }
        records(document)->assignCategory(generic, recordAt(document, 0));
        records(document)->assignCategory(work, recordAt(document, 1));
        records(document)->rearrangeObjects();
        settle();
        document->updateChangeCount(Document::ChangeCleared);
    }

    QStringList popupItems() const
    {
        QStringList items;
        QComboBox* popup = document->myActionPopup();
        for (int i = 0; i < popup->count(); ++i)
            items.append(popup->itemText(i));
        return items;
    }
    QStringList menuItems(bool checkedOnly = false) const
    {
        QStringList items;
        for (QAction* action : document->myCategoryMenu()->actions())
            if (!action->isSeparator() && (!checkedOnly || action->isChecked()))
                items.append(action->objectName() == "doSelectCatMenu" ? action->data().toString() : action->text());
        return items;
    }
    QStringList shownNames() const
    {
        QStringList names;
        for (const DictionaryRef& record : records(document)->arrangedObjects())
            names.append(record->objectForKey("firstName").stringValue());
        return names;
    }

    MyDocument* document = nullptr;
    DictionaryRef generic;
    DictionaryRef work;
};

} // namespace

TEST_F(CategoryTest, TheCategoryItemsFollowAdditionsImportsAndRenames)
{
    EXPECT_EQ(popupItems(), (QStringList{"Show All", "", "Generic", "Work"}));
    EXPECT_EQ(menuItems(), (QStringList{"Show &All", "Generic", "Work"}));
    document->synkCategorySubMenu();
    document->synkCategorySubMenu();
    EXPECT_EQ(popupItems(), (QStringList{"Show All", "", "Generic", "Work"})) << "rebuilding never duplicates";

    document->addNewCategory();
    settle();
    EXPECT_EQ(popupItems().mid(2), (QStringList{"Generic", "Work", "Generic 1"}));
    EXPECT_TRUE(document->isDocumentEdited());

    // An import names its categories without the sheet.
    categories(document)->addWithName("Imported");
    // A category without a name is listed with an empty title.
    categories(document)->addWithName("");
    EXPECT_EQ(popupItems().mid(2), (QStringList{"Generic", "Work", "Generic 1", "Imported", ""}));

    CategoryTableModel model(categories(document));
    ASSERT_TRUE(model.setData(model.index(1, CategoryTableModel::NameColumn), "Office"));
    EXPECT_EQ(popupItems().mid(2, 2), (QStringList{"Generic", "Office"}));
    EXPECT_EQ(menuItems().mid(1, 2), (QStringList{"Generic", "Office"}));
    EXPECT_EQ(document->recordCategoryPopup()->itemText(1), "Office");
}

TEST_F(CategoryTest, TheCheckMarkFollowsTheFilter)
{
    document->doSelectCatMenu("Work");
    EXPECT_EQ(shownNames(), QStringList{"Bob"});
    EXPECT_EQ(document->categoryString(), "Work");
    EXPECT_EQ(document->myActionPopup()->currentText(), "Work");
    EXPECT_EQ(menuItems(true), QStringList{"Work"});

    // The filter set on the controller itself, as the window's bindings may do.
    records(document)->setCategoryString("Generic");
    records(document)->rearrangeObjects();
    EXPECT_EQ(document->categoryString(), "Generic");
    EXPECT_EQ(document->myActionPopup()->currentText(), "Generic");
    EXPECT_EQ(menuItems(true), QStringList{"Generic"});

    document->showAllCategory();
    EXPECT_EQ(shownNames(), (QStringList{"Ann", "Bob"}));
    EXPECT_EQ(document->myActionPopup()->currentIndex(), 0);
    EXPECT_EQ(menuItems(true), QStringList{"Show &All"});
}

TEST_F(CategoryTest, TheFilterFollowsARenameAndEndsWithARemoval)
{
    document->doSelectCatMenu("Work");
    CategoryTableModel model(categories(document));
    model.setData(model.index(1, CategoryTableModel::NameColumn), "Office");
    EXPECT_EQ(document->categoryString(), "Office");
    EXPECT_EQ(shownNames(), QStringList{"Bob"});
    EXPECT_EQ(document->myActionPopup()->currentText(), "Office");

    categories(document)->setSelectionIndex(1);
    document->removeCategory();
    settle();
    EXPECT_EQ(document->categoryString(), "");
    EXPECT_EQ(shownNames(), (QStringList{"Ann", "Bob"}));
    EXPECT_TRUE(document->isDocumentEdited()) << "removing a category is an edit";
    EXPECT_EQ(usage(generic), 2);
}

TEST_F(CategoryTest, TheRecordPopupMovesTheSelectedRecordAndChecksItsIndex)
{
    records(document)->setSelectionIndex(0);
    for (int index : {-1, 2, 99}) {
        document->categoryWasSet(index);
        EXPECT_EQ(categoryOf(recordAt(document, 0)), generic);
    }
    EXPECT_FALSE(document->isDocumentEdited());

    document->categoryWasSet(1);
    EXPECT_EQ(categoryOf(recordAt(document, 0)), work);
    EXPECT_EQ(usage(generic), 0);
    EXPECT_EQ(usage(work), 2);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->recordCategoryPopup()->currentIndex(), 1);
    EXPECT_EQ(document->categoryView()->shownCategoryName(), "Work");

    // With no record selected the pop-up does nothing.
    records(document)->setSelectionIndexes({});
    document->categoryWasSet(0);
    EXPECT_EQ(usage(work), 2);
}

TEST_F(CategoryTest, TheBadgeViewShowsAndCopiesTheSelectedCategory)
{
    CategoryView* view = document->categoryView();
    records(document)->setSelectionIndex(1);
    EXPECT_EQ(view->shownCategoryName(), "Work");
    view->CopyInClipboard();
    EXPECT_EQ(Clipboard::text(), "Work");
    EXPECT_EQ(clipboard.writes, 1);

    records(document)->setSelectionIndexes({});
    EXPECT_TRUE(view->shownCategoryName().isNull());
    view->CopyInClipboard();
    EXPECT_EQ(clipboard.writes, 1) << "no selection leaves the clipboard alone";
}

TEST_F(CategoryTest, AColourChangeMarksOnlyItsOwnDocument)
{
    MyDocument* other = newDocument();
    settle();
    other->updateChangeCount(Document::ChangeCleared);
    responder.setSheetHandler([](QDialog* sheet, QWidget*) {
        if (auto* colors = qobject_cast<QColorDialog*>(sheet)) {
            colors->setCurrentColor(QColor(200, 40, 40));
            colors->accept();
        }
    });

    document->editCategoriesSheet();
    settle();
    QTableView* table = document->myCategoryTableView();
    ASSERT_NE(table, nullptr);
    table->setCurrentIndex(table->model()->index(1, CategoryTableModel::BackColorColumn));
    QTest::keyClick(table, Qt::Key_Return);
    settle();
    const QvColor chosen = QvColorUtilOSX::NSColorFromDict(work->objectForKey("cat_backColor"));
    EXPECT_NEAR(chosen.red, 200 / 255.0, 1e-3);
    EXPECT_NEAR(chosen.green, 40 / 255.0, 1e-3);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_FALSE(other->isDocumentEdited());

    document->closeCategoriesSheet();
    settle();
    EXPECT_EQ(document->myCategorySheet(), nullptr);
}
