// The application as a person uses it: started on a remembered document, the
// preferences changed through their window, the application left in the
// background, then About and Software Update from the Help menu.
#include "shell_fixture.h"

#include "shell/QvAboutBoxController.h"
#include "shell/QvPrefToolbarDelegate.h"

#include "platform/DocumentWindow.h"
#include "platform/Sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

class WalkthroughTest : public ShellTest {
protected:
    void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(widget, key, modifiers);
        settle();
    }
    void typeInto(QWidget* widget, const QString& text)
    {
        ASSERT_TRUE(widget && widget->isVisible());
        widget->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(widget, text);
        settle();
    }
    // Chooses a menu command as a person does: the menu opens, the item is triggered.
    void choose(QMenu* menu, const char* command)
    {
        emit menu->aboutToShow();
        QAction* action = nullptr;
        for (QAction* candidate : menu->actions())
            if (candidate->objectName() == QLatin1String(command))
                action = candidate;
        ASSERT_TRUE(action) << command;
        ASSERT_TRUE(action->isEnabled()) << command;
        action->trigger();
        settle();
    }
    void clickPanel(const char* label)
    {
        QToolBar* toolbar = preferences().findChild<QvPrefToolbarDelegate*>()->toolbar();
        for (QAction* item : toolbar->actions())
            if (item->text() == QLatin1String(label))
                QTest::mouseClick(toolbar->widgetForAction(item), Qt::LeftButton);
        if (QPropertyAnimation* resize = preferences().findChild<QvPrefToolbarDelegate*>()->resizeAnimation())
            resize->setCurrentTime(resize->duration());
        settle();
    }
    // A document saved from its window, with one contact.
    QString documentSavedByHand(const QString& name)
    {
        auto* document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
        settle();
        Sheet::endAll(document->window());
        document->setPlainPassword(QString::fromLatin1(kPassword));
        const DictionaryRef record = document->myArrayController()->newObject();
        record->setObject(Value(QStringLiteral("Ada")), QStringLiteral("firstName"));
        record->setObject(Value(QStringLiteral("Lovelace")), QStringLiteral("lastName"));
        document->addTheRecord(record);
        QString why;
        const QUrl url = QUrl::fromLocalFile(path(name));
        EXPECT_TRUE(document->writeToURL(url, QStringLiteral("calvorin"), &why)) << qPrintable(why);
        document->updateChangeCount(Document::ChangeCleared);
        document->close();
        settle();
        return url.toLocalFile();
    }
};

TEST_F(WalkthroughTest, StartsOnTheRememberedDocumentLocksItInTheBackgroundAndOffersHelp)
{
    const QString file = documentSavedByHand(QStringLiteral("Friends.calvorin"));
    storeBookmarkOf(file);
    setDefault("StartupActionTag", Value::int32(3));
    shell->launch({});
    settle();

    // It opens locked; the password unlocks it.
    ASSERT_EQ(documents().size(), 1);
    MyDocument* document = documents().first();
    DocumentWindow* window = document->window();
    ASSERT_TRUE(window && window->isVisible());
    EXPECT_TRUE(document->isEncrypted());
    typeInto(document->passwordToDecryptField(), QString::fromLatin1(kPassword));
    press(document->passwordToDecryptField(), Qt::Key_Return);
    ASSERT_TRUE(document->isDecrypted());

    // The contact is opened for editing and renamed.
    QTableView* table = document->myTableView();
    table->setFocus();
    table->selectRow(0);
    press(table, Qt::Key_Return);
    typeInto(window->findChild<QWidget*>(QStringLiteral("edit_firstName")), QStringLiteral("Grace"));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), QStringLiteral("Grace Lovelace"));

    // Edit > Preferences…, the Font panel: another family, and the list follows.
    choose(window->editMenu(), "openPreferences");
    ASSERT_TRUE(preferences().isVisible());
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("General"));
    clickPanel("Font");
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("Font"));
    auto* family = preferences().findChild<QComboBox*>(QStringLiteral("myFontPopup"));
    ASSERT_EQ(family->count(), 2);
    family->setFocus();
    press(family, Qt::Key_End);
    EXPECT_EQ(family->currentText(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(Defaults::standardUserDefaults().stringForKey(QStringLiteral("tableFontFamily")), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(table->font().family(), QStringLiteral("DejaVu Serif"));
    keepPicture(&preferences(), QStringLiteral("preferences-font-chosen"));

    // Advanced: lock after 10 seconds in the background (that is, after 30).
    clickPanel("Advanced");
    QTest::mouseClick(preferences().findChild<QCheckBox*>(QStringLiteral("autolockEnabledCheck")), Qt::LeftButton);
    typeInto(preferences().findChild<QSpinBox*>(QStringLiteral("autolockIntervalField")), QStringLiteral("10"));
    EXPECT_EQ(Defaults::standardUserDefaults().integerForKey(QStringLiteral("autolocBackgroundInterval")), 10);
    preferences().close();
    settle();

    // Closing the window asks about the edit; the question is still up when the user leaves.
    responder.showNext();
    window->close();
    settle();
    ASSERT_TRUE(window->attachedSheet());
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    timers.advance(29s);
    settle();
    EXPECT_TRUE(document->isDecrypted());
    timers.advance(1s);
    settle();
    EXPECT_TRUE(document->isEncrypted()) << "locked 30 seconds later";
    EXPECT_FALSE(window->attachedSheet()) << "the question ended";
    ASSERT_EQ(documents().size(), 1) << "as Cancel: the document stays open";
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);

    // The unlock shows the edit again.
    typeInto(document->passwordToDecryptField(), QString::fromLatin1(kPassword));
    press(document->passwordToDecryptField(), Qt::Key_Return);
    ASSERT_TRUE(document->isDecrypted());
    EXPECT_EQ(document->myTableView()->model()->index(0, 0).data().toString(), QStringLiteral("Grace Lovelace"));
    keepPicture(window, QStringLiteral("document-after-unlock"));
    EXPECT_TRUE(document->isDocumentEdited());

    // Help > About Calvorin.
    choose(window->helpMenu(), "openAbout");
    QWidget* about = QvAboutBoxController::sharedAboutBoxController()->AboutBox();
    ASSERT_TRUE(about && about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Calvorin"));
    about->close();

    // Help > Software Update…: no mirror answers on the closed port.
    choose(window->helpMenu(), "checkForLastReleaseAvailable");
    const QString failure = QStringLiteral("Calvorin was not able to connect to the Zundel server");
    QElapsedTimer waited;
    waited.start();
    while (!responder.messageTexts().contains(failure) && waited.elapsed() < 10000) {
        settle();
        QTest::qWait(20);
    }
    EXPECT_TRUE(responder.messageTexts().contains(failure));

    document->updateChangeCount(Document::ChangeCleared);
}

} // namespace
