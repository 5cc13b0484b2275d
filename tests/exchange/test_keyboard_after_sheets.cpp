// After any sheet of the document window ends, the keyboard is the window's
// again: its shortcuts work without a click.
#include "import_fixture.h"

#include "platform/AddressBook.h"
#include "platform/DocumentWindow.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <functional>

namespace {

class KeyboardAfterSheetsTest : public ImportTest {
protected:
    void pressEscapeOnTheSheet()
    {
        QDialog* sheet = Sheet::attachedSheet(window);
        ASSERT_TRUE(sheet);
        QTest::keyClick(sheet, Qt::Key_Escape);
        settle();
    }
    // Ctrl+S as the keyboard sends it: to the focused widget of the active window.
    int savesAfterControlS()
    {
        const int before = saves;
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            return -1;
        QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
        settle();
        return saves - before;
    }

    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
    int saves = 0;
    MemoryAddressBook book{{}, true};
};

} // namespace

TEST_F(KeyboardAfterSheetsTest, ControlSSavesRightAfterEachKindOfSheetEnds)
{
    document = newDocument();
    window = document->myWindow();
    QString why;
    const QString saved = dir.filePath(QStringLiteral("book.calvorin"));
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(saved), QStringLiteral("calvorin"), &why));
    document->setFileURL(QUrl::fromLocalFile(saved));
    settle();
    QObject::connect(window->command(QStringLiteral("saveDocument")), &QAction::triggered, [this] { ++saves; });
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* list = document->myTableView();
    list->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(savesAfterControlS(), 1) << "before any sheet";
    const QString people = write("people.csv", "Ann,Lee\nBob,Ray\n");

    struct Case {
        const char* sheet;
        std::function<void()> openAndEnd;
    };
    const std::vector<Case> table = {
        {"alert", [&] {
             responder.answerWith(Alert::FirstButtonReturn);
             Alert(QStringLiteral("Note"), QString(), {QStringLiteral("OK")}).beginSheetModalForWindow(window, {});
             settle();
         }},
        {"text import, through its progress sheets", [&] {
             chooser.answerWith(people);
             window->perform(QStringLiteral("importFromText"));
             settle();
             MyDataImportManager* m = manager(document);
             ASSERT_TRUE(m && Sheet::attachedSheet(window) == m->importSettingsPanel());
             map(m, {3, 4});
             QTest::mouseClick(m->importSettingsPanel()->findChild<QPushButton*>("importButton"), Qt::LeftButton);
             settle();
         }},
        {"text import, cancelled", [&] {
             chooser.answerWith(people);
             window->perform(QStringLiteral("importFromText"));
             settle();
             QTest::mouseClick(manager(document)->importSettingsPanel()->findChild<QPushButton*>("cancelButton"),
                               Qt::LeftButton);
             settle();
         }},
        {"export", [&] {
             window->perform(QStringLiteral("exportToText"));
             pressEscapeOnTheSheet();
         }},
        {"password", [&] {
             window->perform(QStringLiteral("documentPassword"));
             pressEscapeOnTheSheet();
         }},
        {"categories", [&] {
             window->perform(QStringLiteral("editCategoriesSheet"));
             pressEscapeOnTheSheet();
         }},
        {"captions", [&] {
             window->perform(QStringLiteral("editLabelSheet"));
             pressEscapeOnTheSheet();
         }},
        {"address book", [&] {
             window->perform(QStringLiteral("importFromAddressBook"));
             pressEscapeOnTheSheet();
         }},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.sheet);
        list->setFocus(Qt::OtherFocusReason);
        c.openAndEnd();
        ASSERT_EQ(Sheet::attachedSheet(window), nullptr);
        EXPECT_EQ(QApplication::activeWindow(), window);
        EXPECT_EQ(QApplication::focusWidget(), list);
        EXPECT_EQ(savesAfterControlS(), 1);
    }
    EXPECT_EQ(document->myArray()->count(), 2);
}
