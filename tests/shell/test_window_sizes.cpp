// Every window and sheet of the application, opened as a person opens them,
// gives each control it shows at least the room the control needs: no field
// squashed below the height of its text, no wrapped message cut short.
#include "shell_fixture.h"

#include "encryption/PasswordSheet.h"
#include "platform/AddressBook.h"
#include "platform/DocumentWindow.h"
#include "platform/Sheet.h"
#include "shell/QvAboutBoxController.h"
#include "shell/QvPrefToolbarDelegate.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <functional>

namespace {

QString nameOf(const QWidget* widget)
{
    if (!widget->objectName().isEmpty())
        return widget->objectName();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget); button && !button->text().isEmpty())
        return QStringLiteral("%1 \"%2\"").arg(QLatin1String(widget->metaObject()->className()), button->text());
    return QLatin1String(widget->metaObject()->className());
}

// How a person tells the window apart: its title, or the message of an
// alert; with its name, where two have one title.
QString titleOf(const QWidget* window)
{
    if (auto* box = qobject_cast<const QMessageBox*>(window))
        return QStringLiteral("alert \"%1\"").arg(box->text());
    QString title = window->windowTitle();
    title.remove(QStringLiteral("[*]"));
    if (title.isEmpty())
        return nameOf(window);
    return window->objectName().isEmpty() ? title : QStringLiteral("%1 (%2)").arg(title, window->objectName());
}

// Whether a layout of the widget's parent places it: the controls the
// application lays out, not the inner parts of Qt's own (a table's header,
// the clear button of a search field), which their owner sizes.
bool placedByLayout(const QWidget* widget)
{
    const std::function<bool(QLayout*)> holds = [&](QLayout* layout) {
        for (int i = 0; layout && i < layout->count(); ++i) {
            QLayoutItem* item = layout->itemAt(i);
            if (item->widget() == widget || holds(item->layout()))
                return true;
        }
        return false;
    };
    return widget->parentWidget() && holds(widget->parentWidget()->layout());
}

// The least room a control needs: its minimum size hint, unless the
// application has set a minimum of its own (a text box of two lines, which
// scrolls). A maximum below the hint is no excuse: that is how text gets cut.
QSize neededBy(const QWidget* widget)
{
    const QSize hint = widget->minimumSizeHint();
    const QSize set = widget->minimumSize();
    return {set.width() > 0 ? set.width() : hint.width(), set.height() > 0 ? set.height() : hint.height()};
}

// Each visible control of `window` that is smaller than the room it needs, or
// than the height its wrapped text takes at its width; the window itself when
// it is smaller than its layout allows.
QStringList tooSmall(QWidget* window)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QStringList faults;
    auto note = [&faults](const QWidget* widget, const QSize& size, const QSize& needed, const char* what) {
        faults << QStringLiteral("%1 is %2 x %3, its %4 %5 x %6")
                      .arg(nameOf(widget))
                      .arg(size.width())
                      .arg(size.height())
                      .arg(QLatin1String(what))
                      .arg(needed.width())
                      .arg(needed.height());
    };
    if (QLayout* layout = window->layout()) {
        // At the size it has, and at the smallest a person can make it.
        for (const QSize& size : {window->size(), window->isWindow() ? window->minimumSize() : window->size()}) {
            QSize needed = layout->totalMinimumSize();
            if (layout->hasHeightForWidth())
                needed.setHeight(std::max(needed.height(), layout->totalHeightForWidth(size.width())));
            if (size.width() < needed.width() || size.height() < needed.height())
                note(window, size, needed, size == window->size() ? "layout needs" : "smallest, its layout needs");
        }
    }
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* widget : children) {
        if (widget->window() != window || !widget->isVisible() || !placedByLayout(widget))
            continue;
        const QSize minimum = neededBy(widget);
        if (widget->width() < minimum.width() || widget->height() < minimum.height())
            note(widget, widget->size(), minimum, "minimum size");
        else if (widget->hasHeightForWidth() && widget->height() < widget->heightForWidth(widget->width()))
            note(widget, widget->size(), QSize(widget->width(), widget->heightForWidth(widget->width())),
                 "text needs");
    }
    return faults;
}

class WindowSizesTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // Every sheet is looked at as it comes up, as the person first sees it.
        responder.setSheetHandler([this](QDialog* sheet, QWidget*) { look(sheet); });
    }
    void TearDown() override
    {
        responder.setSheetHandler({});
        ShellTest::TearDown();
    }

    void look(QWidget* window)
    {
        if (!window || !window->isVisible())
            return;
        const QString title = titleOf(window);
        seen << title;
        // A chooser is Qt's own dialog: only the controls the application puts below it are looked at.
        QWidget* part = window;
        if (auto* grid = qobject_cast<QFileDialog*>(window) ? qobject_cast<QGridLayout*>(window->layout()) : nullptr) {
            QLayoutItem* below = grid->itemAtPosition(grid->rowCount() - 1, 0);
            part = below ? below->widget() : nullptr;
            if (!part)
                return;
            seen << nameOf(part);
        }
        for (const QString& fault : tooSmall(part)) {
            // Told once, though the window is looked at again (after Retry, say).
            const QString told = title + QStringLiteral(": ") + fault;
            if (!reported.contains(told))
                ADD_FAILURE() << qPrintable(told);
            reported.insert(told);
        }
    }
    bool wasSeen(const QString& expected) const
    {
        return std::any_of(seen.begin(), seen.end(), [&](const QString& title) { return title.startsWith(expected); });
    }
    // The windows on screen now, and the sheet each shows.
    void lookAtWindows()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->isWindow() && !qobject_cast<QMenu*>(window))
                look(window);
    }
    // Ends whatever sheet is up on the window, as Escape does.
    void endSheets(QWidget* window)
    {
        while (QDialog* sheet = Sheet::attachedSheet(window)) {
            sheet->reject();
            settle();
        }
    }
    // Answers the alert that is shown on the window with one of its buttons.
    void answerAlert(QWidget* window, const QString& button)
    {
        auto* box = qobject_cast<QMessageBox*>(Sheet::attachedSheet(window));
        ASSERT_TRUE(box) << "no alert on " << qPrintable(titleOf(window));
        look(box);
        for (QAbstractButton* candidate : box->buttons())
            if (candidate->text().remove(u'&') == button) {
                candidate->click();
                settle();
                return;
            }
        ADD_FAILURE() << "no button " << qPrintable(button);
    }
    PasswordSheet* passwordSheet(QWidget* window) { return qobject_cast<PasswordSheet*>(Sheet::attachedSheet(window)); }
    void type(PasswordSheet* sheet, const QString& old, const QString& fresh, const QString& retype)
    {
        ASSERT_TRUE(sheet);
        if (sheet->oldPasswordField())
            QTest::keyClicks(sheet->oldPasswordField(), old);
        QTest::keyClicks(sheet->newPasswordField(), fresh);
        QTest::keyClicks(sheet->retypePasswordField(), retype);
        QTest::mouseClick(sheet->confirmButton(), Qt::LeftButton);
        settle();
    }
    QString writeFile(const char* name, const QByteArray& content)
    {
        QFile file(path(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }

    QStringList seen;
    QSet<QString> reported;
};

TEST_F(WindowSizesTest, EveryWindowAndSheetGivesItsControlsTheRoomTheyNeed)
{
    MemoryAddressBook noDesktopBook{{}, false};
    delegate().applicationWillFinishLaunching();
    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
    const QString password = QString::fromLatin1(kPassword);

    const struct {
        QStringList expected; // the windows and sheets the step must have shown
        std::function<void()> open;
        bool endsItsSheets = true; // false while a new document waits for its password
    } steps[] = {
        // File > New: the window asks for the first password at once.
        {{"Document Password (MandatoryPasswordSheet)"},
         [&] {
             document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
             ASSERT_TRUE(document);
             window = document->window();
             settle();
             if (!passwordSheet(window))
                 document->askMandatoryPasswordToProtectDocument();
             settle();
         },
         false},
        {{"alert \"Password inserted in the two fields doesn't match\"", "Document Password (MandatoryPasswordSheet)"},
         [&] {
             responder.showNext();
             type(passwordSheet(window), {}, QStringLiteral("secret-1"), QStringLiteral("secret-2"));
             answerAlert(window, QStringLiteral("Retry"));
         },
         false},
        {{"alert \"Password accepted\""},
         [&] {
             responder.showNext();
             PasswordSheet* again = passwordSheet(window);
             ASSERT_TRUE(again);
             again->newPasswordField()->clear();
             again->retypePasswordField()->clear();
             type(again, {}, password, password);
             answerAlert(window, QStringLiteral("OK"));
         }},
        {{"Untitled"},
         [&] {
             const DictionaryRef record = document->myArrayController()->newObject();
             record->setObject(Value(QStringLiteral("Ada")), QStringLiteral("firstName"));
             record->setObject(Value(QString(QStringLiteral("A note that goes on. ")).repeated(400)),
                               QStringLiteral("note"));
             document->addTheRecord(record);
             document->switchToViewMode();
             settle();
             lookAtWindows();
             document->switchToEditMode();
             settle();
         }},
        {{"Change Password (ChangePasswordSheet)"}, [&] { window->perform(QStringLiteral("documentPassword")); }},
        {{"alert \"Password inserted in the 'Old Master Password' field", "Change Password (ChangePasswordSheet)",
          "alert \"Password changed successfuly"},
         [&] {
             window->perform(QStringLiteral("documentPassword"));
             settle();
             responder.showNext();
             type(passwordSheet(window), QStringLiteral("wrong"), QStringLiteral("abc"), QStringLiteral("abc"));
             answerAlert(window, QStringLiteral("Retry"));
             // Retried with the right entries (the same password again).
             PasswordSheet* again = passwordSheet(window);
             ASSERT_TRUE(again);
             for (QLineEdit* field : {again->oldPasswordField(), again->newPasswordField(), again->retypePasswordField()})
                 field->clear();
             responder.showNext();
             type(again, password, password, password);
             answerAlert(window, QStringLiteral("OK"));
         }},
        {{"Document Password (InsertPasswordSheet)"}, [&] { document->showInsertPasswordSheet(window); }},
        {{"Categories (CategorySheet)"}, [&] { window->perform(QStringLiteral("editCategoriesSheet")); }},
        {{"Field Captions (LabelSheet)"}, [&] { window->perform(QStringLiteral("editLabelSheet")); }},
        {{"Export Text File (exportSettingsPanel)", "exportPanelAccessoryView"},
         [&] {
             window->perform(QStringLiteral("exportToText"));
             settle();
             QDialog* settings = Sheet::attachedSheet(window);
             ASSERT_TRUE(settings);
             // Export… asks for the file in the chooser the application shows.
             ScopedSeam<FileChooser> production(&FileChooser::production());
             settings->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
             settle();
         }},
        {{"importPanelAccessoryView", "Import Text File (importSettingsPanel)", "loadingFileSheet",
          "importingFileSheet"},
         [&] {
             // The chooser the application shows, with the import's own controls.
             {
                 ScopedSeam<FileChooser> production(&FileChooser::production());
                 window->perform(QStringLiteral("importFromText"));
                 settle();
                 endSheets(window);
             }
             chooser.answerWith(writeFile("friends.csv", "First name,Last name\nAnn,Lee\nBob,Ray\n"));
             window->perform(QStringLiteral("importFromText"));
             settle();
             ASSERT_TRUE(document->myImportManager());
             QDialog* mapping = Sheet::attachedSheet(window);
             ASSERT_TRUE(mapping);
             auto* importButton = mapping->findChild<QPushButton*>(QStringLiteral("importButton"));
             ASSERT_TRUE(importButton) << "the sheet on the window is " << qPrintable(mapping->objectName()) << " "
                                       << qPrintable(mapping->windowTitle()) << " " << mapping->metaObject()->className();
             importButton->click();
             settle();
         }},
        {{"Import from Address Book (AddressBookSheet)"},
         [&] {
             chooser.answerWith(QStringLiteral(CALVORIN_TEST_FIXTURES "/vcard/book-3.0.vcf"));
             window->perform(QStringLiteral("importFromAddressBook"));
         }},
        {{"General", "Font", "Advanced", "Update"},
         [&] {
             delegate().openPreferences();
             settle();
             for (int panel = 0; panel < 4; ++panel) {
                 preferences().toolbarDelegate()->SetPanelTab(panel);
                 if (QPropertyAnimation* resize = preferences().toolbarDelegate()->resizeAnimation())
                     resize->setCurrentTime(resize->duration());
                 settle();
                 lookAtWindows();
             }
         }},
        {{"About Calvorin"}, [&] { delegate().openAbout(); }},
        {{"Note (wholeValueSheet)"},
         [&] {
             document->switchToViewMode();
             settle();
             auto* showAll = window->findChild<QToolButton*>(QStringLiteral("showAll_note"));
             ASSERT_TRUE(showAll && showAll->isVisible());
             showAll->click();
         }},
        // A saved document opens locked, asking for its password; a wrong one is refused.
        {{"Locked.calvorin", "alert \"Wrong Password\""},
         [&] {
             QString why;
             const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("Locked.calvorin")));
             ASSERT_TRUE(document->writeToURL(url, QStringLiteral("calvorin"), &why)) << qPrintable(why);
             document->updateChangeCount(Document::ChangeCleared);
             document->close();
             settle();
             controller.openDocumentWithContentsOfURL(url, true);
             settle();
             ASSERT_EQ(documents().size(), 1);
             document = documents().first();
             window = document->window();
             lookAtWindows();
             responder.showNext();
             QTest::keyClicks(document->passwordToDecryptField(), QStringLiteral("wrong one"));
             QTest::keyClick(document->passwordToDecryptField(), Qt::Key_Return);
             settle();
             answerAlert(window, QStringLiteral("OK"));
         }},
        // Locked by hand the window shrinks to its smallest, and stays so once unlocked.
        {{"alert \"Lock Document", "Locked.calvorin"},
         [&] {
             document->submitPasswordToDecrypt(password);
             settle();
             ASSERT_TRUE(document->isDecrypted());
             responder.showNext();
             window->perform(QStringLiteral("lockDocument"));
             settle();
             answerAlert(window, QStringLiteral("OK"));
             ASSERT_TRUE(document->isEncrypted());
             EXPECT_EQ(window->size(), window->minimumSize());
             lookAtWindows();
             document->submitPasswordToDecrypt(password);
             settle();
             ASSERT_TRUE(document->isDecrypted());
             document->myTableView()->selectRow(0);
             document->switchToViewMode();
             settle();
             lookAtWindows();
             document->switchToEditMode();
             settle();
         }},
    };
    QStringList allSeen;
    for (const auto& step : steps) {
        SCOPED_TRACE(qPrintable(step.expected.first()));
        seen.clear();
        step.open();
        settle();
        lookAtWindows();
        for (const QString& expected : step.expected)
            EXPECT_TRUE(wasSeen(expected))
                << qPrintable(expected) << " was not looked at; seen: " << qPrintable(seen.join(", "));
        allSeen << seen;
        if (window && step.endsItsSheets)
            endSheets(window);
        preferences().close();
        if (QWidget* about = QvAboutBoxController::sharedAboutBoxController()->AboutBox())
            about->close();
    }
    allSeen.removeDuplicates();
    RecordProperty("windows", allSeen.join(QStringLiteral(", ")).toStdString());
}

} // namespace
