#include "shell/QvAppDelegateBase.h"

#include "shell/QvAboutBoxController.h"
#include "shell/QvPrefToolbarDelegate.h"

#include "platform/Alert.h"
#include "platform/Defaults.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"
#include "platform/FileRevealer.h"
#include "platform/MainQueue.h"
#include "platform/ValueTransformer.h"
#include "toolkit/QvAppSupportUtility.h"
#include "toolkit/QvBookmark.h"
#include "toolkit/QvValueTransformers.h"
#include "update/QvPhoneHome.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include <chrono>

namespace {
const QString kPleaseSelect = QStringLiteral("Please select a file or change startup option");

QPointer<QvAppDelegateBase>& sharedDelegate()
{
    static QPointer<QvAppDelegateBase> delegate;
    return delegate;
}

Defaults& defaults()
{
    return Defaults::standardUserDefaults();
}
} // namespace

QvAppDelegateBase::QvAppDelegateBase(QObject* parent)
    : Observable(parent),
      m_appName(QStringLiteral("Calvorin")),
      m_vendorName(QStringLiteral("Korvane Software - Zundel")),
      m_releaseString(QvAppSupportUtility::calcReleaseString(QvAppSupportUtility::kReleaseNumber))
{
    if (!sharedDelegate())
        sharedDelegate() = this;
    ValueTransformer::setValueTransformer(std::make_shared<const QvValueNotEqualToRef>(0), QStringLiteral("valueNot0"));
}

QvAppDelegateBase::~QvAppDelegateBase()
{
    if (m_startupTimer)
        m_startupTimer->invalidate();
}

QvAppDelegateBase* QvAppDelegateBase::applicationDelegate()
{
    return sharedDelegate();
}

DocumentController* QvAppDelegateBase::controller()
{
    return DocumentController::sharedDocumentController();
}

// Values for bindings

void QvAppDelegateBase::announce(const char* keyPath)
{
    emit valueChangedForKeyPath(QString::fromLatin1(keyPath));
}

void QvAppDelegateBase::setDocumentIsOpening(bool opening)
{
    if (m_documentIsOpening == opening)
        return;
    m_documentIsOpening = opening;
    announce("documentIsOpening");
}

void QvAppDelegateBase::setStartupDocPathMessageString(const QString& message)
{
    if (m_startupDocPathMessageString == message)
        return;
    m_startupDocPathMessageString = message;
    announce("StartupDocPathMessageString");
}

void QvAppDelegateBase::setStartupDocSpecified(bool specified)
{
    if (m_startupDocSpecified == specified)
        return;
    m_startupDocSpecified = specified;
    announce("StartupDocSpecified");
}

Value QvAppDelegateBase::valueForKeyPath(const QString& keyPath) const
{
    if (keyPath == QLatin1String("StartupDocPathMessageString"))
        return Value::string(m_startupDocPathMessageString);
    if (keyPath == QLatin1String("StartupDocSpecified"))
        return Value::boolean(m_startupDocSpecified);
    if (keyPath == QLatin1String("documentIsOpening"))
        return Value::boolean(m_documentIsOpening);
    if (keyPath == QLatin1String("appName"))
        return Value::string(m_appName);
    if (keyPath == QLatin1String("vendorName"))
        return Value::string(m_vendorName);
    if (keyPath == QLatin1String("releaseString"))
        return Value::string(m_releaseString);
    return {};
}

bool QvAppDelegateBase::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    if (keyPath == QLatin1String("StartupDocPathMessageString"))
        setStartupDocPathMessageString(value.stringValue());
    else if (keyPath == QLatin1String("StartupDocSpecified"))
        setStartupDocSpecified(value.boolValue());
    else if (keyPath == QLatin1String("documentIsOpening"))
        setDocumentIsOpening(value.boolValue());
    else
        return false;
    return true;
}

// Launching

bool QvAppDelegateBase::applicationShouldOpenUntitledFile() const
{
    return startupAction() == NewDocumentAction;
}

QvAppDelegateBase::StartupAction QvAppDelegateBase::startupAction() const
{
    // Read whole: the low bits of a long number could name an action by chance.
    const qint64 tag = defaults().objectForKey(QLatin1String(kStartupActionTag)).longLongValue();
    return tag >= NewDocumentAction && tag <= SelectedDocumentAction ? StartupAction(tag) : NewDocumentAction;
}

void QvAppDelegateBase::insertMenuItem(QMenu* menu, QAction* action, int index)
{
    const QList<QAction*> actions = menu->actions();
    if (index >= 0 && index < actions.size())
        menu->insertAction(actions.at(index), action);
    else
        menu->addAction(action);
}

void QvAppDelegateBase::adjustBeforeFinishingLaunching()
{
    QPointer<QvAppDelegateBase> guard(this);
    DocumentWindow::setApplicationCommands([guard](DocumentWindow& window) {
        if (guard)
            guard->addApplicationCommands(window);
    });
}

void QvAppDelegateBase::addApplicationCommands(DocumentWindow& window)
{
    QPointer<QvAppDelegateBase> guard(this);
    auto run = [guard](void (QvAppDelegateBase::*member)()) {
        return [guard, member] {
            if (guard)
                (guard.data()->*member)();
        };
    };
    QMenu* help = window.helpMenu();
    window.addCommand(help, QStringLiteral("openUserGuide"), getUserGuideName(), QKeySequence::HelpContents,
                      run(&QvAppDelegateBase::openUserGuide));
    help->addSeparator();
    window.addCommand(help, QStringLiteral("visitUs"), tr("Calvorin on the Web"), {}, run(&QvAppDelegateBase::visitUs));
    window.addCommand(help, QStringLiteral("visitAppUrl"), tr("Calvorin Product Page"), {},
                      run(&QvAppDelegateBase::visitAppUrl));
    window.addCommand(help, QStringLiteral("visitTwitter"), tr("Follow Calvorin"), {},
                      run(&QvAppDelegateBase::visitTwitter));
    window.addCommand(help, QStringLiteral("emailUs"), tr("Write to Support…"), {}, run(&QvAppDelegateBase::emailUs));
    help->addSeparator();
    window.addCommand(help, QStringLiteral("openAbout"), tr("About Calvorin"), {}, run(&QvAppDelegateBase::openAbout));

    // Directly below the first item of the menu.
    QAction* update = window.addCommand(nullptr, QStringLiteral("checkForLastReleaseAvailable"),
                                        QStringLiteral("Software Update\u2026"), {},
                                        run(&QvAppDelegateBase::checkForLastReleaseAvailable));
    insertMenuItem(help, update, 1);

    QMenu* edit = window.editMenu();
    edit->addSeparator();
    // Where the desktop names no key for the preferences (most do not), the common Ctrl+, opens them.
    QKeySequence preferencesKeys(QKeySequence::Preferences);
    if (preferencesKeys.isEmpty())
        preferencesKeys = QKeySequence(Qt::CTRL | Qt::Key_Comma);
    window.addCommand(edit, QStringLiteral("openPreferences"), QStringLiteral("Preferences\u2026"), preferencesKeys,
                      run(&QvAppDelegateBase::openPreferences));
    window.validateCommands();
}

// The start-up document

QUrl QvAppDelegateBase::resolveStoredBookmark(bool* isStale) const
{
    *isStale = false;
    return QvBookmark::urlForBookmark(defaults().dataForKey(QLatin1String(kStartupSelectedDocBookmark)), isStale);
}

bool QvAppDelegateBase::renewBookmark(const QUrl& url)
{
    const QByteArray fresh = QvBookmark::bookmarkForURL_RW(url);
    if (fresh.isEmpty())
        return false;
    if (!defaults().setObject(Value::data(fresh), QLatin1String(kStartupSelectedDocBookmark)))
        return false;
    setStartupDocPathMessageString(QStringLiteral("Bookmark renewed"));
    return true;
}

bool QvAppDelegateBase::accessGranted(const QUrl& url)
{
    const QFileInfo info(url.toLocalFile());
    return !url.toLocalFile().isEmpty() && info.isFile() && info.isReadable();
}

void QvAppDelegateBase::openStartupDocument(const QUrl& url)
{
    DocumentController* documents = controller();
    if (!documents)
        return;
    QPointer<QvAppDelegateBase> guard(this);
    documents->openDocumentWithContentsOfURL(url, true, [guard](Document*, bool) {
        if (guard)
            emit guard->startupStepEnded();
    });
}

void QvAppDelegateBase::executeDocumentStartupAsInPref()
{
    using namespace std::chrono_literals;
    QPointer<QvAppDelegateBase> guard(this);
    switch (startupAction()) {
    case NewDocumentAction:
        m_startupTimer = Timer::scheduledTimer(1000ms, [guard] {
            if (guard)
                guard->newDocIfNoDocOpened();
        });
        break;
    case OpenPanelIfNoDocumentAction:
        m_startupTimer = Timer::scheduledTimer(1000ms, [guard] {
            if (guard)
                guard->openDialogIfNoDocOpened();
        });
        break;
    case OpenPanelAction:
        if (DocumentController* documents = controller())
            documents->openDocument();
        break;
    case SelectedDocumentAction: {
        bool stale = false;
        QUrl url = resolveStoredBookmark(&stale);
        if (!url.isEmpty() && stale && renewBookmark(url))
            url = resolveStoredBookmark(&stale);
        if (url.isEmpty() || url.toLocalFile().isEmpty()) {
            m_missingAlertQueued = true;
            MainQueue::post(this, [guard] {
                if (guard)
                    guard->runMissingDocumentAlert();
            });
            return;
        }
        if (accessGranted(url)) {
            openStartupDocument(url);
            return;
        }
        setStartupDocPathMessageString(QStringLiteral("Not valid Startup Document selected. Please re-select"));
        setStartupDocSpecified(true);
        const Alert refusal(
            QStringLiteral("The system is negating the access to the document selected to be opened at startup"),
            QStringLiteral("It must be selected in the preferences or the startup action must be changed"),
            {QStringLiteral("Open Preferences"), QStringLiteral("Cancel")}, Alert::WarningStyle);
        if (refusal.runModal() == Alert::FirstButtonReturn)
            openPreferences();
        break;
    }
    default:
        break;
    }
}

void QvAppDelegateBase::runMissingDocumentAlert()
{
    m_missingAlertQueued = false;
    setStartupDocPathMessageString(kPleaseSelect);
    setStartupDocSpecified(false);
    const Alert missing(QStringLiteral("Preference was set to open at startup a document without specifying it"),
                        QStringLiteral("You can fix the problem in the preferences"),
                        {QStringLiteral("Open Preferences"), QStringLiteral("Cancel")}, Alert::WarningStyle);
    if (missing.runModal() == Alert::FirstButtonReturn)
        openPreferences();
    emit startupStepEnded();
}

bool QvAppDelegateBase::startupAnswerPending() const
{
    return m_missingAlertQueued || (m_startupTimer && m_startupTimer->isValid());
}

void QvAppDelegateBase::newDocIfNoDocOpened()
{
    DocumentController* documents = controller();
    if (documents && documents->documents().isEmpty() && !m_documentIsOpening)
        documents->newDocument();
    emit startupStepEnded();
}

void QvAppDelegateBase::openDialogIfNoDocOpened()
{
    DocumentController* documents = controller();
    if (documents && documents->documents().isEmpty() && !m_documentIsOpening)
        documents->openDocument();
    emit startupStepEnded();
}

void QvAppDelegateBase::selectStartupDoc()
{
    FileChooserOptions options;
    options.title = tr("Start-up Document");
    options.prompt = QStringLiteral("Select");
    for (const QString& type : allowedStartupDocExtensions())
        if (!type.isEmpty())
            options.allowedExtensions.append(type);
    if (DocumentController* documents = controller(); documents && !options.allowedExtensions.isEmpty())
        options.typeDescription = documents->displayNameForType(options.allowedExtensions.first());
    QPointer<QvAppDelegateBase> guard(this);
    FileChooser::chooseToOpen(m_prefWindow, options, [guard](const QStringList& paths) {
        if (!guard || paths.isEmpty())
            return;
        const QByteArray bookmark = QvBookmark::bookmarkForURL_RW(QUrl::fromLocalFile(paths.last()));
        // A file that cannot be remembered leaves the previous choice in place.
        if (bookmark.isEmpty()
            || !defaults().setObject(Value::data(bookmark), QLatin1String(kStartupSelectedDocBookmark))) {
            guard->setStartupDocPathMessageString(kPleaseSelect);
            return;
        }
        guard->setStartupDocPathMessageString(QString());
        guard->setStartupDocSpecified(true);
    });
}

void QvAppDelegateBase::clearStartupSelectedDoc()
{
    defaults().setObject(Value::data(QByteArray()), QLatin1String(kStartupSelectedDocBookmark));
    setStartupDocPathMessageString(kPleaseSelect);
    setStartupDocSpecified(false);
}

void QvAppDelegateBase::showInFinderStartupDoc()
{
    bool stale = false;
    QUrl url = resolveStoredBookmark(&stale);
    if (!url.isEmpty() && stale && renewBookmark(url)) {
        const QUrl fresh = resolveStoredBookmark(&stale);
        if (!fresh.isEmpty())
            url = fresh;
    }
    const QString path = url.toLocalFile();
    if (!path.isEmpty() && QFileInfo::exists(path))
        FileRevealer::reveal(path);
}

void QvAppDelegateBase::testOpenStartupDoc()
{
    bool stale = false;
    const QUrl url = resolveStoredBookmark(&stale);
    if (!url.isEmpty() && stale)
        renewBookmark(url);
    if (url.toLocalFile().isEmpty()) {
        setStartupDocPathMessageString(kPleaseSelect);
        return;
    }
    if (accessGranted(url))
        openStartupDocument(url);
}

// Help, web and e-mail

void QvAppDelegateBase::visitUs()
{
    QvAppSupportUtility::visitUs();
}

void QvAppDelegateBase::visitAppUrl()
{
    QvAppSupportUtility::visitAppUrl();
}

void QvAppDelegateBase::visitTwitter()
{
    QvAppSupportUtility::visitTwitter();
}

void QvAppDelegateBase::emailUs()
{
    QvAppSupportUtility::emailUs();
}

void QvAppDelegateBase::openUserGuide()
{
    QvAppSupportUtility::openUserGuide(getUserGuideName());
}

void QvAppDelegateBase::checkForLastReleaseAvailable()
{
    if (QvPhoneHome* checker = QvPhoneHome::sharedPhoneHome())
        checker->checkForLastReleaseAvailableWithNotify();
}

// Preferences and About

void QvAppDelegateBase::showPreferencesWindow()
{
    QWidget* window = m_prefWindow;
    if (!window)
        return;
    if (!window->isVisible()) {
        if (QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void QvAppDelegateBase::openPreferences()
{
    showPreferencesWindow();
}

void QvAppDelegateBase::openPreferencesAtTab(int index)
{
    showPreferencesWindow();
    if (m_prefWindow)
        if (auto* toolbar = m_prefWindow->findChild<QvPrefToolbarDelegate*>())
            toolbar->SetPanelTab(index);
}

void QvAppDelegateBase::openPreferencesAtSenderTagTab(QObject* sender)
{
    if (!sender)
        return;
    const QVariant tag = qobject_cast<QAction*>(sender) ? static_cast<QAction*>(sender)->data() : sender->property("tag");
    openPreferencesAtTab(tag.toInt());
}

void QvAppDelegateBase::openAbout()
{
    QvAboutBoxController::sharedAboutBoxController()->openAboutBox();
}
