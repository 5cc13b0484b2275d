// The window worked as a person works it: keys, clicks, the toolbar, the sheets.
#include "test_document_fixture.h"

#include "document/CategorySheet.h"
#include "document/CategoryTableModel.h"
#include "document/RecordTableModel.h"
#include "encryption/PasswordSheet.h"
#include "platform/Defaults.h"
#include "platform/DocumentWindow.h"
#include "toolkit/QvColorUtilOSX.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

class WindowTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        ContactsDocumentTest::SetUp();
        responder.setSheetHandler([this](QDialog* sheet, QWidget*) {
            if (auto* password = qobject_cast<PasswordSheet*>(sheet))
                passwordSheet = password;
            if (auto* colors = qobject_cast<QColorDialog*>(sheet)) {
                colors->setCurrentColor(chosenColor);
                QTest::keyClick(colors, Qt::Key_Return);
            }
        });
    }

    void clickToolbar(const char* command)
    {
        QToolBar* toolbar = document->modernToolbar();
        auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(window->command(QLatin1String(command))));
        ASSERT_NE(button, nullptr) << command;
        ASSERT_TRUE(button->isEnabled()) << command;
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    }
    void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(widget, key, modifiers);
        settle();
    }
    // Replaces a field's text by typing.
    void type(const char* field, const QString& text)
    {
        QWidget* widget = window->findChild<QWidget*>(QLatin1String(field));
        ASSERT_NE(widget, nullptr) << field;
        ASSERT_TRUE(widget->isVisible()) << field;
        QTest::mouseClick(widget, Qt::LeftButton);
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        const QStringList lines = text.split(u'\n');
        for (const QString& line : lines) {
            if (&line != &lines.front())
                QTest::keyClick(widget, Qt::Key_Return);
            QTest::keyClicks(widget, line);
        }
        settle();
    }
    QStringList listed() const
    {
        QStringList names;
        const QAbstractItemModel* model = document->myTableView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, RecordTableModel::NameColumn).data().toString());
        return names;
    }
    void selectRow(int row)
    {
        QTableView* table = document->myTableView();
        const QRect cell = table->visualRect(table->model()->index(row, RecordTableModel::NameColumn));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        settle();
    }
    // As the window manager does when a sheet has gone (the offscreen platform has none).
    void backToWindow()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    QWidget* shownPage() const { return window->findChild<QStackedWidget*>("recordModes")->currentWidget(); }
    void save(QWidget* widget, const char* name) const
    {
        widget->grab().save(QStringLiteral("%1/calvorin-contacts-%2.png").arg(QDir::tempPath(), QLatin1String(name)));
    }

    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
    QPointer<PasswordSheet> passwordSheet;
    QColor chosenColor = QColor(52, 101, 164);
};

} // namespace

TEST_F(WindowTest, APersonKeepsContactsInANewDocument)
{
    document = newDocument(false);
    window = document->window();
    window->resize(1000, 680);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    settle();

    // A new document asks for its password first.
    ASSERT_TRUE(passwordSheet);
    EXPECT_EQ(passwordSheet->kind(), PasswordSheet::Mandatory);
    QTest::keyClicks(passwordSheet->newPasswordField(), "correct horse");
    QTest::keyClicks(passwordSheet->retypePasswordField(), "correct horse");
    QTest::mouseClick(passwordSheet->confirmButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(document->plainPassword(), "correct horse");
    EXPECT_TRUE(responder.messageTexts().contains("Password accepted"));
    backToWindow();

    // Records come from the toolbar and are filled in in edit mode.
    clickToolbar("addRow");
    EXPECT_EQ(shownPage()->objectName(), "editPage");
    EXPECT_EQ(QApplication::focusWidget(), window->findChild<QWidget*>("edit_firstName"));
    type("edit_firstName", "Anna");
    type("edit_lastName", "Berger");
    type("edit_emailPersonal", "anna@example.org");
    type("edit_addressPersonal", "Lindenweg 4\n8004 Zurich");
    EXPECT_EQ(listed(), QStringList{"Anna Berger"});
    const DictionaryRef anna = recordAt(document, 0);
    EXPECT_EQ(anna->objectForKey("emailPersonal").stringValue(), "anna@example.org");
    EXPECT_EQ(anna->objectForKey("addressPersonal").stringValue(), "Lindenweg 4\n8004 Zurich");
    EXPECT_TRUE(document->isDocumentEdited());

    clickToolbar("addRow");
    type("edit_firstName", "Marco");
    type("edit_lastName", "Rossi");
    type("edit_company", "Rossi & Figli");
    EXPECT_EQ(listed(), (QStringList{"Anna Berger", "Marco Rossi"}));

    // A category made in the sheet: added, renamed in place, recoloured.
    press(window, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    CategorySheet* sheet = document->myCategorySheet();
    ASSERT_NE(sheet, nullptr);
    QTableView* categoryTable = sheet->categoryTable();
    QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(categoryTable->model()->rowCount(), 2);
    EXPECT_EQ(categoryTable->currentIndex().row(), 1);
    press(categoryTable, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(qobject_cast<QLineEdit*>(editor), nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "Work");
    press(editor, Qt::Key_Return);
    EXPECT_EQ(document->myCategorySheet(), sheet) << "Return ends the editing, not the sheet";
    const DictionaryRef work = categories(document)->arrangedObjectAt(1);
    EXPECT_EQ(nameOf(work), "Work");
    EXPECT_EQ(document->myActionPopup()->itemText(3), "Work") << "the filter lists the new name at once";
    press(categoryTable, Qt::Key_Right);
    press(categoryTable, Qt::Key_Return);
    const QvColor badge = QvColorUtilOSX::NSColorFromDict(work->objectForKey("cat_backColor"));
    EXPECT_EQ(badge.toQColor().rgb(), chosenColor.rgb());
    save(sheet, "category-sheet");
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(document->myCategorySheet(), nullptr);
    backToWindow();

    // Marco goes into Work through the record's category pop-up.
    QComboBox* recordCategory = document->recordCategoryPopup();
    recordCategory->setFocus();
    press(recordCategory, Qt::Key_Down);
    EXPECT_EQ(nameOf(categoryOf(recordAt(document, 1))), "Work");
    EXPECT_EQ(usage(work), 1);
    save(window, "edit-mode");

    // Filtered by category from the toolbar, then by a search.
    QComboBox* filter = document->myActionPopup();
    filter->setFocus();
    press(filter, Qt::Key_End);
    EXPECT_EQ(listed(), QStringList{"Marco Rossi"});
    EXPECT_TRUE(document->grayStatusView()->isVisible());
    // The strip takes its own height; the list and the record keep the rest.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(document->grayStatusView()->height(), document->grayStatusView()->sizeHint().height());
    press(filter, Qt::Key_Home);
    EXPECT_EQ(listed(), (QStringList{"Anna Berger", "Marco Rossi"}));
    press(window, Qt::Key_F, Qt::ControlModifier);
    QLineEdit* search = document->searchField();
    EXPECT_TRUE(search->hasFocus());
    QTest::keyClicks(search, "zurich");
    settle();
    EXPECT_EQ(listed(), QStringList{"Anna Berger"});
    press(search, Qt::Key_Escape);
    EXPECT_EQ(listed(), (QStringList{"Anna Berger", "Marco Rossi"}));
    EXPECT_FALSE(document->grayStatusView()->isVisible());

    // View mode shows the record; a duplicate, a deletion and its undo.
    selectRow(0);
    press(document->myTableView(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(shownPage()->objectName(), "viewPage");
    save(window, "view-mode");
    press(document->myTableView(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(listed(), (QStringList{"Anna Berger", "Anna Berger", "Marco Rossi"}));
    const DictionaryRef copy = recordAt(document, 1);
    EXPECT_NE(copy, anna);
    selectRow(1);
    responder.answerWithButton("Delete");
    press(document->myTableView(), Qt::Key_Delete);
    backToWindow();
    EXPECT_EQ(listed(), (QStringList{"Anna Berger", "Marco Rossi"}));
    EXPECT_EQ(window->command("undo")->text(), "&Undo Delete Record");
    press(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(listed(), (QStringList{"Anna Berger", "Anna Berger", "Marco Rossi"}));
    EXPECT_EQ(recordAt(document, 1), copy);
    EXPECT_EQ(usage(categoryOf(anna)), 2);

    // Removing Work hands Marco to the first category.
    press(window, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    sheet = document->myCategorySheet();
    ASSERT_NE(sheet, nullptr);
    sheet->categoryTable()->setFocus();
    press(sheet->categoryTable(), Qt::Key_Down);
    QTest::mouseClick(sheet->removeButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(categories(document)->arrangedCount(), 1);
    EXPECT_EQ(categoryOf(recordAt(document, 2)), categories(document)->arrangedObjectAt(0));
    EXPECT_EQ(usage(categories(document)->arrangedObjectAt(0)), 3);
    EXPECT_FALSE(sheet->removeButton()->isEnabled()) << "the last category stays";
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(document->myActionPopup()->count(), 3);
    backToWindow();

    // Locked, the window shows only where the password goes, and nothing can be undone.
    document->setIsEncrypted(true);
    settle();
    EXPECT_EQ(window->findChild<QStackedWidget*>("lockStack")->currentWidget()->objectName(), "lockedPage");
    EXPECT_TRUE(document->passwordToDecryptField()->hasFocus());
    EXPECT_FALSE(window->command("undo")->isEnabled());
    EXPECT_FALSE(window->command("addRow")->isEnabled());
    save(window, "locked");
}

TEST_F(WindowTest, AnotherContactIsShownFromTheTopOfItsForm)
{
    document = newDocument();
    window = document->window();
    window->resize(900, 460); // the edit form scrolls
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    for (const char* name : {"Anna", "Marco"}) {
        const DictionaryRef record = records(document)->newObject();
        record->setObject(Value(QString::fromLatin1(name)), QStringLiteral("firstName"));
        document->addTheRecord(record);
    }
    settle();
    document->switchToEditMode();
    selectRow(0);
    QScrollBar* bar = window->findChild<QScrollArea*>(QStringLiteral("editScroll"))->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the form does not scroll at this size";
    bar->setValue(bar->maximum());

    // An edit of the record shown keeps the place; another record starts at the top.
    records(document)->setValueForKeyPath(Value(QStringLiteral("Anne")), QStringLiteral("selection.firstName"));
    settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    selectRow(1);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(WindowTest, TheListAndItsHeaderUseTheFontOfTheSettingsFromTheStart)
{
    Defaults& defaults = Defaults::standardUserDefaults();
    defaults.setObject(Value::real(20.0), QStringLiteral("tableFontSize"));
    document = newDocument();
    settle();
    QTableView* table = document->myTableView();
    for (const double size : {20.0, 15.0}) {
        SCOPED_TRACE(size);
        if (size != 20.0)
            defaults.setObject(Value::real(size), QStringLiteral("tableFontSize"));
        settle();
        EXPECT_EQ(table->font().pointSizeF(), size);
        EXPECT_EQ(table->horizontalHeader()->font().pointSizeF(), size);
        EXPECT_GE(table->horizontalHeader()->sizeHint().height(), QFontMetrics(table->font()).height());
    }
    defaults.removeObjectForKey(QStringLiteral("tableFontSize"));
}
