#pragma once
// The application's own delegate: the registered defaults, the named value
// transformers of the interface files, the table-font menu, the launch steps
// and the automatic lock of every open document after a time in the
// background. Main thread only.
//
//   +initialize                       ->  MyAppDelegate::initialize(): once per process
//   applicationWillFinishLaunching:   ->  applicationWillFinishLaunching()
//   applicationDidFinishLaunching:    ->  applicationDidFinishLaunching()
//   applicationDidResignActive: / applicationDidBecomeActive:
//                                     ->  the same names, called by applicationStateChanged()
//                                         when the application leaves or reaches
//                                         Qt::ApplicationActive
//   setAutomaticLockWithTimeInterval: ->  the same name, with 64-bit seconds
//   AutomaticLockAllOpenedDocuments:  ->  AutomaticLockAllOpenedDocuments()

#include "shell/QvAppDelegateBase.h"

#include <QComboBox>
#include <QPointer>

class MyAppDelegate : public QvAppDelegateBase {
    Q_OBJECT
public:
    static constexpr qint64 kMinimumLockDelaySeconds = 30;

    explicit MyAppDelegate(QObject* parent = nullptr);
    ~MyAppDelegate() override;

    // The registered defaults, in order.
    static DictionaryRef registeredDefaultValues();
    // Registers the defaults and gives the update checker this release and its feed, once.
    static void initialize();
    static void configureUpdateChecker();
    // The feed on each of the four mirrors, in the order they are asked.
    static QStringList updateFeedAddresses();

    // Outlets. The font entries are items of the pop-up: `myPrefFontmenu` is
    // the pop-up's own list of items.
    QComboBox* myFontPopup() const { return m_fontPopup; }
    void setMyFontPopup(QComboBox* popup) { m_fontPopup = popup; }
    QComboBox* myPrefFontmenu() const { return m_fontPopup; }

    std::shared_ptr<Timer> repeatingAutomaticLockTimer() const { return m_lockTimer; }
    void setRepeatingAutomaticLockTimer(std::shared_ptr<Timer> timer) { m_lockTimer = std::move(timer); }

    QStringList allowedStartupDocExtensions() const override { return {QStringLiteral("calvorin")}; }

    void applicationWillFinishLaunching();
    void buildUpFontMenuAndBindProgrammatically();
    void applicationDidFinishLaunching();

    void applicationStateChanged(Qt::ApplicationState state);
    void applicationDidResignActive();
    void applicationDidBecomeActive();
    void setAutomaticLockWithTimeInterval(qint64 seconds);
    void AutomaticLockAllOpenedDocuments();

    // autolocBackgroundInterval as a whole number of seconds, saturated to 64 bits.
    static qint64 automaticLockIntervalSetting();

private:
    void selectTableFontFamily();

    QPointer<QComboBox> m_fontPopup;
    QMetaObject::Connection m_fontChoice;
    std::shared_ptr<Timer> m_lockTimer;
    bool m_active = false;
};
