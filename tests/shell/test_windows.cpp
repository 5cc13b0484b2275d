// The preferences window with its toolbar of panels, the About window, and
// the document controller's save-and-reopen command.
#include "shell_fixture.h"

#include "shell/QvAboutBoxController.h"
#include "shell/QvPrefToolbarDelegate.h"

#include "platform/BuildConfig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

namespace {

class PreferencesTest : public ShellTest {
protected:
    QvPrefToolbarDelegate* toolbarDelegate() { return preferences().findChild<QvPrefToolbarDelegate*>(); }
    QTabWidget* tabs() { return preferences().findChild<QTabWidget*>(QStringLiteral("myTabView")); }
    QList<QAction*> items() { return toolbarDelegate()->toolbar()->actions(); }
    template <typename T>
    T* control(const char* name)
    {
        return preferences().findChild<T*>(QLatin1String(name));
    }
    void finishResize()
    {
        if (QPropertyAnimation* resize = toolbarDelegate()->resizeAnimation())
            resize->setCurrentTime(resize->duration());
        QCoreApplication::processEvents();
    }
    int panelHeight() { return tabs()->height(); }
};

TEST_F(PreferencesTest, OpensOnGeneralAtItsHeightWithAFixedToolbarOfFourPanels)
{
    delegate().openPreferences();
    settle();
    ASSERT_TRUE(preferences().isVisible());
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("General"));
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(panelHeight(), 215);
    EXPECT_FALSE(tabs()->tabBar()->isVisible());

    const QStringList labels{"General", "Font", "Advanced", "Update"};
    ASSERT_EQ(items().size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        QAction* item = items().at(i);
        EXPECT_EQ(item->objectName(), QString::number(i));
        EXPECT_EQ(item->data().toInt(), i);
        EXPECT_EQ(item->text(), labels.at(i));
        EXPECT_EQ(item->toolTip(), labels.at(i));
        EXPECT_FALSE(item->icon().isNull());
        EXPECT_TRUE(item->isCheckable());
        EXPECT_EQ(item->isChecked(), i == 0);
    }
    QToolBar* toolbar = toolbarDelegate()->toolbar();
    EXPECT_FALSE(toolbar->isMovable());
    EXPECT_FALSE(toolbar->isFloatable());
    EXPECT_EQ(toolbar->contextMenuPolicy(), Qt::PreventContextMenu);
    EXPECT_FALSE(toolbar->toggleViewAction()->isVisible());
    keepPicture(&preferences(), QStringLiteral("preferences-general"));

    preferences().activateWindow();
    QTest::keyClick(&preferences(), Qt::Key_Escape);
    EXPECT_FALSE(preferences().isVisible());
}

TEST_F(PreferencesTest, SwitchingPanelsResizesToTheirHeightsKeepingTheTopEdge)
{
    delegate().openPreferences();
    settle();
    const int top = preferences().geometry().top();
    const int generalHeight = preferences().height();

    items().at(3)->trigger();
    finishResize();
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("Update"));
    EXPECT_EQ(tabs()->currentIndex(), 3);
    EXPECT_EQ(preferences().height(), generalHeight - 65);
    EXPECT_EQ(preferences().geometry().top(), top);
    EXPECT_EQ(panelHeight(), 150);
    keepPicture(&preferences(), QStringLiteral("preferences-update"));

    const struct {
        int index;
        int expectedTab;
        int expectedPanel;
    } cases[] = {{1, 1, 160}, {4, 1, 160}, {-1, 1, 160}, {2, 2, 160}, {0, 0, 215}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        toolbarDelegate()->SetPanelTab(c.index);
        finishResize();
        EXPECT_EQ(tabs()->currentIndex(), c.expectedTab);
        EXPECT_EQ(panelHeight(), c.expectedPanel);
        EXPECT_EQ(preferences().geometry().top(), top);
        EXPECT_TRUE(items().at(c.expectedTab)->isChecked());
    }

    // An item whose tag has no panel changes nothing.
    QAction stray(QStringLiteral("Stray"));
    stray.setData(7);
    toolbarDelegate()->PanelAction(&stray);
    finishResize();
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("General"));

    preferences().hide();
    delegate().openPreferencesAtTab(1);
    finishResize();
    EXPECT_TRUE(preferences().isVisible());
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("Font"));
    EXPECT_EQ(panelHeight(), 160);
    keepPicture(&preferences(), QStringLiteral("preferences-font"));
    QObject sender;
    sender.setProperty("tag", 2);
    delegate().openPreferencesAtSenderTagTab(&sender);
    finishResize();
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("Advanced"));
    keepPicture(&preferences(), QStringLiteral("preferences-advanced"));
}

TEST_F(PreferencesTest, TheWindowHasTheFixedSizeOfItsPanelAndCannotBeMaximised)
{
    delegate().openPreferences();
    settle();
    EXPECT_FALSE(preferences().windowFlags() & Qt::WindowMaximizeButtonHint);
    const int width = preferences().width();
    const struct {
        int panel;
        int height;
    } panels[] = {{3, 150}, {0, 215}, {1, 160}};
    for (const auto& c : panels) {
        SCOPED_TRACE(c.panel);
        toolbarDelegate()->SetPanelTab(c.panel);
        finishResize();
        EXPECT_EQ(preferences().minimumSize(), preferences().maximumSize()) << "no size but the panel's";
        EXPECT_EQ(preferences().size(), preferences().maximumSize());
        EXPECT_EQ(preferences().width(), width);
        EXPECT_EQ(panelHeight(), c.height);
    }

    // Maximised all the same, the next panel comes back at its own size, not as a strip across the screen.
    preferences().setWindowState(Qt::WindowMaximized);
    settle();
    toolbarDelegate()->SetPanelTab(3);
    finishResize();
    settle();
    EXPECT_FALSE(preferences().isMaximized());
    EXPECT_EQ(preferences().width(), width);
    EXPECT_EQ(panelHeight(), 150);
    keepPicture(&preferences(), QStringLiteral("preferences-after-maximise"));

    // The start-up message takes the width of its column before it wraps.
    toolbarDelegate()->SetPanelTab(0);
    finishResize();
    delegate().clearStartupSelectedDoc();
    settle();
    QLabel* message = control<QLabel>("startupDocMessage");
    EXPECT_GE(message->width(), message->fontMetrics().horizontalAdvance(message->text()))
        << "\"" << qPrintable(message->text()) << "\" wraps in " << message->width() << " px";
}

TEST_F(PreferencesTest, AToolbarWithoutItemsOrHeightsShowsNothing)
{
    QMainWindow window;
    auto* panels = new QTabWidget;
    panels->addTab(new QWidget, QStringLiteral("only"));
    window.setCentralWidget(panels);
    window.setWindowTitle(QStringLiteral("unchanged"));
    QvPrefToolbarDelegate empty;
    empty.setMyTabView(panels);
    empty.setMyWindow(&window);
    empty.awakeFromNib();
    empty.PanelAction(nullptr);
    empty.SetPanelTab(0);
    EXPECT_TRUE(empty.toolbar()->actions().isEmpty());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("unchanged"));
    EXPECT_EQ(QvPrefToolbarDelegate::ToolbarHeightForWindow(nullptr), 0);
}

TEST_F(PreferencesTest, PanelsFollowTheDefaultsAndWriteThemBack)
{
    delegate().applicationWillFinishLaunching();
    delegate().openPreferences();
    settle();
    const QList<QPushButton*> startButtons = {control<QPushButton>("selectStartupDocButton"), control<QPushButton>("clearStartupDocButton"),
                          control<QPushButton>("showStartupDocButton"), control<QPushButton>("testStartupDocButton")};
    for (QPushButton* button : startButtons)
        EXPECT_FALSE(button->isEnabled()) << "only for the chosen document";
    control<QComboBox>("startupActionPopup")->setCurrentIndex(3);
    EXPECT_EQ(Defaults::standardUserDefaults().integerForKey(QStringLiteral("StartupActionTag")), 3);
    EXPECT_EQ(control<QComboBox>("startupActionPopup")->currentText(), QStringLiteral("Open Selected Document"));
    for (QPushButton* button : startButtons)
        EXPECT_TRUE(button->isEnabled());

    const QString file = savedDocumentFile(QStringLiteral("Family.calvorin"));
    storeBookmarkOf(file);
    EXPECT_EQ(control<QLabel>("startupDocName")->text(), QStringLiteral("Family.calvorin"));
    delegate().clearStartupSelectedDoc();
    EXPECT_EQ(control<QLabel>("startupDocMessage")->text(), QStringLiteral("Please select a file or change startup option"));
    EXPECT_TRUE(control<QLabel>("startupDocName")->text().isEmpty());
    keepPicture(&preferences(), QStringLiteral("preferences-general-cleared"));

    QCheckBox* lock = control<QCheckBox>("autolockEnabledCheck");
    QSpinBox* interval = control<QSpinBox>("autolockIntervalField");
    EXPECT_EQ(interval->value(), 120);
    EXPECT_FALSE(interval->isEnabled());
    lock->click();
    EXPECT_TRUE(Defaults::standardUserDefaults().boolForKey(QStringLiteral("autolocBackgroundEnabled")));
    EXPECT_TRUE(interval->isEnabled());
    interval->setValue(45);
    EXPECT_EQ(Defaults::standardUserDefaults().integerForKey(QStringLiteral("autolocBackgroundInterval")), 45);

    control<QCheckBox>("notifyUpdateCheck")->click();
    EXPECT_FALSE(Defaults::standardUserDefaults().boolForKey(QStringLiteral("notifyUpdate")));
    control<QDoubleSpinBox>("tableFontSizeField")->setValue(15);
    EXPECT_EQ(Defaults::standardUserDefaults().doubleForKey(QStringLiteral("tableFontSize")), 15.0);
}

class AboutTest : public ShellTest {};

TEST_F(AboutTest, LoadsOnceShowsTheProductAndKeepsAVisibleWindowWhereItIs)
{
    QvAboutBoxController* about = QvAboutBoxController::sharedAboutBoxController();
    EXPECT_EQ(about, QvAboutBoxController::sharedAboutBoxController());
    delegate().openAbout();
    settle();
    const int loads = about->loadCount();
    EXPECT_GE(loads, 1);
    QWidget* window = about->AboutBox();
    ASSERT_TRUE(window && window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("About Calvorin"));
    EXPECT_EQ(about->appName(), QStringLiteral("Calvorin"));
    EXPECT_EQ(about->vendorName(), QStringLiteral("Korvane Software - Zundel"));
    EXPECT_EQ(about->releaseString(), QStringLiteral("3.6.2"));
    EXPECT_EQ(about->buildString(), QStringLiteral(CALVORIN_BUILD_VERSION));
    EXPECT_EQ(about->appStantment(), QStringLiteral("Store your contacts secure and encrypted"));
    QStringList shown;
    for (QLabel* label : window->findChildren<QLabel*>())
        shown << label->text();
    for (const QString& text : {QStringLiteral("Calvorin"), QStringLiteral("3.6.2"), about->copyrightNote(),
                                QStringLiteral("Store your contacts secure and encrypted")})
        EXPECT_TRUE(shown.contains(text)) << qPrintable(text);
    EXPECT_TRUE(window->findChild<QPushButton*>(QStringLiteral("userGuideButton"))->isVisible());
    keepPicture(window, QStringLiteral("about"));

    window->move(window->pos() + QPoint(40, 30));
    const QPoint moved = window->pos();
    window->setWindowTitle(QStringLiteral("kept while shown"));
    delegate().openAbout();
    EXPECT_EQ(window->pos(), moved);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("kept while shown"));
    EXPECT_EQ(about->AboutBox(), window);
    window->close();
    delegate().openAbout();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("About Calvorin"));
    EXPECT_EQ(about->AboutBox(), window);
    EXPECT_EQ(about->loadCount(), loads) << "loaded once, shown again";
    window->close();
}

// Records what the controller is asked to open.
class RecordingController : public QvRevertDocController {
public:
    void openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenCompletion completion = {}) override
    {
        reopened.append(url.toLocalFile());
        QvRevertDocController::openDocumentWithContentsOfURL(url, display, std::move(completion));
    }
    QStringList reopened;
};

class RevertControllerTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        reverting.registerContactsDocumentType();
    }
    void TearDown() override
    {
        for (Document* document : reverting.documents())
            document->close();
        ShellTest::TearDown();
    }
    MyDocument* saved(const QString& name)
    {
        auto* document = static_cast<MyDocument*>(reverting.openUntitledDocumentAndDisplay(true, nullptr));
        document->setPlainPassword(QString::fromLatin1(kPassword));
        QString why;
        const QUrl url = QUrl::fromLocalFile(path(name));
        EXPECT_TRUE(document->writeToURL(url, QStringLiteral("calvorin"), &why));
        document->setFileURL(url);
        document->updateChangeCount(Document::ChangeCleared);
        settle();
        return document;
    }
    RecordingController reverting;
};

TEST_F(RevertControllerTest, SavesAnEditedDocumentFirstAndReopensOnlyAfterASuccessfulSave)
{
    MyDocument* clean = saved(QStringLiteral("clean.calvorin"));
    reverting.advancedLockDocument(clean);
    EXPECT_TRUE(reverting.reopened.isEmpty()) << "on the next turn of the loop";
    settle();
    EXPECT_EQ(reverting.reopened, QStringList{clean->fileURL().toLocalFile()});
    EXPECT_EQ(reverting.documents().size(), 1) << "the open document is shown, not read again";

    reverting.reopened.clear();
    const QByteArray before = [&] {
        QFile f(clean->fileURL().toLocalFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    clean->addTheRecord(clean->myArrayController()->newObject());
    ASSERT_TRUE(clean->isDocumentEdited());
    reverting.advancedLockDocument(clean);
    settle();
    EXPECT_FALSE(clean->isDocumentEdited()) << "saved first";
    QFile after(clean->fileURL().toLocalFile());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_NE(after.readAll(), before);
    EXPECT_EQ(reverting.reopened, QStringList{clean->fileURL().toLocalFile()});

    // An untitled document: the save asks for a file; cancelled, or into a folder that is not there.
    for (const QStringList& answer : {QStringList{}, QStringList{path(QStringLiteral("no/such/folder.calvorin"))}}) {
        SCOPED_TRACE(answer.join(QString()).toStdString());
        reverting.reopened.clear();
        auto* untitled = static_cast<MyDocument*>(reverting.openUntitledDocumentAndDisplay(true, nullptr));
        untitled->setPlainPassword(QString::fromLatin1(kPassword));
        untitled->addTheRecord(untitled->myArrayController()->newObject());
        chooser.answerWith(answer);
        reverting.advancedLockDocument(untitled);
        settle();
        EXPECT_TRUE(untitled->isDocumentEdited());
        EXPECT_TRUE(untitled->fileURL().isEmpty());
        EXPECT_TRUE(reverting.reopened.isEmpty());
        untitled->updateChangeCount(Document::ChangeCleared);
        untitled->close();
        settle();
    }
}

TEST_F(RevertControllerTest, ReopeningADocumentWithoutAFileOrOneClosedMeanwhileDoesNothing)
{
    auto* untitled = static_cast<MyDocument*>(reverting.openUntitledDocumentAndDisplay(true, nullptr));
    reverting.CloseAndReopenTheDoc(untitled);
    MyDocument* closing = saved(QStringLiteral("closing.calvorin"));
    reverting.advancedLockDocument(closing);
    closing->close();
    settle();
    reverting.CloseAndReopenTheDoc(nullptr);
    EXPECT_TRUE(reverting.reopened.isEmpty());
    EXPECT_TRUE(responder.alerts().isEmpty()) << "no word of files that cannot be opened";
}

} // namespace

TEST_F(PreferencesTest, TabGoesRoundTheWindowAndSpacePicksAPanel)
{
    delegate().openPreferences();
    settle();
    preferences().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preferences()));

    // From a window that opened with no focus, Tab goes round its controls
    // and the panel buttons of the toolbar, and comes back.
    QList<QWidget*> visited;
    for (int i = 0; i < 12; ++i) {
        QWidget* from = QApplication::focusWidget() ? QApplication::focusWidget() : &preferences();
        QTest::keyClick(from, Qt::Key_Tab);
        if (QWidget* now = QApplication::focusWidget(); now && !visited.contains(now))
            visited << now;
    }
    EXPECT_TRUE(visited.contains(control<QWidget>("startupActionPopup")));
    for (int index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        QWidget* button = toolbarDelegate()->toolbar()->widgetForAction(items().at(index));
        ASSERT_TRUE(button);
        EXPECT_TRUE(visited.contains(button));
    }

    for (int index : {2, 1}) {
        SCOPED_TRACE(index);
        QWidget* button = toolbarDelegate()->toolbar()->widgetForAction(items().at(index));
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
        finishResize();
        EXPECT_EQ(tabs()->currentIndex(), index);
    }
}
