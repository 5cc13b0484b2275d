// On a real X display with a stacking window manager, the keyboard belongs to
// the document window again right after any of its sheets ends: Ctrl+S typed
// on the keyboard saves the document. Sheets are opened by the window's
// commands and ended as a user ends them, with keys and clicks that go
// through the display and the window manager like a person's.
#include "shell/ApplicationShell.h"
#include "shell/QvRevertDocController.h"

#include "document/MyDocument.h"
#include "document/FilteringArrayController.h"
#include "exchange/ExchangeInstall.h"
#include "exchange/MyDataImportManager.h"
#include "platform/AddressBook.h"
#include "platform/Alert.h"
#include "platform/Defaults.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"
#include "platform/KeyboardFocus.h"
#include "platform/Sheet.h"
#include "update/QvPhoneHome.h"
#include "update/loopback_mirror.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

constexpr const char* kPassword = "secret-1";

// The keyboard and the mouse of the display, as a person uses them.
void input(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(xdotool.waitForFinished(10000)) << "xdotool did not end";
    ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
}
void pressKeys(const QString& keys) { input({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys}); }
void typeText(const QString& text) { input({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text}); }
// Where the display has put a top-level window, which the toolkit may learn
// only later when the window manager has just moved it.
QPoint placeOnDisplay(QWidget* window)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window->winId())});
    if (!xwininfo.waitForFinished(10000) || xwininfo.exitCode() != 0)
        return window->mapToGlobal(QPoint());
    QPoint place;
    for (const QByteArray& line : xwininfo.readAllStandardOutput().split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith("Absolute upper-left X:"))
            place.setX(text.mid(text.indexOf(':') + 1).trimmed().toInt());
        else if (text.startsWith("Absolute upper-left Y:"))
            place.setY(text.mid(text.indexOf(':') + 1).trimmed().toInt());
    }
    return place;
}
void click(QWidget* widget)
{
    const QPoint centre = placeOnDisplay(widget->window()) + widget->mapTo(widget->window(), widget->rect().center());
    input({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()),
           QStringLiteral("click"), QStringLiteral("1")});
}

// Set CALVORIN_PICTURES to a folder to keep a picture of the screen where a step fails.
std::string screenKeptAs(const char* step)
{
    const QString folder = qEnvironmentVariable("CALVORIN_PICTURES");
    if (folder.isEmpty())
        return {};
    QDir().mkpath(folder);
    const QString name = QDir(folder).filePath(QString::fromLatin1(step).replace(QLatin1Char(' '), QLatin1Char('-')) +
                                               QStringLiteral(".png"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(name);
    return " (screen kept in " + name.toStdString() + ")";
}

bool displayFocusIsOn(QWidget* window)
{
    return window && window->isVisible() && window->windowHandle() && KeyboardFocus::displayFocus() == window->winId();
}

// Alerts wait for the keyboard, as they do for a person.
class PersonAtTheKeyboard : public AlertResponder {
public:
    PersonAtTheKeyboard() : m_install(this) {}
    std::optional<int> answer(const ShownAlert&) override { return std::nullopt; }

private:
    ScopedSeam<AlertResponder> m_install;
};

AddressBookPerson adaByron()
{
    AddressBookPerson ada;
    ada.firstName = QStringLiteral("Ada");
    ada.lastName = QStringLiteral("Byron");
    return ada;
}

class KeyboardOnDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "this test needs an X display";
        installExchangeManagers();
        controller.registerContactsDocumentType();
        shell = std::make_unique<ApplicationShell>(controller);
        const QString refused = LoopbackMirror::refusedUrl();
        QvPhoneHome::sharedPhoneHome()->SetValueAppRelease(30602, QStringLiteral("Calvorin"), refused, refused, refused,
                                                          refused);
        Defaults::standardUserDefaults().setObject(Value::dateFromDateTime(QDateTime::currentDateTime()),
                                                   QLatin1String(QvPhoneHome::kLastCheckDateKey));
        shell->setQuitHandler([] {});
    }
    void TearDown() override
    {
        for (Document* document : controller.documents())
            document->close();
        QTest::qWait(50);
        shell.reset();
    }

    // The document as a user has it: a saved file opened by the application,
    // unlocked by typing its password.
    void openSavedDocument()
    {
        file = dir.filePath(QStringLiteral("book.calvorin"));
        {
            auto* made = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(false, nullptr));
            made->setPlainPassword(QString::fromLatin1(kPassword));
            QString why;
            ASSERT_TRUE(made->writeToURL(QUrl::fromLocalFile(file), QStringLiteral("calvorin"), &why)) << qPrintable(why);
            made->close();
        }
        shell->launch({file});
        ASSERT_TRUE(QTest::qWaitFor([this] { return !controller.documents().isEmpty(); }, 5000));
        document = static_cast<MyDocument*>(controller.documents().first());
        window = document->myWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return displayFocusIsOn(window); }, 5000))
            << "the window manager never gave the new window the keyboard";
        typeText(QString::fromLatin1(kPassword));
        pressKeys(QStringLiteral("Return"));
        ASSERT_TRUE(QTest::qWaitFor([this] { return document->isDecrypted(); }, 5000)) << "typing the password did not unlock";
    }

    QByteArray fileBytes() const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1) : QByteArray();
    }
    void addRecord()
    {
        const DictionaryRef record = document->myArrayController()->newObject();
        record->setObject(Value(QStringLiteral("Edited")), QStringLiteral("firstName"));
        document->addTheRecord(record);
    }
    // The sheet that has this button is up and the window manager gave it
    // the keyboard (a progress sheet may come and go before it).
    QAbstractButton* buttonOfSheetWithKeyboard(const char* name)
    {
        QAbstractButton* button = nullptr;
        const bool up = QTest::qWaitFor(
            [&] {
                QDialog* shown = Sheet::attachedSheet(window);
                button = shown ? shown->findChild<QAbstractButton*>(QLatin1String(name)) : nullptr;
                return button && displayFocusIsOn(shown);
            },
            10000);
        EXPECT_TRUE(up) << "no sheet with " << name << " came up with the keyboard" << screenKeptAs(name);
        return up ? button : nullptr;
    }
    void endWithButton(const char* name)
    {
        if (QAbstractButton* button = buttonOfSheetWithKeyboard(name))
            click(button);
    }
    void endWithEscape()
    {
        const bool up = QTest::qWaitFor(
            [&] {
                QDialog* shown = Sheet::attachedSheet(window);
                return shown && displayFocusIsOn(shown);
            },
            10000);
        EXPECT_TRUE(up) << "no sheet came up with the keyboard" << screenKeptAs("escape");
        if (up)
            pressKeys(QStringLiteral("Escape"));
    }
    // What is up on the window and in front of it, for a failure's message.
    QString shownSheets() const
    {
        QStringList shown;
        if (QDialog* sheet = Sheet::attachedSheet(window))
            shown << QStringLiteral("sheet %1 (%2 in all)").arg(sheet->objectName()).arg(Sheet::count(window));
        if (QWidget* modal = QApplication::activeModalWidget())
            shown << QStringLiteral("modal %1 \"%2\"").arg(modal->objectName(), modal->windowTitle());
        return shown.join(QStringLiteral(", "));
    }
    QString whereTheKeyboardIs() const
    {
        const QWindow* focus = QGuiApplication::focusWindow();
        return QStringLiteral("the display gives it to 0x%1, the window is 0x%2 at %3,%4; the toolkit gives it to %5")
            .arg(KeyboardFocus::displayFocus(), 0, 16)
            .arg(window->winId(), 0, 16)
            .arg(window->x())
            .arg(window->y())
            .arg(focus ? QStringLiteral("0x%1 \"%2\"").arg(focus->winId(), 0, 16).arg(focus->title()) : QStringLiteral("none"));
    }
    MyDataImportManager* importer() const { return static_cast<MyDataImportManager*>(document->myImportManager()); }

    QTemporaryDir dir;
    PersonAtTheKeyboard person;
    ScriptedFileChooser chooser;
    MemoryAddressBook book{{adaByron()}, true};
    QvRevertDocController controller;
    std::unique_ptr<ApplicationShell> shell;
    QString file;
    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
};

} // namespace

TEST_F(KeyboardOnDesktopTest, ControlSSavesRightAfterEachKindOfSheetEnds)
{
    ASSERT_NO_FATAL_FAILURE(openSavedDocument());
    QFile people(dir.filePath(QStringLiteral("people.csv")));
    ASSERT_TRUE(people.open(QIODevice::WriteOnly));
    people.write("First Name,Last Name\nAnn,Lee\nBob,Ray\nCid,Fox\n");
    people.close();

    struct Case {
        const char* sheet;
        std::function<void()> openAndEnd;
    };
    const auto importThroughProgressSheets = [&] {
        chooser.answerWith(people.fileName());
        window->perform(QStringLiteral("importFromText"));
        ASSERT_TRUE(buttonOfSheetWithKeyboard("importButton"));
        for (qsizetype column = 0; column < 2; ++column)
            importer()->destFieldArray()->objectAtIndex(column).dictionary()->setObject(
                Value::int32(int(column) + 3), QvDataImportManager::kDestination);
        importer()->calcNumberOfImportedFields();
        endWithButton("importButton");
    };
    // The progress sheets of a small import come and go faster than the
    // window manager shows them, and how the two cross differs from run to
    // run: the import is done three times.
    const std::vector<Case> table = {
        {"text import, done through its progress sheets", importThroughProgressSheets},
        {"text import, done again", importThroughProgressSheets},
        {"text import, done a third time", importThroughProgressSheets},
        {"text import, cancelled", [&] {
             chooser.answerWith(people.fileName());
             window->perform(QStringLiteral("importFromText"));
             endWithButton("cancelButton");
         }},
        {"address-book import", [&] {
             window->perform(QStringLiteral("importFromAddressBook"));
             endWithButton("importAllButton");
         }},
        {"export", [&] {
             window->perform(QStringLiteral("exportToText"));
             endWithEscape();
         }},
        {"alert", [&] {
             window->perform(QStringLiteral("lockDocument"));
             endWithEscape();
         }},
        {"password", [&] {
             window->perform(QStringLiteral("documentPassword"));
             endWithEscape();
         }},
        {"categories", [&] {
             window->perform(QStringLiteral("editCategoriesSheet"));
             endWithEscape();
         }},
        {"captions", [&] {
             window->perform(QStringLiteral("editLabelSheet"));
             endWithEscape();
         }},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.sheet);
        addRecord();
        ASSERT_TRUE(document->isDocumentEdited());
        c.openAndEnd();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Sheet::count(window) == 0 && !QApplication::activeModalWidget(); }, 10000))
            << "the sheet did not end: " << qPrintable(shownSheets()) << screenKeptAs(c.sheet);
        // As soon as a person can: the display and the application both give
        // the window the keyboard, and stay so for a moment.
        const auto keyboardBack = [&] {
            return displayFocusIsOn(window) && QGuiApplication::focusWindow() == window->windowHandle();
        };
        ASSERT_TRUE(QTest::qWaitFor(keyboardBack, 10000))
            << "the keyboard did not come back to the window: " << qPrintable(whereTheKeyboardIs()) << screenKeptAs(c.sheet);
        QTest::qWait(250);
        ASSERT_TRUE(QTest::qWaitFor(keyboardBack, 5000))
            << "the keyboard went away from the window again: " << qPrintable(whereTheKeyboardIs()) << screenKeptAs(c.sheet);
        const QByteArray before = fileBytes();
        pressKeys(QStringLiteral("ctrl+s"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !document->isDocumentEdited() && fileBytes() != before; }, 5000))
            << "Ctrl+S did not save" << screenKeptAs(c.sheet);
        ASSERT_TRUE(document->isDecrypted());
    }
    EXPECT_EQ(document->myArray()->count(), qsizetype(table.size()) + 3 * 4 + 1);
}
