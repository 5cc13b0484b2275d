// A person imports contacts into a new document through the window.
#include "import_fixture.h"

#include "document/FilteringArrayController.h"
#include "document/RecordTableModel.h"
#include "platform/DocumentWindow.h"
#include "platform/UrlOpener.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

namespace {

class ImportWindowTest : public ImportTest {
protected:
    // Pictures for a person to look at, when asked for.
    void picture(QWidget* widget, const char* name) const
    {
        const QString folder = qEnvironmentVariable("CALVORIN_PICTURES");
        if (!folder.isEmpty() && widget)
            widget->grab().save(QStringLiteral("%1/%2.png").arg(folder, QLatin1String(name)));
    }
    template <typename T>
    T* inSheet(MyDocument* document, const char* name)
    {
        QDialog* sheet = Sheet::attachedSheet(document->myWindow());
        return sheet ? sheet->findChild<T*>(QLatin1String(name)) : nullptr;
    }
    void click(QWidget* widget)
    {
        ASSERT_TRUE(widget);
        ASSERT_TRUE(widget->isEnabled());
        QTest::mouseClick(widget, Qt::LeftButton);
        settle();
    }
    void choose(QComboBox* popup, const QString& title)
    {
        ASSERT_TRUE(popup);
        const int index = popup->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        popup->setCurrentIndex(index);
        emit popup->activated(index);
        settle();
    }
};

} // namespace

TEST_F(ImportWindowTest, APersonImportsContactsOpensOneAndDeletesAnother)
{
    RecordingUrlOpener opener;
    MyDocument* document = newDocument();
    settle();
    DocumentWindow* window = document->myWindow();
    const QString path = write("friends.csv",
                               "First name,Last name,Web work,Homepage,Category\n"
                               "Ann,Lee,www.old.example,www.ann.example,Friends\n"
                               "Bob,\"Ray, Jr.\",,www.bob.example,Work\n"
                               "Cy,Sun,,,Friends\n");

    // File > Import Text File…, with Comma and UTF-8 in the chooser's accessory.
    chooser.answerWith(path);
    QAction* import = window->command(QStringLiteral("importFromText"));
    ASSERT_TRUE(import && window->fileMenu()->actions().contains(import));
    window->validateCommands();
    ASSERT_TRUE(import->isEnabled());
    import->trigger();
    ASSERT_EQ(chooser.requests.size(), 1);
    QWidget* accessory = chooser.requests.first().options.accessory;
    ASSERT_TRUE(accessory);
    EXPECT_TRUE(chooser.requests.first().options.allowedExtensions.contains("TSV"));
    choose(accessory->findChild<QComboBox*>("formatPopup"), "Comma");
    choose(accessory->findChild<QComboBox*>("encodingPopup"), "UTF-8");
    settle();

    MyDataImportManager* m = manager(document);
    ASSERT_TRUE(m);
    QDialog* panel = Sheet::attachedSheet(window);
    ASSERT_EQ(panel, m->importSettingsPanel());
    QLabel* recordLabel = inSheet<QLabel>(document, "recordLabel");
    EXPECT_EQ(recordLabel->text(), "Record 1 of 4");

    // From first row, Next, Previous.
    QToolButton* tools = inSheet<QToolButton>(document, "toolsPopUpButton");
    QAction* fromFirstRow = tools->menu()->findChild<QAction*>("tryAssignFromFirstRow");
    ASSERT_TRUE(fromFirstRow);
    EXPECT_EQ(tools->menu()->findChild<QAction*>("AllImportFieldsToCreateNewColumn"), nullptr);
    fromFirstRow->trigger();
    settle();
    EXPECT_TRUE(inSheet<QCheckBox>(document, "firstRowOption")->isChecked());
    click(inSheet<QPushButton>(document, "nextButton"));
    EXPECT_EQ(recordLabel->text(), "Record 2 of 4");
    click(inSheet<QPushButton>(document, "nextButton"));
    click(inSheet<QPushButton>(document, "previousButton"));
    EXPECT_EQ(recordLabel->text(), "Record 2 of 4");
    QTableView* table = inSheet<QTableView>(document, "mappingTable");
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), "Ann");

    // The Homepage column takes Web work from the column that had it.
    auto popupOf = [table](int row) { return qobject_cast<QComboBox*>(table->indexWidget(table->model()->index(row, 2))); };
    ASSERT_TRUE(popupOf(3));
    EXPECT_EQ(popupOf(2)->currentText(), "Web work");
    EXPECT_EQ(popupOf(3)->currentText(), "Do not import");
    choose(popupOf(3), "Web work");
    EXPECT_EQ(popupOf(2)->currentText(), "Do not import");
    EXPECT_EQ(table->model()->index(2, 1).data().toString(), "");
    EXPECT_EQ(table->model()->index(3, 1).data().toString(), "»");
    EXPECT_EQ(inSheet<QLabel>(document, "importedFieldsLabel")->text(), "Fields to import: 4");
    picture(panel, "mapping-sheet");

    click(inSheet<QPushButton>(document, "importButton"));
    EXPECT_EQ(Sheet::attachedSheet(window), nullptr);

    // The contacts, their new categories in the menu, and the counts.
    ASSERT_EQ(document->myArray()->count(), 3);
    EXPECT_EQ(column(document, "lastName"), (QStringList{"Lee", "Ray, Jr.", "Sun"}));
    EXPECT_EQ(column(document, "webWork"), (QStringList{"www.ann.example", "www.bob.example", ""}));
    QStringList inMenu;
    for (QAction* action : document->myCategoryMenu()->actions())
        if (action->objectName() == QLatin1String("doSelectCatMenu"))
            inMenu << action->data().toString();
    EXPECT_TRUE(inMenu.contains("Friends"));
    EXPECT_TRUE(inMenu.contains("Work"));
    window->command(QStringLiteral("editCategoriesSheet"))->trigger();
    settle();
    QTableView* categoriesTable = document->myCategoryTableView();
    ASSERT_TRUE(categoriesTable);
    QStringList listedCategories;
    for (int row = 0; row < categoriesTable->model()->rowCount(); ++row)
        listedCategories << categoriesTable->model()->index(row, 0).data().toString();
    EXPECT_TRUE(listedCategories.contains("Friends"));
    EXPECT_EQ(usage(categories(document)->categoryWithTitle("Friends")), 2);
    EXPECT_EQ(usage(categories(document)->categoryWithTitle("Work")), 1);
    Sheet::end(Sheet::attachedSheet(window), 0);
    settle();

    // Ann's work web page, from the open button of view mode.
    QTableView* list = document->myTableView();
    int annRow = -1;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        if (list->model()->index(row, RecordTableModel::NameColumn).data().toString() == "Ann Lee")
            annRow = row;
    ASSERT_GE(annRow, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(annRow, RecordTableModel::NameColumn)).center());
    settle();
    document->switchToViewMode();
    settle();
    auto* openWeb = window->findChild<QToolButton*>("openField08");
    ASSERT_TRUE(openWeb);
    EXPECT_TRUE(openWeb->isVisible());
    for (const char* hidden : {"openField14", "openField13", "openField04"}) {
        // No personal page or mail; the phone's flag is off.
        auto* button = window->findChild<QToolButton*>(QLatin1String(hidden));
        ASSERT_TRUE(button) << hidden;
        EXPECT_FALSE(button->isVisible()) << hidden;
    }
    picture(window, "view-mode-open-buttons");
    click(openWeb);
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened.first().host(), "www.ann.example");

    // Delete Contact… from the list's menu: Cancel, then Delete Contact, then undo.
    QAction* deleteContact = nullptr;
    for (QAction* action : list->actions())
        if (action->objectName() == QLatin1String("deleteRows"))
            deleteContact = action;
    ASSERT_TRUE(deleteContact);
    EXPECT_EQ(deleteContact->text(), "Delete Contact…");
    responder.showNext();
    deleteContact->trigger();
    settle();
    picture(Sheet::attachedSheet(window), "delete-alert");
    Sheet::end(Sheet::attachedSheet(window), Alert::FirstButtonReturn);
    settle();
    EXPECT_EQ(document->myArray()->count(), 3);
    responder.answerWithButton("Delete Contact");
    deleteContact->trigger();
    settle();
    EXPECT_EQ(document->myArray()->count(), 2);
    window->command(QStringLiteral("undo"))->trigger();
    settle();
    EXPECT_EQ(document->myArray()->count(), 3);

    // Save, close, reopen, unlock: the imports are there.
    const QString saved = dir.filePath("friends.calvorin");
    QString why;
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(saved), QStringLiteral("calvorin"), &why)) << why.toStdString();
    document->updateChangeCount(Document::ChangeCleared);
    document->close();
    settle();
    MyDocument* reopened = nullptr;
    controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(saved), true, [&reopened](Document* d, bool) {
        reopened = static_cast<MyDocument*>(d);
    });
    settle();
    ASSERT_TRUE(reopened);
    reopened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    QStringList names = column(reopened, "firstName");
    names.sort();
    EXPECT_EQ(names, (QStringList{"Ann", "Bob", "Cy"}));
    EXPECT_EQ(usage(categories(reopened)->categoryWithTitle("Friends")), 2);
}

TEST_F(ImportWindowTest, PicturesOfTheChooserAndTheLoadingSheet)
{
    if (qEnvironmentVariable("CALVORIN_PICTURES").isEmpty())
        GTEST_SKIP() << "CALVORIN_PICTURES names no folder";
    MyDocument* document = newDocument();
    settle();
    const QString path = write("friends.csv", "a,b\n");
    MyDataImportManager m(document->myArray(), MyDocument::importFieldTable(), document->myWindow(),
                          records(document), document);
    {
        // The chooser the application shows.
        ScopedSeam<FileChooser> production(&FileChooser::production());
        m.loadDataForWin(document->myWindow());
        QDialog* chooserSheet = Sheet::attachedSheet(document->myWindow());
        ASSERT_TRUE(chooserSheet);
        chooserSheet->resize(820, 520);
        picture(chooserSheet, "chooser-accessory");
        Sheet::end(chooserSheet, 0);
        settle();
    }
    m.loadDataFromFile(path, document->myWindow());
    m.waitForReading();
    settle();
    m.CancelImportSetting();
    m.showLoadingFileSheet();
    picture(m.loadingFileSheet(), "loading-sheet");
    m.closeLoadingFileSheet();
    settle();
}
