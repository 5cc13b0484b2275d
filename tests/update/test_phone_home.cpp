#include "update_fixture.h"

#include "toolkit/QvAppSupportUtility.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <optional>

namespace {

const QString kUpdateMessage = QStringLiteral("There is an update available for Calvorin");
const QString kUpToDateMessage = QStringLiteral("Calvorin is up to date");
const QString kFailureMessage = QStringLiteral("Calvorin was not able to connect to the Zundel server");

QString updateInformative(const char* latest)
{
    return QStringLiteral("You are using release: 3.6.2\nLatest available release is: %1\n"
                          "Zundel recommends to use always the latest release")
        .arg(QLatin1String(latest));
}

struct EntryPoint {
    const char* name;
    void (QvPhoneHome::*start)();
    bool reportsUpdate;
    bool reportsUpToDateAndFailure;
};

const EntryPoint kEntryPoints[] = {
    {"silent", &QvPhoneHome::silentCheckForLastReleaseAvailable, false, false},
    {"dailySilent", &QvPhoneHome::dailySilentCheckForLastReleaseAvailable, false, false},
    {"dailyVerbose", &QvPhoneHome::dailyVerboseCheckForLastReleaseAvailable, true, false},
    {"command", &QvPhoneHome::checkForLastReleaseAvailableWithNotify, true, true},
};

} // namespace

TEST_F(UpdateCheckTest, AMirrorThatFailsHandsOverToTheNextAndTheLaterOnesAreNotAsked)
{
    const QByteArray other = LoopbackMirror::feedBody(Value::int64(30800));
    // A usable feed, but past the size limit.
    DictionaryRef padded = Dictionary::create({{"LRA", Value::int64(30800)}, {"pad", Value(QString(64 * 1024, 'x'))}});
    const QByteArray oversized = PropertyList::dataWithPropertyList(Value(padded), PropertyList::Format::Xml);
    const struct {
        const char* name;
        LoopbackMirror::Script script; // null: nothing listens
    } cases[] = {
        {"refused", nullptr},
        {"hanging", LoopbackMirror::hang()},
        {"trickling", LoopbackMirror::trickle(other, 100)},
        {"404", LoopbackMirror::answer(404, other)},
        {"500 with a feed", LoopbackMirror::answer(500, other)},
        {"204 without a body", LoopbackMirror::answer(204, {})},
        {"300 with a feed", LoopbackMirror::answer(300, other)},
        {"deflated past the limit", LoopbackMirror::answer(200, qCompress(oversized).mid(4), "Content-Encoding: deflate\r\n")},
        {"redirect loop", LoopbackMirror::redirect("/mac/calvorin.plist")},
        {"redirect to file", LoopbackMirror::redirect("file:///etc/hostname")},
        {"truncated", LoopbackMirror::truncated(other)},
        {"oversized, announced", LoopbackMirror::feed(oversized)},
        {"oversized, unannounced", LoopbackMirror::unannounced(oversized)},
        {"array root", LoopbackMirror::feed(PropertyList::dataWithPropertyList(Value(Array::create()),
                                                                               PropertyList::Format::Xml))},
        {"garbage", LoopbackMirror::feed("<html><body>It works!</body></html>")},
        {"text property list", LoopbackMirror::feed("{ LRA = 30800; }")},
        {"real LRA", LoopbackMirror::feed(LoopbackMirror::feedBody(Value::real(30800.0)))},
        {"string LRA", LoopbackMirror::feed(LoopbackMirror::feedBody(Value("30800")))},
        {"LRA above 2^63 - 1", LoopbackMirror::feed(LoopbackMirror::feedBody(Value::uint64(~quint64(0)),
                                                                            PropertyList::Format::Xml))},
    };
    for (const PropertyList::Format format : {PropertyList::Format::Binary, PropertyList::Format::Xml}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (format == PropertyList::Format::Xml ? " / XML" : " / binary"));
            ScriptedResponder alerts;
            defaults.removeObjectForKey(QStringLiteral("lastCheckDateForUpdate"));
            LoopbackMirror first(c.script);
            LoopbackMirror second(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30700), format)));
            LoopbackMirror third(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30900))));
            LoopbackMirror fourth(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30900))));
            mirrors(c.script ? first.url() : LoopbackMirror::refusedUrl(), second.url(), third.url(), fourth.url());

            home->checkForLastReleaseAvailableWithNotify();
            ASSERT_TRUE(waitForCheck());
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts()[0].messageText, kUpdateMessage);
            EXPECT_EQ(alerts.alerts()[0].informativeText, updateInformative("3.7"));
            EXPECT_EQ(second.connections(), 1);
            EXPECT_EQ(third.connections(), 0);
            EXPECT_EQ(fourth.connections(), 0);
            EXPECT_EQ(storedDate().toDateTime(), clock.currentDateTime());
        }
    }
}

TEST_F(UpdateCheckTest, WhenNoMirrorAnswersOnlyTheCommandTellsAndTheDateStays)
{
    const QDateTime earlier = clock.currentDateTime().addDays(-2);
    for (const EntryPoint& entry : kEntryPoints) {
        SCOPED_TRACE(entry.name);
        ScriptedResponder alerts;
        storeDate(earlier);
        LoopbackMirror notFound(LoopbackMirror::answer(404, {}));
        LoopbackMirror garbage(LoopbackMirror::feed("garbage"));
        LoopbackMirror hanging(LoopbackMirror::hang());
        mirrors(LoopbackMirror::refusedUrl(), notFound.url(), garbage.url(), hanging.url());

        (home.get()->*entry.start)();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(hanging.connections(), 1);
        if (entry.reportsUpToDateAndFailure) {
            ASSERT_EQ(alerts.alerts().size(), 1);
            const ShownAlert& shown = alerts.alerts()[0];
            EXPECT_EQ(shown.messageText, kFailureMessage);
            EXPECT_EQ(shown.informativeText,
                      "It was not possible to enstablish a internet connection on the net with the Zundel upgrade "
                      "server. Check your internet connection or try later.");
            EXPECT_EQ(shown.buttons, QStringList{"OK"});
            EXPECT_EQ(shown.style, Alert::WarningStyle);
            EXPECT_FALSE(shown.asSheet);
        } else {
            EXPECT_TRUE(alerts.alerts().isEmpty());
        }
        EXPECT_EQ(storedDate().toDateTime(), earlier);
    }
}

TEST_F(UpdateCheckTest, TheFeedsReleaseAgainstOursDecidesWhatEachEntryPointShows)
{
    const struct {
        Value latest;
        const char* latestText; // null: not newer than ours
    } releases[] = {
        {Value::int64(30601), nullptr}, {Value::int64(30602), nullptr}, {Value::int64(30603), "3.6.3"},
        {Value::int64(30700), "3.7"},   {Value(), nullptr},
    };
    for (const EntryPoint& entry : kEntryPoints) {
        for (const auto& release : releases) {
            SCOPED_TRACE(std::string(entry.name) + " " + release.latest.stringValue().toStdString());
            ScriptedResponder alerts;
            defaults.removeObjectForKey(QStringLiteral("lastCheckDateForUpdate"));
            LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(release.latest)));
            mirrors(mirror.url(), mirror.url(), mirror.url(), mirror.url());

            (home.get()->*entry.start)();
            ASSERT_TRUE(waitForCheck());
            EXPECT_EQ(mirror.connections(), 1);
            EXPECT_EQ(storedDate().toDateTime(), clock.currentDateTime());
            QStringList expected;
            if (release.latestText && entry.reportsUpdate)
                expected << kUpdateMessage;
            if (!release.latestText && !release.latest.isNull() && entry.reportsUpToDateAndFailure)
                expected << kUpToDateMessage;
            ASSERT_EQ(alerts.messageTexts(), expected);
            if (expected.isEmpty())
                continue;
            const ShownAlert& shown = alerts.alerts()[0];
            EXPECT_EQ(shown.style, Alert::WarningStyle);
            EXPECT_FALSE(shown.asSheet);
            if (release.latestText) {
                EXPECT_EQ(shown.informativeText, updateInformative(release.latestText));
                EXPECT_EQ(shown.buttons, (QStringList{"Download Update", "Download Page", "Later"}));
            } else {
                EXPECT_EQ(shown.informativeText,
                          "You are using the latest available release.\n"
                          "If you like, you can go to the Zundel download page to manually check it.\n\n"
                          "Visit us and see all the macOS software we have available.\n"
                          "We are one of the developers in the world with more macOS apps!\n");
                EXPECT_EQ(shown.buttons, (QStringList{"Go to Zundel Download Page", "Close"}));
            }
        }
    }
}

TEST_F(UpdateCheckTest, DailyChecksAskTheNetOncePerLocalCalendarDay)
{
    const QDateTime late(QDate(2026, 3, 14), QTime(23, 59));
    const QDateTime afterMidnight(QDate(2026, 3, 15), QTime(0, 1));
    const struct {
        const char* name;
        Value stored;
        QDateTime now;
        bool asks;
    } cases[] = {
        {"same date", Value::dateFromDateTime(QDateTime(QDate(2026, 3, 14), QTime(0, 0, 1))), late, false},
        {"the next date, two minutes later", Value::dateFromDateTime(late), afterMidnight, true},
        {"a date in the future", Value::dateFromDateTime(afterMidnight.addDays(3)), afterMidnight, true},
        {"a year ago to the day", Value::dateFromDateTime(late.addYears(-1)), late, true},
        {"no date", Value(), late, true},
        {"a string, not a date", Value("2026-03-14"), late, true},
        {"a number, not a date", Value::real(795225600.0), late, true},
    };
    for (const auto daily : {&QvPhoneHome::dailySilentCheckForLastReleaseAvailable,
                             &QvPhoneHome::dailyVerboseCheckForLastReleaseAvailable}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            ScriptedResponder alerts;
            defaults.setObject(c.stored, QStringLiteral("lastCheckDateForUpdate"));
            clock.set(c.now);
            LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30602))));
            mirrors(mirror.url(), mirror.url(), mirror.url(), mirror.url());

            EXPECT_EQ(home->lastCheckNotToday(), c.asks);
            (home.get()->*daily)();
            ASSERT_TRUE(waitForCheck());
            QTest::qWait(20);
            EXPECT_EQ(mirror.connections(), c.asks ? 1 : 0);
            if (c.asks) {
                EXPECT_EQ(storedDate().toDateTime(), c.now);
            } else {
                EXPECT_TRUE(storedDate().isEqual(c.stored));
            }
            EXPECT_TRUE(alerts.alerts().isEmpty());
        }
    }
}

TEST_F(UpdateCheckTest, StartupReportsOnlyAnUpdateWhenReportsAreOnAndStaysQuietWhenTheyAreOff)
{
    const struct {
        bool notifyUpdate;
        qint64 latest;
        QStringList shown;
    } cases[] = {
        {true, 30700, {kUpdateMessage}},
        {true, 30602, {}},
        {false, 30700, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.latest);
        ScriptedResponder alerts;
        setNotifyUpdate(c.notifyUpdate);
        storeDate(clock.currentDateTime().addDays(-1)); // no invitation
        LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(c.latest))));
        mirrors(mirror.url(), mirror.url(), mirror.url(), mirror.url());

        home->startupProcedure();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(mirror.connections(), 1);
        EXPECT_EQ(alerts.messageTexts(), c.shown);
    }
}

TEST_F(UpdateCheckTest, TheInvitationComesAfterNinetyDaysWithoutACheck)
{
    const QString shortMessage = QStringLiteral("Would you like that Calvorin informs you now for any available update?");
    const QString longMessage = QStringLiteral("It is more then 90 days this app doesn't report to you for updates.\n") +
                                shortMessage;
    const QString suggestion = QStringLiteral(
        "Suggested option is to have the update report enabled.\nUse the Preference Dialog to enable this feature.");
    const QDateTime now = clock.currentDateTime();
    const struct {
        const char* name;
        bool notifyUpdate;
        Value stored;
        QString message; // empty: no invitation
    } cases[] = {
        {"no date", false, Value(), shortMessage},
        {"no date, reports on", true, Value(), shortMessage},
        {"a stored non-date", false, Value("yesterday"), shortMessage},
        {"90 days and a second", false, Value::dateFromDateTime(now.addSecs(-7776001)), longMessage},
        {"a year", true, Value::dateFromDateTime(now.addYears(-1)), longMessage},
        {"exactly 90 days", false, Value::dateFromDateTime(now.addSecs(-7776000)), {}},
        {"a day", false, Value::dateFromDateTime(now.addDays(-1)), {}},
        {"in the future", false, Value::dateFromDateTime(now.addDays(200)), {}},
    };
    mirrors({}, {}, {}, {});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedResponder alerts;
        alerts.answerWithButton(QStringLiteral("Cancel"));
        setNotifyUpdate(c.notifyUpdate);
        defaults.setObject(c.stored, QStringLiteral("lastCheckDateForUpdate"));

        home->inCaseInviteToCheckForLastReleaseAvailable();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(alerts.alerts().isEmpty());
            continue;
        }
        ASSERT_EQ(alerts.alerts().size(), 1);
        const ShownAlert& shown = alerts.alerts()[0];
        EXPECT_EQ(shown.messageText, c.message);
        EXPECT_EQ(shown.informativeText, c.notifyUpdate ? QString() : suggestion);
        EXPECT_EQ(shown.buttons, (QStringList{"OK", "Zundel Site", "Cancel"}));
        EXPECT_EQ(shown.style, Alert::WarningStyle);
        EXPECT_FALSE(shown.asSheet);
        EXPECT_FALSE(home->isChekingUpdateSystem());
    }
}

TEST_F(UpdateCheckTest, TheInvitationsButtons)
{
    const struct {
        const char* button;
        int connections;
        QList<QUrl> opened;
        QStringList shown;
    } cases[] = {
        {"OK", 1, {}, {"Would you like that Calvorin informs you now for any available update?", kUpToDateMessage}},
        {"Zundel Site", 0, {QvAppSupportUtility::homePageUrl()},
         {"Would you like that Calvorin informs you now for any available update?"}},
        {"Cancel", 0, {}, {"Would you like that Calvorin informs you now for any available update?"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        ScriptedResponder alerts;
        RecordingUrlOpener opener;
        alerts.answerWithButton(QString::fromLatin1(c.button));
        LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30602))));
        mirrors(mirror.url(), mirror.url(), mirror.url(), mirror.url());

        home->inCaseInviteToCheckForLastReleaseAvailable();
        ASSERT_TRUE(waitForCheck());
        QTest::qWait(20);
        EXPECT_EQ(mirror.connections(), c.connections);
        EXPECT_EQ(opener.opened, c.opened);
        EXPECT_EQ(alerts.messageTexts(), c.shown);
        defaults.removeObjectForKey(QStringLiteral("lastCheckDateForUpdate"));
    }
}

TEST_F(UpdateCheckTest, ButtonsOpenOnlyWebAddressesFromTheFeedAndElseTheMakersHomePage)
{
    const QUrl home = QvAppSupportUtility::homePageUrl();
    const struct {
        const char* name;
        Value address;
        QUrl opened;
    } cases[] = {
        {"https", Value("https://downloads.example.com/c.zip"), QUrl("https://downloads.example.com/c.zip")},
        {"http with port and query", Value("http://example.com:8080/d?v=3"), QUrl("http://example.com:8080/d?v=3")},
        {"upper-case scheme", Value("HTTPS://Example.com/x"), QUrl("https://example.com/x")},
        {"missing", Value(), home},
        {"not a string", Value::int64(42), home},
        {"data", Value::data("https://example.com/"), home},
        {"file", Value("file:///etc/passwd"), home},
        {"javascript", Value("javascript:alert(1)"), home},
        {"another scheme", Value("smb://example.com/share"), home},
        {"relative", Value("/download/calvorin.zip"), home},
        {"no host", Value("http:///calvorin.zip"), home},
        {"empty", Value(""), home},
        {"not an address", Value("http://exa mple.com/"), home},
    };
    const struct {
        const char* button;
        const char* key;
        void (QvPhoneHome::*alert)(const DictionaryRef&);
    } buttons[] = {
        {"Download Update", "GFU", &QvPhoneHome::notifyAboutUpdateAvailable},
        {"Download Page", "DPU", &QvPhoneHome::notifyAboutUpdateAvailable},
        {"Go to Zundel Download Page", "DPU", &QvPhoneHome::notifyAboutYourAppIsLastAvailable},
    };
    mirrors({}, {}, {}, {});
    for (const auto& button : buttons) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(button.button) + ": " + c.name);
            ScriptedResponder alerts;
            RecordingUrlOpener opener;
            alerts.answerWithButton(QString::fromLatin1(button.button));
            DictionaryRef feed = Dictionary::create({{"LRA", Value::int64(30700)},
                                                     {"GFU", Value("https://other.example.com/gfu")},
                                                     {"DPU", Value("https://other.example.com/dpu")}});
            feed->setObject(c.address, QString::fromLatin1(button.key));
            (this->home.get()->*button.alert)(feed);
            EXPECT_EQ(opener.opened, QList<QUrl>{c.opened});
        }
    }
    // "Later" and "Close" open nothing.
    ScriptedResponder alerts;
    alerts.answerWithButton("Later").answerWithButton("Close");
    const DictionaryRef feed = Dictionary::create({{"GFU", Value("https://e.example/")}});
    this->home->notifyAboutUpdateAvailable(feed);
    this->home->notifyAboutYourAppIsLastAvailable(feed);
    EXPECT_EQ(alerts.alerts().size(), 2);
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(UpdateCheckTest, RequestsDuringACheckJoinItInsteadOfStartingAnother)
{
    ScriptedResponder alerts;
    const QByteArray upToDate = LoopbackMirror::feedBody(Value::int64(30602));

    // Two quick commands: one connection, one report.
    {
        LoopbackMirror mirror(LoopbackMirror::feed(upToDate));
        mirrors(mirror, mirror, mirror, mirror);
        home->checkForLastReleaseAvailableWithNotify();
        home->checkForLastReleaseAvailableWithNotify();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(mirror.connections(), 1);
        EXPECT_EQ(alerts.messageTexts(), QStringList{kUpToDateMessage});
    }
    // "Software Update…" while the silent start-up check runs still answers.
    for (const qint64 latest : {30602, 30700}) {
        SCOPED_TRACE(latest);
        ScriptedResponder alerts;
        setNotifyUpdate(false);
        storeDate(clock.currentDateTime().addDays(-1));
        LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(latest))));
        mirrors(mirror, mirror, mirror, mirror);
        home->startupProcedure();
        EXPECT_TRUE(home->isChekingUpdateSystem());
        home->checkForLastReleaseAvailableWithNotify();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(mirror.connections(), 1);
        EXPECT_EQ(alerts.messageTexts(), QStringList{latest > kRelease ? kUpdateMessage : kUpToDateMessage});
    }
    // The invitation answered while the silent check runs: "OK" joins it, and
    // "Cancel" leaves it running, so a command still joins it.
    for (const char* answer : {"OK", "Cancel"}) {
        SCOPED_TRACE(answer);
        ScriptedResponder alerts;
        alerts.answerWithButton(QString::fromLatin1(answer));
        setNotifyUpdate(false);
        defaults.removeObjectForKey(QStringLiteral("lastCheckDateForUpdate"));
        LoopbackMirror mirror(LoopbackMirror::feed(upToDate));
        mirrors(mirror, mirror, mirror, mirror);
        home->startupProcedure();
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_TRUE(home->isChekingUpdateSystem());
        if (QByteArray(answer) == "Cancel")
            home->checkForLastReleaseAvailableWithNotify();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(mirror.connections(), 1);
        EXPECT_EQ(alerts.messageTexts().mid(1), QStringList{kUpToDateMessage});
    }
    // A request that joins a check asks for no more than it asked: a daily
    // silent one adds nothing to a silent check.
    {
        ScriptedResponder alerts;
        LoopbackMirror mirror(LoopbackMirror::feed(upToDate));
        mirrors(mirror, mirror, mirror, mirror);
        home->silentCheckForLastReleaseAvailable();
        home->dailySilentCheckForLastReleaseAvailable();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(mirror.connections(), 1);
        EXPECT_TRUE(alerts.alerts().isEmpty());
    }
}

TEST_F(UpdateCheckTest, StartupReturnsAtOnceAndACheckerDestroyedMidwayLeavesNoTrace)
{
    ScriptedResponder alerts;
    setNotifyUpdate(true);
    LoopbackMirror mirror(LoopbackMirror::hang());
    mirrors(mirror, mirror, mirror, mirror);

    home->startupProcedure();
    EXPECT_TRUE(home->isChekingUpdateSystem());
    ASSERT_TRUE(QTest::qWaitFor([&] { return mirror.requests().size() == 1; }, 5000));
    home->checkForLastReleaseAvailableWithNotify();
    home.reset();
    QTest::qWait(600);
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_TRUE(storedDate().isNull());
    EXPECT_EQ(mirror.connections(), 1);

    // Gone between the answer and the main queue's turn: the result is dropped.
    ManualMainQueue queue;
    LoopbackMirror answering(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30700))));
    home = std::make_unique<QvPhoneHome>(&defaults);
    mirrors(answering, answering, answering, answering);
    home->checkForLastReleaseAvailableWithNotify();
    ASSERT_TRUE(QTest::qWaitFor([&] { return queue.pending() == 1; }, 5000));
    home.reset();
    queue.runAll();
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_TRUE(storedDate().isNull());
}

TEST_F(UpdateCheckTest, TheRequestIsAPlainGetOfTheFeedAddress)
{
    ScriptedResponder alerts;
    LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(30602))));
    mirrors(QStringLiteral("not a url at all ::"), QStringLiteral("file:///etc/hostname"), mirror.url(), {});
    home->checkForLastReleaseAvailableWithNotify();
    ASSERT_TRUE(waitForCheck());
    ASSERT_EQ(mirror.requests().size(), 1);
    EXPECT_TRUE(mirror.requests()[0].startsWith("GET /mac/calvorin.plist HTTP/1.1\r\n"));
    EXPECT_EQ(alerts.messageTexts(), QStringList{kUpToDateMessage});
}

TEST(SharedPhoneHome, IsOneCheckerForTheApplication)
{
    QvPhoneHome* shared = QvPhoneHome::sharedPhoneHome();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(QvPhoneHome::sharedPhoneHome(), shared);
    EXPECT_FALSE(shared->isChekingUpdateSystem());
    shared->SetValueAppRelease(30602, "Calvorin", "http://a.example/1", "http://b.example/2", "http://c.example/3",
                               "http://d.example/4");
    EXPECT_EQ(shared->myAppRelease(), 30602);
    EXPECT_EQ(shared->myAppName(), "Calvorin");
    EXPECT_EQ(QStringList({shared->myPlistUrl1(), shared->myPlistUrl2(), shared->myPlistUrl3(), shared->myPlistUrl4()}),
              QStringList({"http://a.example/1", "http://b.example/2", "http://c.example/3", "http://d.example/4"}));
}

namespace {

// Clicks `button` of the next message box that comes up, once it is shown;
// with CALVORIN_PICTURES_DIR set, a picture of it is saved there first.
void clickWhenShown(const QString& button, const QString& picture, QString* text, QString* informative)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        *text = box->text();
        *informative = box->informativeText();
        const QString dir = qEnvironmentVariable("CALVORIN_PICTURES_DIR");
        if (!dir.isEmpty())
            box->grab().save(dir + QLatin1Char('/') + picture + QStringLiteral(".png"));
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text().remove(u'&') == button)
                QTest::mouseClick(candidate, Qt::LeftButton);
        }
    });
    poll->start(20);
}

} // namespace

TEST_F(UpdateCheckTest, TheAlertsAsAPersonSeesAndAnswersThem)
{
    const struct {
        const char* picture;
        std::optional<qint64> offered; // nullopt: no mirror answers
        bool invitation;
        const char* button;
        QString message;
        QList<QUrl> opened;
    } cases[] = {
        {"update-available", 30700, false, "Download Update", kUpdateMessage,
         {QUrl("https://downloads.example.com/calvorin.zip")}},
        {"up-to-date", 30602, false, "Go to Zundel Download Page", kUpToDateMessage,
         {QUrl("https://www.example.com/download/")}},
        {"failure", std::nullopt, false, "OK", kFailureMessage, {}},
        {"invitation", std::nullopt, true, "Zundel Site",
         "Would you like that Calvorin informs you now for any available update?",
         {QvAppSupportUtility::homePageUrl()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        ScriptedResponder alerts;
        RecordingUrlOpener opener;
        alerts.showNext();
        defaults.removeObjectForKey(QStringLiteral("lastCheckDateForUpdate"));
        LoopbackMirror mirror(LoopbackMirror::feed(LoopbackMirror::feedBody(Value::int64(c.offered.value_or(0)))));
        const QString address = c.offered ? mirror.url() : LoopbackMirror::refusedUrl();
        mirrors(address, address, address, address);
        QString text, informative;
        clickWhenShown(QString::fromLatin1(c.button), QString::fromLatin1(c.picture), &text, &informative);

        if (c.invitation)
            home->inCaseInviteToCheckForLastReleaseAvailable();
        else
            home->checkForLastReleaseAvailableWithNotify();
        ASSERT_TRUE(waitForCheck());
        EXPECT_EQ(text, c.message);
        EXPECT_EQ(informative, alerts.alerts().value(0).informativeText);
        EXPECT_EQ(opener.opened, c.opened);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}
