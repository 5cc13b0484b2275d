#include "toolkit/QvAppSupportUtility.h"

#include "platform/Alert.h"
#include "platform/BuildConfig.h"
#include "platform/UrlOpener.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include <functional>

TEST(AppSupport, ReleaseStrings)
{
    const struct {
        qint64 number;
        const char* text;
    } cases[] = {
        {30602, "3.6.2"}, {30600, "3.6"},   {31012, "3.10.12"}, {30000, "3.0"}, {100000, "10.0"},
        {1234, "1.2.34"}, {3000, "3.0.00"}, {999, ""},          {0, ""},        {30610, "3.6.10"},
        {1230000, "123.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QvAppSupportUtility::calcReleaseString(c.number), QString::fromUtf8(c.text)) << c.number;
}

TEST(AppSupport, SupportMailEscapesEverySubjectCharacterThatCouldEndTheSubject)
{
    const QString awkward = QStringLiteral("Linux A&B?c=d#e\nbcc=x@y.example Ünïcode 100%");
    const QUrl url = QvAppSupportUtility::supportEmailUrl(awkward);
    const QByteArray expected = QByteArray("mailto:") + CALVORIN_SUPPORT_EMAIL +
                                "?subject=Support%20Request%20for%20Calvorin%20rel.%203.6.2%20-%20Linux%20A%26B%3Fc%3Dd"
                                "%23e%0Abcc%3Dx%40y.example%20%C3%9Cn%C3%AFcode%20100%25";
    EXPECT_EQ(url.toEncoded(), expected);
    EXPECT_EQ(url.toString(QUrl::FullyEncoded).toUtf8(), expected);
    EXPECT_FALSE(url.hasFragment());
    const QUrlQuery query(url);
    ASSERT_EQ(query.queryItems().size(), 1);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("Support Request for Calvorin rel. 3.6.2 - ") + awkward);
}

TEST(AppSupport, EmailUsNamesTheRunningLinuxSystem)
{
    RecordingUrlOpener opener;
    QvAppSupportUtility::emailUs();
    QvAppSupportUtility::emailDravik();
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[0], opener.opened[1]);
    const QUrl url = opener.opened[0];
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url.path(), QString::fromUtf8(CALVORIN_SUPPORT_EMAIL));

    const QString subject = QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
    const QString system = QvAppSupportUtility::operatingSystemName();
    EXPECT_EQ(subject, QStringLiteral("Support Request for Calvorin rel. 3.6.2 - ") + system);
    EXPECT_FALSE(subject.contains(QLatin1String("macOS")));
    EXPECT_TRUE(system.startsWith(QLatin1String("Linux")));
    QSettings osRelease(QStringLiteral("/etc/os-release"), QSettings::IniFormat);
    const QString pretty = osRelease.value(QStringLiteral("PRETTY_NAME")).toString();
    if (!pretty.isEmpty()) {
        EXPECT_EQ(system, QStringLiteral("Linux ") + pretty);
    }
}

TEST(AppSupport, WebPageCommandsOpenTheirPages)
{
    const QString site = QStringLiteral("https://") + QString::fromUtf8(CALVORIN_WEB_HOST);
    const struct {
        const char* name;
        std::function<void()> command;
        QString address;
    } cases[] = {
        {"visitUs", &QvAppSupportUtility::visitUs, site + QStringLiteral("/")},
        {"visitDravik", &QvAppSupportUtility::visitDravik, site + QStringLiteral("/")},
        {"visitDravikMajorUpgrade", &QvAppSupportUtility::visitDravikMajorUpgrade, site + QStringLiteral("/support/")},
        {"visitAppUrl", &QvAppSupportUtility::visitAppUrl, site + QStringLiteral("/osx/calvorin")},
        {"visitTwitter", &QvAppSupportUtility::visitTwitter, QString::fromUtf8(CALVORIN_SOCIAL_URL)},
    };
    for (const auto& c : cases) {
        RecordingUrlOpener opener;
        c.command();
        ASSERT_EQ(opener.opened.size(), 1) << c.name;
        EXPECT_EQ(opener.opened[0].toString(), c.address) << c.name;
    }

    RecordingUrlOpener opener;
    QvAppSupportUtility::openAppStoreList();
    QvAppSupportUtility::openAppStorePage();
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST(AppSupport, NewerVersionAlertsOpenTheHomePageOnlyOnTheirFirstButton)
{
    const struct {
        const char* name;
        std::function<bool()> say;
        QString message;
        QString informative;
    } alerts[] = {
        {"document", &QvAppSupportUtility::sayFilecreatedWithANewerVersion,
         QStringLiteral("The document you requested to open was created with a more recent version of this application"),
         QStringLiteral("To open this file you need a release of this application equal or successive to the one used to "
                        "create this file.\n\nProbably you are using an outdated release.\nYou can download for free the "
                        "last version of this application from our site")},
        {"data file", &QvAppSupportUtility::dataIn_ApplicationSupportFolder_CreatedWithANewerVersion,
         QStringLiteral("Data file the software tryed to open from the Application Support folder was created with a "
                        "more recent version of this application"),
         QStringLiteral("You need a release of this application equal or successive to the one used to create this data "
                        "file.\n\nPlease use a more recent version of this application")},
    };
    for (const auto& a : alerts) {
        for (const int answer : {Alert::FirstButtonReturn, Alert::SecondButtonReturn, Alert::ModalResponseAbort}) {
            RecordingUrlOpener opener;
            ScriptedResponder responder;
            responder.answerWith(answer);
            const bool result = a.say();
            EXPECT_EQ(result, answer == Alert::FirstButtonReturn) << a.name << " " << answer;
            ASSERT_EQ(responder.alerts().size(), 1);
            const ShownAlert& shown = responder.alerts()[0];
            EXPECT_EQ(shown.messageText, a.message) << a.name;
            EXPECT_EQ(shown.informativeText, a.informative) << a.name;
            EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("Go to Download Last Version"), QStringLiteral("Cancel")}));
            EXPECT_EQ(shown.style, Alert::WarningStyle);
            EXPECT_FALSE(shown.asSheet);
            if (result) {
                ASSERT_EQ(opener.opened.size(), 1);
                EXPECT_EQ(opener.opened[0], QvAppSupportUtility::homePageUrl());
            } else {
                EXPECT_TRUE(opener.opened.isEmpty());
            }
        }
    }
}

TEST(AppSupport, UserGuideOpensWhenInstalledAndIsReportedMissingOtherwise)
{
    const QString name = QStringLiteral("Calvorin User Guide");
    QTemporaryDir empty;
    QTemporaryDir installed;
    ASSERT_TRUE(empty.isValid() && installed.isValid());
    QFile guide(installed.filePath(name + QStringLiteral(".pdf")));
    ASSERT_TRUE(guide.open(QIODevice::WriteOnly));
    guide.write("%PDF-1.4\n");
    guide.close();

    {
        RecordingUrlOpener opener;
        ScriptedResponder responder;
        EXPECT_FALSE(QvAppSupportUtility::openUserGuide(name, {empty.path()}));
        EXPECT_TRUE(opener.opened.isEmpty());
        ASSERT_EQ(responder.alerts().size(), 1);
        EXPECT_EQ(responder.alerts()[0].messageText, QStringLiteral("The user guide is not available"));
        EXPECT_TRUE(responder.alerts()[0].informativeText.contains(name + QStringLiteral(".pdf")));
    }
    {
        RecordingUrlOpener opener;
        ScriptedResponder responder;
        EXPECT_TRUE(QvAppSupportUtility::openUserGuide(name, {empty.path(), installed.path()}));
        EXPECT_TRUE(responder.alerts().isEmpty());
        ASSERT_EQ(opener.opened.size(), 1);
        EXPECT_EQ(opener.opened[0], QUrl::fromLocalFile(guide.fileName()));
    }
}
