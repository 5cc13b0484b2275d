#pragma once
// The process-wide update checker: downloads the update feed from the first
// of four mirrors that answers with a usable feed, compares its latest release
// with the application's own and tells the user through modal alerts, at
// start-up once a calendar day and on the "Software Update…" command.
//
// The download is asynchronous on the main thread (no thread of its own), the
// mirrors asked one after another, each within the limits below; whatever a
// mirror does, the check ends. Destroying the checker abandons a running check
// silently.
//
// Mapping of the framework names, beyond those of the common rules:
//   +sharedPhoneHome                     ->  sharedPhoneHome(): made on first use while the
//                                            application object exists, destroyed with it;
//                                            null before and after
//   -SetValueAppRelease:appName:plistUrl1:...:plistUrl4:
//                                        ->  SetValueAppRelease(release, appName, url1, ..., url4)
//   entry points with an ignored argument ->  the same names without it
//   -getDictionaryFromTheNet (returns the dictionary)
//                                        ->  getDictionaryFromTheNet(completion): returns at once;
//                                            completion gets the feed dictionary or null later,
//                                            through the main queue
//   -notifyAbout...: (feed dictionary)   ->  notifyAbout...(feed)
//
// Where a request comes while a check runs, no second download starts: the
// running check reports as that request asks too (the report flags joined).

#include "platform/Value.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

class Defaults;

class QvPhoneHome : public QObject {
public:
    static constexpr const char* kLastCheckDateKey = "lastCheckDateForUpdate";
    static constexpr const char* kNotifyUpdateKey = "notifyUpdate";
    // 90 days: the invitation comes when no check has succeeded for longer.
    static constexpr double kInvitationInterval = 7776000.0;

    // What one mirror may take before the next one is asked.
    struct Limits {
        std::chrono::milliseconds transferTimeout{15000}; // without a byte moving
        std::chrono::milliseconds deadline{30000}; // for the whole answer
        qint64 maxBodyBytes = 64 * 1024; // announced or read, after decompression
        int maxRedirects = 5;
    };

    // The user defaults hold "notifyUpdate" and the date of the last check.
    explicit QvPhoneHome(Defaults* defaults = nullptr, QObject* parent = nullptr);
    ~QvPhoneHome() override;

    static QvPhoneHome* sharedPhoneHome();

    bool isChekingUpdateSystem() const { return m_isChekingUpdateSystem; }
    qint64 myAppRelease() const { return m_myAppRelease; }
    void setMyAppRelease(qint64 release) { m_myAppRelease = release; }
    QString myAppName() const { return m_myAppName; }
    void setMyAppName(const QString& name) { m_myAppName = name; }
    QString myPlistUrl1() const { return m_myPlistUrl1; }
    void setMyPlistUrl1(const QString& url) { m_myPlistUrl1 = url; }
    QString myPlistUrl2() const { return m_myPlistUrl2; }
    void setMyPlistUrl2(const QString& url) { m_myPlistUrl2 = url; }
    QString myPlistUrl3() const { return m_myPlistUrl3; }
    void setMyPlistUrl3(const QString& url) { m_myPlistUrl3 = url; }
    QString myPlistUrl4() const { return m_myPlistUrl4; }
    void setMyPlistUrl4(const QString& url) { m_myPlistUrl4 = url; }

    void SetValueAppRelease(qint64 release, const QString& appName, const QString& url1, const QString& url2,
                            const QString& url3, const QString& url4);

    const Limits& limits() const { return m_limits; }
    void setLimits(const Limits& limits) { m_limits = limits; }

    // Sent once after launching; returns before anything is downloaded.
    void startupProcedure();
    void checkForLastReleaseAvailableWithNotify();
    void dailySilentCheckForLastReleaseAvailable();
    void dailyVerboseCheckForLastReleaseAvailable();
    void silentCheckForLastReleaseAvailable();
    // The check every entry point starts: reports an available update when
    // notifyIsAvailable, being up to date and a failure when notAvailable.
    void checkForLastReleaseAvailableAndNotifyIsAvailable(bool notifyIsAvailable, bool notAvailable);

    // True unless the last successful check was on today's local date.
    bool lastCheckNotToday() const;
    void inCaseInviteToCheckForLastReleaseAvailable();
    void setInPreferencesTodayWasChecked();
    void getDictionaryFromTheNet(std::function<void(DictionaryRef feed)> completion);

    void notifyAboutUpdateAvailable(const DictionaryRef& feed);
    void notifyAboutYourAppIsLastAvailable(const DictionaryRef& feed);
    void notifyAboutFailedChechForUpdate();

private:
    class Download;

    void checkDone(const DictionaryRef& feed);
    // The date of the last check; absent unless a date is stored.
    Value lastCheckDate() const;
    Defaults& defaults() const;
    // Opens a feed address, or the maker's home page when it is none.
    static void openFeedAddress(const DictionaryRef& feed, const char* key);

    bool m_isChekingUpdateSystem = false;
    bool m_reportAvailable = false;
    bool m_reportNotAvailable = false;
    qint64 m_myAppRelease = 0;
    QString m_myAppName;
    QString m_myPlistUrl1;
    QString m_myPlistUrl2;
    QString m_myPlistUrl3;
    QString m_myPlistUrl4;
    Limits m_limits;
    Defaults* m_defaults;
};
