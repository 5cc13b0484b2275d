// Every window and menu of the application, opened as a person opens them: no
// two of their keyboard mnemonics share a letter, and none leads nowhere.
#include "shell_fixture.h"

#include "exchange/QvDataExportManager.h"
#include "platform/DocumentWindow.h"
#include "platform/Sheet.h"
#include "shell/QvAboutBoxController.h"
#include "shell/QvPrefToolbarDelegate.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

namespace {

// The key that Alt+letter (or the letter in an open menu) stands for, 0 for none.
int mnemonicKey(const QString& text)
{
    const QKeySequence key = QKeySequence::mnemonic(text);
    return key.isEmpty() ? 0 : key[0].key();
}

class Mnemonics {
public:
    // The visible actions of `menu` and, in turn, of its submenus.
    void checkMenu(QMenu* menu, const QString& where)
    {
        if (!menu || m_menus.contains(menu))
            return;
        m_menus << menu;
        emit menu->aboutToShow(); // menus that fill themselves when they open
        QHash<int, QString> seen;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            note(seen, action->text(), where);
            checkMenu(action->menu(), where + QStringLiteral(" ▸ ") + action->text().remove(u'&'));
        }
        emit menu->aboutToHide();
    }

    // The controls that the window shows now, with its menu bar, and the menus they open.
    void checkWindow(QWidget* window)
    {
        if (!window)
            return;
        const QString where = window->windowTitle().isEmpty() ? window->objectName() : window->windowTitle();
        m_windows << where;
        QHash<int, QString> seen;
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        for (QWidget* widget : std::as_const(widgets)) {
            if (widget->window() != window || !widget->isVisibleTo(window))
                continue;
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                note(seen, button->text(), where);
                if (auto* push = qobject_cast<QPushButton*>(button))
                    checkMenu(push->menu(), where);
                if (auto* tool = qobject_cast<QToolButton*>(button))
                    checkMenu(tool->menu(), where);
            } else if (auto* label = qobject_cast<QLabel*>(widget)) {
                const bool rich = label->textFormat() == Qt::RichText
                    || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
                const int key = rich ? 0 : mnemonicKey(label->text());
                if (key && !label->buddy())
                    ADD_FAILURE() << qPrintable(where) << ": \"" << qPrintable(label->text())
                                  << "\" underlines a letter that reaches no control";
                note(seen, label->buddy() ? label->text() : QString(), where);
            } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
                note(seen, group->title(), where);
            } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
                for (int i = 0; i < tabs->count(); ++i)
                    note(seen, tabs->tabText(i), where);
            } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
                for (QAction* item : bar->actions()) {
                    if (!item->isVisible())
                        continue;
                    note(seen, item->text(), where);
                    checkMenu(item->menu(), where + QStringLiteral(" ▸ ") + item->text().remove(u'&'));
                }
            }
            if (widget->contextMenuPolicy() == Qt::ActionsContextMenu && !widget->actions().isEmpty()) {
                QMenu context(where + QStringLiteral(" context"));
                context.addActions(widget->actions());
                checkMenu(&context, where);
                m_menus.removeAll(&context);
            }
        }
    }

    const QStringList& windows() const { return m_windows; }

private:
    static void note(QHash<int, QString>& seen, const QString& text, const QString& where)
    {
        const int key = mnemonicKey(text);
        if (!key)
            return;
        if (seen.contains(key))
            ADD_FAILURE() << qPrintable(where) << ": Alt+" << qPrintable(QKeySequence(key).toString()) << " is both \""
                          << qPrintable(seen.value(key)) << "\" and \"" << qPrintable(text) << "\"";
        else
            seen.insert(key, text);
    }

    QList<QMenu*> m_menus;
    QStringList m_windows;
};

class MnemonicsTest : public ShellTest {
protected:
    // Checks what `open` brings up (windows, sheets) and closes the sheets again.
    void checkWhatOpens(const std::function<void()>& open)
    {
        QList<QPointer<QDialog>> sheets;
        responder.setSheetHandler([&sheets](QDialog* sheet, QWidget*) { sheets << sheet; });
        open();
        settle();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && !qobject_cast<QMenu*>(window))
                mnemonics.checkWindow(window);
        for (const QPointer<QDialog>& sheet : std::as_const(sheets))
            if (sheet && !sheet->isVisible())
                mnemonics.checkWindow(sheet);
        for (const QPointer<QDialog>& sheet : std::as_const(sheets))
            if (sheet)
                sheet->reject();
        settle();
        responder.setSheetHandler({});
    }

    Mnemonics mnemonics;
};

TEST_F(MnemonicsTest, NoWindowOrMenuUsesALetterTwice)
{
    delegate().applicationWillFinishLaunching();
    auto* document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
    ASSERT_TRUE(document);
    DocumentWindow* window = document->window();
    document->setPlainPassword(QString::fromLatin1(kPassword));
    const DictionaryRef record = document->myArrayController()->newObject();
    record->setObject(Value(QStringLiteral("Ada")), QStringLiteral("firstName"));
    document->addTheRecord(record);
    settle();
    window->validateCommands();

    // The document window with its menus, then every sheet it opens.
    checkWhatOpens([] {});
    for (const char* command : {"exportToText", "editCategoriesSheet", "editLabelSheet", "documentPassword"}) {
        SCOPED_TRACE(command);
        checkWhatOpens([window, command] { window->perform(QLatin1String(command)); });
    }
    // The export chooser's accessory.
    if (auto* exporter = dynamic_cast<QvDataExportManager*>(document->myExportManager())) {
        exporter->exportPanelAccessoryView()->setWindowTitle(QStringLiteral("Export accessory"));
        mnemonics.checkWindow(exporter->exportPanelAccessoryView());
    }

    const QString text = path(QStringLiteral("friends.csv"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("First name,Last name\nAnn,Lee\n");
    }
    chooser.answerWith(text);
    checkWhatOpens([this, window] {
        window->perform(QStringLiteral("importFromText"));
        ASSERT_FALSE(chooser.requests.isEmpty());
        if (QWidget* accessory = chooser.requests.last().options.accessory) {
            accessory->setWindowTitle(QStringLiteral("Import accessory"));
            mnemonics.checkWindow(accessory);
        }
    });

    // The preferences, one panel at a time, and the About window.
    delegate().openPreferences();
    settle();
    for (int panel = 0; panel < 4; ++panel) {
        preferences().toolbarDelegate()->SetPanelTab(panel);
        checkWhatOpens([] {});
    }
    preferences().close();
    checkWhatOpens([this] { delegate().openAbout(); });
    if (QWidget* about = QvAboutBoxController::sharedAboutBoxController()->AboutBox())
        about->close();

    // A locked document: its window shows only the password field.
    QString why;
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("Locked.calvorin")));
    ASSERT_TRUE(document->writeToURL(url, QStringLiteral("calvorin"), &why)) << qPrintable(why);
    document->close();
    settle();
    checkWhatOpens([this, url] { controller.openDocumentWithContentsOfURL(url, true); });

    for (const char* expected : {"Export Text File", "Import Text File", "Export accessory", "Import accessory", "General",
                                 "Font", "Advanced", "Update"})
        EXPECT_TRUE(mnemonics.windows().contains(QLatin1String(expected)))
            << expected << " was not looked at; seen: " << qPrintable(mnemonics.windows().join(", "));
}

TEST_F(MnemonicsTest, ADocumentNamedWithAnAmpersandIsListedAsItIsNamed)
{
    const QString file = savedDocumentFile(QStringLiteral("R&D.calvorin"));
    controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), true);
    settle();
    ASSERT_EQ(controller.documents().size(), 1);
    DocumentWindow* window = controller.documents().first()->window();
    emit window->windowMenu()->aboutToShow();
    QStringList listed;
    for (QAction* action : window->windowMenu()->actions())
        if (!action->isSeparator() && action->isCheckable())
            listed << action->text();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_TRUE(listed[0].startsWith(QLatin1String("R&&D"))) << qPrintable(listed[0]);
    EXPECT_EQ(mnemonicKey(listed[0]), 0) << "shown as \"R&D\", with no letter underlined";
}

} // namespace
