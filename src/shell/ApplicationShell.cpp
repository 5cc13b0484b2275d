#include "shell/ApplicationShell.h"

#include "shell/MyAppDelegate.h"
#include "shell/PreferencesWindow.h"
#include "shell/ShellResources.h"

#include "platform/DocumentController.h"
#include "platform/KeyboardFocus.h"
#include "platform/MainQueue.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

ApplicationShell::ApplicationShell(DocumentController& controller, QObject* parent)
    : QObject(parent), m_controller(controller), m_quit([] { QCoreApplication::quit(); })
{
    ShellResources::load();
    QApplication::setWindowIcon(ShellResources::applicationIcon());
    KeyboardFocus::keepInStepWithDisplay();
    MyAppDelegate::initialize();
    m_delegate = std::make_unique<MyAppDelegate>();
    m_preferences = std::make_unique<PreferencesWindow>(m_delegate.get());

    connect(m_delegate.get(), &QvAppDelegateBase::startupStepEnded, this, &ApplicationShell::checkForNoWindowSoon);
    connect(&m_controller, &DocumentController::openPanelEnded, this, &ApplicationShell::checkForNoWindowSoon);
    qApp->installEventFilter(this);
}

ApplicationShell::~ApplicationShell()
{
    qApp->removeEventFilter(this);
    m_preferences.reset();
    m_delegate.reset();
}

void ApplicationShell::launch(const QStringList& files)
{
    m_delegate->applicationWillFinishLaunching();
    if (!files.isEmpty())
        m_controller.openDocumentsFromCommandLine(files);
    else if (m_delegate->applicationShouldOpenUntitledFile())
        m_controller.newDocument();
    m_delegate->applicationDidFinishLaunching();
    checkForNoWindowSoon();
}

bool ApplicationShell::eventFilter(QObject* watched, QEvent* event)
{
    // A dialog of ours that goes away (a chooser, an alert) may have been the last window.
    if (event->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
        checkForNoWindowSoon();
    return QObject::eventFilter(watched, event);
}

void ApplicationShell::checkForNoWindowSoon()
{
    if (m_checkPending)
        return;
    m_checkPending = true;
    // Twice round the queue: whatever the ending step posted (an error alert,
    // the next window) comes up first.
    MainQueue::post(this, [this] {
        MainQueue::post(this, [this] {
            m_checkPending = false;
            endIfNoWindowLeft();
        });
    });
}

void ApplicationShell::endIfNoWindowLeft()
{
    if (!m_delegate->finishedLaunching() || m_delegate->startupAnswerPending() || !m_controller.documents().isEmpty())
        return;
    if (!QGuiApplication::quitOnLastWindowClosed())
        return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::Desktop)
            return;
    }
    if (m_quit)
        m_quit();
}
