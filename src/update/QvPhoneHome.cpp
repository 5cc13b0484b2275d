#include "update/QvPhoneHome.h"

#include "platform/Alert.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/MainQueue.h"
#include "platform/UrlOpener.h"
#include "toolkit/QvAppSupportUtility.h"
#include "update/UpdateFeed.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

// One download of the feed: the mirrors one after another, each given up when
// it fails, refuses, answers other than 2xx, sends a body that is too big or
// not a usable feed, stalls, or takes longer than the deadline.
class QvPhoneHome::Download : public QObject {
public:
    Download(QvPhoneHome* owner, QStringList addresses, Limits limits, std::function<void(DictionaryRef)> completion)
        : QObject(owner)
        , m_owner(owner)
        , m_addresses(std::move(addresses))
        , m_limits(limits)
        , m_completion(std::move(completion))
        , m_network(new QNetworkAccessManager(this))
        , m_deadline(new QTimer(this))
    {
        m_deadline->setSingleShot(true);
        connect(m_deadline, &QTimer::timeout, this, [this] { nextMirror(); });
    }

    ~Download() override { dropReply(); }

    void start() { ask(0); }

private:
    void ask(int index)
    {
        m_index = index;
        m_body.clear();
        // Only web addresses are asked: no mirror is a local file.
        QUrl url;
        while (m_index < m_addresses.size() && (url = UpdateFeed::address(Value(m_addresses[m_index]))).isEmpty())
            ++m_index;
        if (url.isEmpty()) {
            finish(nullptr);
            return;
        }
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(m_limits.maxRedirects);
        request.setTransferTimeout(int(m_limits.transferTimeout.count()));
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        m_reply = m_network->get(request);
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
            const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > m_limits.maxBodyBytes)
                nextMirror();
        });
        connect(m_reply, &QNetworkReply::readyRead, this, [this] {
            if (!readBounded())
                nextMirror();
        });
        connect(m_reply, &QNetworkReply::finished, this, [this] { mirrorAnswered(); });
        m_deadline->start(m_limits.deadline);
    }

    // Takes what has arrived; false once the body is past the limit.
    bool readBounded()
    {
        m_body += m_reply->read(m_limits.maxBodyBytes + 1 - m_body.size());
        return m_body.size() <= m_limits.maxBodyBytes && m_reply->bytesAvailable() == 0;
    }

    void mirrorAnswered()
    {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_reply->error() != QNetworkReply::NoError || status < 200 || status > 299 || !readBounded()) {
            nextMirror();
            return;
        }
        DictionaryRef feed = UpdateFeed::read(m_body);
        if (!feed) {
            nextMirror();
            return;
        }
        dropReply();
        finish(std::move(feed));
    }

    void nextMirror()
    {
        dropReply();
        ask(m_index + 1);
    }

    void dropReply()
    {
        m_deadline->stop();
        if (!m_reply)
            return;
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }

    void finish(DictionaryRef feed)
    {
        // The result reaches the checker through the main queue, and not at
        // all once the checker is gone.
        MainQueue::post(m_owner, [completion = std::move(m_completion), feed = std::move(feed)] { completion(feed); });
        deleteLater();
    }

    QvPhoneHome* m_owner;
    QStringList m_addresses;
    Limits m_limits;
    std::function<void(DictionaryRef)> m_completion;
    QNetworkAccessManager* m_network;
    QTimer* m_deadline;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    int m_index = 0;
};

namespace {
QvPhoneHome* g_shared = nullptr;
bool g_sharedMade = false;
} // namespace

QvPhoneHome::QvPhoneHome(Defaults* defaults, QObject* parent) : QObject(parent), m_defaults(defaults) {}

// A download still running is a child: it goes with its network objects and
// reports nothing, and a result already posted is dropped with the checker.
QvPhoneHome::~QvPhoneHome() = default;

QvPhoneHome* QvPhoneHome::sharedPhoneHome()
{
    // It holds network objects, which must not outlive the application object.
    if (!g_sharedMade && QCoreApplication::instance()) {
        g_sharedMade = true;
        g_shared = new QvPhoneHome();
        qAddPostRoutine([] {
            delete g_shared;
            g_shared = nullptr;
        });
    }
    return g_shared;
}

void QvPhoneHome::SetValueAppRelease(qint64 release, const QString& appName, const QString& url1, const QString& url2,
                                     const QString& url3, const QString& url4)
{
    m_myAppRelease = release;
    m_myAppName = appName;
    m_myPlistUrl1 = url1;
    m_myPlistUrl2 = url2;
    m_myPlistUrl3 = url3;
    m_myPlistUrl4 = url4;
}

Defaults& QvPhoneHome::defaults() const
{
    return m_defaults ? *m_defaults : Defaults::standardUserDefaults();
}

void QvPhoneHome::startupProcedure()
{
    if (defaults().boolForKey(QString::fromLatin1(kNotifyUpdateKey))) {
        dailyVerboseCheckForLastReleaseAvailable();
    } else {
        dailySilentCheckForLastReleaseAvailable();
        inCaseInviteToCheckForLastReleaseAvailable();
    }
}

void QvPhoneHome::checkForLastReleaseAvailableWithNotify()
{
    checkForLastReleaseAvailableAndNotifyIsAvailable(true, true);
}

void QvPhoneHome::dailySilentCheckForLastReleaseAvailable()
{
    if (m_isChekingUpdateSystem || lastCheckNotToday())
        checkForLastReleaseAvailableAndNotifyIsAvailable(false, false);
}

void QvPhoneHome::dailyVerboseCheckForLastReleaseAvailable()
{
    if (m_isChekingUpdateSystem || lastCheckNotToday())
        checkForLastReleaseAvailableAndNotifyIsAvailable(true, false);
}

void QvPhoneHome::silentCheckForLastReleaseAvailable()
{
    checkForLastReleaseAvailableAndNotifyIsAvailable(false, false);
}

void QvPhoneHome::checkForLastReleaseAvailableAndNotifyIsAvailable(bool notifyIsAvailable, bool notAvailable)
{
    if (m_isChekingUpdateSystem) {
        m_reportAvailable = m_reportAvailable || notifyIsAvailable;
        m_reportNotAvailable = m_reportNotAvailable || notAvailable;
        return;
    }
    m_isChekingUpdateSystem = true;
    m_reportAvailable = notifyIsAvailable;
    m_reportNotAvailable = notAvailable;
    getDictionaryFromTheNet([this](const DictionaryRef& feed) { checkDone(feed); });
}

void QvPhoneHome::checkDone(const DictionaryRef& feed)
{
    const bool reportAvailable = m_reportAvailable;
    const bool reportNotAvailable = m_reportNotAvailable;
    // The check is over before any alert: a request made while one is up
    // starts a check of its own instead of joining this finished one.
    m_isChekingUpdateSystem = false;
    m_reportAvailable = m_reportNotAvailable = false;
    if (!feed) {
        if (reportNotAvailable)
            notifyAboutFailedChechForUpdate();
        return;
    }
    setInPreferencesTodayWasChecked();
    const std::optional<qint64> latest = UpdateFeed::latestRelease(*feed);
    if (!latest)
        return;
    if (*latest > m_myAppRelease) {
        if (reportAvailable)
            notifyAboutUpdateAvailable(feed);
    } else if (reportNotAvailable) {
        notifyAboutYourAppIsLastAvailable(feed);
    }
}

Value QvPhoneHome::lastCheckDate() const
{
    // The settings file is the user's: anything but a date there is no date.
    const Value stored = defaults().objectForKey(QString::fromLatin1(kLastCheckDateKey));
    return stored.isDate() && stored.toDateTime().isValid() ? stored : Value();
}

bool QvPhoneHome::lastCheckNotToday() const
{
    const Value stored = lastCheckDate();
    if (stored.isNull())
        return true;
    return stored.toDateTime().toLocalTime().date() != Clock::now().toLocalTime().date();
}

void QvPhoneHome::setInPreferencesTodayWasChecked()
{
    defaults().setObject(Value::dateFromDateTime(Clock::now()), QString::fromLatin1(kLastCheckDateKey));
}

void QvPhoneHome::inCaseInviteToCheckForLastReleaseAvailable()
{
    const Value stored = lastCheckDate();
    if (!stored.isNull() &&
        stored.dateValue() - Value::dateFromDateTime(Clock::now()).dateValue() >= -kInvitationInterval)
        return;
    Alert alert;
    alert.addButtonWithTitle(QStringLiteral("OK"));
    alert.addButtonWithTitle(QStringLiteral("Zundel Site"));
    alert.addButtonWithTitle(QStringLiteral("Cancel"));
    if (stored.isNull()) {
        alert.setMessageText(
            QStringLiteral("Would you like that %1 informs you now for any available update?").arg(m_myAppName));
    } else {
        alert.setMessageText(QStringLiteral("It is more then %1 days this app doesn't report to you for updates.\n"
                                            "Would you like that %2 informs you now for any available update?")
                                 .arg(QString::number(qint64(kInvitationInterval / 86400.0)), m_myAppName));
    }
    if (!defaults().boolForKey(QString::fromLatin1(kNotifyUpdateKey)))
        alert.setInformativeText(QStringLiteral("Suggested option is to have the update report enabled.\n"
                                                "Use the Preference Dialog to enable this feature."));
    alert.setAlertStyle(Alert::WarningStyle);
    switch (alert.runModal()) {
    case Alert::FirstButtonReturn:
        // Joins a check that is still running rather than being dropped.
        checkForLastReleaseAvailableWithNotify();
        break;
    case Alert::SecondButtonReturn:
        QvAppSupportUtility::visitUs();
        break;
    default:
        break;
    }
}

void QvPhoneHome::getDictionaryFromTheNet(std::function<void(DictionaryRef)> completion)
{
    auto* download = new Download(this, {m_myPlistUrl1, m_myPlistUrl2, m_myPlistUrl3, m_myPlistUrl4}, m_limits,
                                  std::move(completion));
    download->start();
}

void QvPhoneHome::openFeedAddress(const DictionaryRef& feed, const char* key)
{
    // The feed comes over plain HTTP: an address that is not a web page of
    // some host is replaced by the maker's home page.
    const QUrl url = feed ? UpdateFeed::address(feed->objectForKey(QString::fromLatin1(key))) : QUrl();
    if (url.isEmpty())
        QvAppSupportUtility::visitUs();
    else
        UrlOpener::open(url);
}

void QvPhoneHome::notifyAboutUpdateAvailable(const DictionaryRef& feed)
{
    const qint64 latest = feed ? UpdateFeed::latestRelease(*feed).value_or(0) : 0;
    const Alert alert(QStringLiteral("There is an update available for %1").arg(m_myAppName),
                      QStringLiteral("You are using release: %1\nLatest available release is: %2\n"
                                     "Zundel recommends to use always the latest release")
                          .arg(QvAppSupportUtility::calcReleaseString(m_myAppRelease),
                               QvAppSupportUtility::calcReleaseString(latest)),
                      {QStringLiteral("Download Update"), QStringLiteral("Download Page"), QStringLiteral("Later")},
                      Alert::WarningStyle);
    switch (alert.runModal()) {
    case Alert::FirstButtonReturn:
        openFeedAddress(feed, UpdateFeed::kDownloadKey);
        break;
    case Alert::SecondButtonReturn:
        openFeedAddress(feed, UpdateFeed::kDownloadPageKey);
        break;
    default:
        break;
    }
}

void QvPhoneHome::notifyAboutYourAppIsLastAvailable(const DictionaryRef& feed)
{
    const Alert alert(QStringLiteral("%1 is up to date").arg(m_myAppName),
                      QStringLiteral("You are using the latest available release.\n"
                                     "If you like, you can go to the Zundel download page to manually check it.\n\n"
                                     "Visit us and see all the macOS software we have available.\n"
                                     "We are one of the developers in the world with more macOS apps!\n"),
                      {QStringLiteral("Go to Zundel Download Page"), QStringLiteral("Close")}, Alert::WarningStyle);
    if (alert.runModal() == Alert::FirstButtonReturn)
        openFeedAddress(feed, UpdateFeed::kDownloadPageKey);
}

void QvPhoneHome::notifyAboutFailedChechForUpdate()
{
    const Alert alert(QStringLiteral("%1 was not able to connect to the Zundel server").arg(m_myAppName),
                      QStringLiteral("It was not possible to enstablish a internet connection on the net with the "
                                     "Zundel upgrade server. Check your internet connection or try later."),
                      {QStringLiteral("OK")}, Alert::WarningStyle);
    alert.runModal();
}
