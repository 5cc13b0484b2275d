#pragma once
// The application's delegate, generic part: the launch state, the start-up
// document and its preferences commands, the help, web and e-mail commands,
// the preferences and About windows. Main thread only.
//
// The delegate is an Observable so that the preferences window binds to its
// values by key path ("StartupDocPathMessageString", "StartupDocSpecified",
// "appName", "vendorName", "releaseString", "documentIsOpening").
//
// Commands drop the ignored sender argument of their selectors
// (selectStartupDoc: -> selectStartupDoc()); openPreferencesAtSenderTagTab:
// takes the sender, whose tag is its "tag" property or an action's data().
// There are no security scopes on this system: access to a start-up document
// is granted when its path names a readable regular file, and stopping access
// has nothing to do.

#include "platform/Observable.h"
#include "platform/Timer.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <memory>

class DocumentController;
class QMenu;

class QvAppDelegateBase : public Observable {
    Q_OBJECT
public:
    // StartupActionTag values.
    enum StartupAction { NewDocumentAction = 0, OpenPanelIfNoDocumentAction = 1, OpenPanelAction = 2,
                         SelectedDocumentAction = 3 };

    static constexpr const char* kStartupActionTag = "StartupActionTag";
    static constexpr const char* kStartupSelectedDocBookmark = "StartupSelectedDocBookmark";

    explicit QvAppDelegateBase(QObject* parent = nullptr);
    ~QvAppDelegateBase() override;

    // The application's delegate: the first one made that still exists.
    static QvAppDelegateBase* applicationDelegate();

    // Fields.
    bool finishedLaunching() const { return m_finishedLaunching; }
    void setFinishedLaunching(bool finished) { m_finishedLaunching = finished; }
    bool documentIsOpening() const { return m_documentIsOpening; }
    void setDocumentIsOpening(bool opening);
    QWidget* prefWindow() const { return m_prefWindow; }
    void setPrefWindow(QWidget* window) { m_prefWindow = window; }
    QString appName() const { return m_appName; }
    QString vendorName() const { return m_vendorName; }
    QString releaseString() const { return m_releaseString; }
    QString StartupDocPathMessageString() const { return m_startupDocPathMessageString; }
    void setStartupDocPathMessageString(const QString& message);
    bool StartupDocSpecified() const { return m_startupDocSpecified; }
    void setStartupDocSpecified(bool specified);

    Value valueForKeyPath(const QString& keyPath) const override;
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override;

    // Launching.
    bool applicationShouldOpenUntitledFile() const;
    // The stored start-up action; a value that names none of them (a damaged or
    // hand-edited setting) counts as a new document, so that a window opens.
    StartupAction startupAction() const;
    // Adds the application's commands to every document window's menus.
    void adjustBeforeFinishingLaunching();
    // Adds this delegate's commands to the Help and Edit menus of a window.
    virtual void addApplicationCommands(class DocumentWindow& window);
    void checkForLastReleaseAvailable();

    // The start-up document.
    void executeDocumentStartupAsInPref();
    void newDocIfNoDocOpened();
    void openDialogIfNoDocOpened();
    void selectStartupDoc();
    void clearStartupSelectedDoc();
    void showInFinderStartupDoc();
    void testOpenStartupDoc();
    void UseFrontDocumentAsStartupDoc() {}
    virtual QStringList allowedStartupDocExtensions() const { return {QString()}; }
    // Whether a start-up step may still bring up a window: its timer is
    // armed or its alert is waiting to be shown.
    bool startupAnswerPending() const;

    // Help, web and e-mail.
    void visitUs();
    void webSite() { visitUs(); }
    void visitAppUrl();
    void twitter() { visitTwitter(); }
    void visitTwitter();
    void emailUs();
    void emailSupport() { emailUs(); }
    void openUserGuide();
    void openAppStorePage() {}
    void openAppStoreList() {}
    void appendMasHelp() {}
    QString getAppStantment() const { return QStringLiteral("Store your contacts secure and encrypted"); }
    QString getUserGuideName() const { return QStringLiteral("%1 User Guide").arg(QStringLiteral("Calvorin")); }

    // Preferences and About.
    void openPreferences();
    void openPreferencesAtTab(int index);
    void openPreferencesAtSenderTagTab(QObject* sender);
    void openAbout();

    // Puts an action at index of menu, or at its end when the menu has fewer items.
    static void insertMenuItem(QMenu* menu, QAction* action, int index);

signals:
    // A start-up step has ended and may have left no window.
    void startupStepEnded();

private:
    static DocumentController* controller();
    QUrl resolveStoredBookmark(bool* isStale) const;
    // Replaces a stale bookmark; false, with nothing stored, when none can be made.
    bool renewBookmark(const QUrl& url);
    static bool accessGranted(const QUrl& url);
    void openStartupDocument(const QUrl& url);
    void runMissingDocumentAlert();
    void showPreferencesWindow();
    void announce(const char* keyPath);

    bool m_finishedLaunching = false;
    bool m_documentIsOpening = false;
    QPointer<QWidget> m_prefWindow;
    QString m_appName;
    QString m_vendorName;
    QString m_releaseString;
    QString m_startupDocPathMessageString;
    bool m_startupDocSpecified = true;
    std::shared_ptr<Timer> m_startupTimer;
    bool m_missingAlertQueued = false;
};
