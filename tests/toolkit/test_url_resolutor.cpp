#include "toolkit/QvUrlResolutor.h"

#include "platform/Alert.h"
#include "platform/UrlOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class UrlResolutorTest : public ::testing::Test {
protected:
    // What reached the handlers, one address a line.
    std::string openedTexts() const
    {
        QStringList texts;
        for (const QUrl& url : opener.opened)
            texts << QString::fromUtf8(url.toEncoded());
        return texts.join(QLatin1Char('\n')).toStdString();
    }

    // The same for address texts, as a URL renders them.
    static std::string encoded(const QStringList& texts)
    {
        QStringList out;
        for (const QString& text : texts)
            out << QString::fromUtf8(QUrl(text, QUrl::StrictMode).toEncoded());
        return out.join(QLatin1Char('\n')).toStdString();
    }

    // A file in the temporary folder with the given permissions.
    QString file(const QString& name, QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                 const QByteArray& content = "text\n")
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        EXPECT_TRUE(f.setPermissions(permissions));
        return path;
    }

    QvUrlResolutor resolutor;
    RecordingUrlOpener opener;
    ScriptedResponder responder;
    QTemporaryDir dir;
};

} // namespace

TEST_F(UrlResolutorTest, RecognisesEachKindOfAddress)
{
    struct Case {
        QString address;
        QStringList opened; // what reaches the handlers, in order
        bool answer;
    };
    const Case cases[] = {
        {"http://example.com/a", {"http://example.com/a"}, true},
        {"https://example.com", {"https://example.com"}, true},
        {"  https://example.com  ", {"https://example.com"}, true},
        {"ftp://files.example.com/pub", {"ftp://files.example.com/pub"}, true},
        {"mailto:anna@example.com", {"mailto:anna@example.com"}, true},
        {"anna@example.com", {"mailto:anna@example.com"}, true},
        {" anna@example.com", {"mailto:anna@example.com"}, true},
        {"feed://example.com/rss", {"feed://example.com/rss"}, true},
        // Not recognised: retried with "http://" in front of the trimmed text.
        {"www.example.com", {"http://www.example.com"}, true},
        {" www.example.com ", {"http://www.example.com"}, true},
        {"HTTP://example.com", {"http://HTTP://example.com"}, true},
        {"anna@example.c", {"http://anna@example.c"}, true},
        // A file that is not there is no file address.
        {"file:///nonexistent/calvorin-test", {"http://file:///nonexistent/calvorin-test"}, true},
        // Nothing to open: no handler is called.
        {QString(), {}, false},
        {"", {}, false},
        {"    ", {}, false},
        {"http://exa mple.com", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        opener.opened.clear();
        EXPECT_EQ(resolutor.openUrl(c.address), c.answer);
        EXPECT_EQ(openedTexts(), encoded(c.opened));
    }
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(UrlResolutorTest, PassesOnTheHandlersAnswer)
{
    opener.answer = false;
    EXPECT_FALSE(resolutor.smartOpenUrl("http://example.com", "", ""));
    EXPECT_FALSE(resolutor.openHttp("not an address", "", ""));
    EXPECT_FALSE(resolutor.openMail("mailto:", "", ""));
    EXPECT_EQ(opener.opened.size(), 2);

    opener.answer = true;
    resolutor.setDefaultProtocolType("https://");
    EXPECT_TRUE(resolutor.openUrl("example.com"));
    EXPECT_EQ(opener.opened.last(), QUrl("https://example.com"));
    EXPECT_EQ(QvUrlResolutor::sharedUrlResolutor().defaultProtocolType(), "http://");
    EXPECT_EQ(&QvUrlResolutor::sharedUrlResolutor(), &QvUrlResolutor::sharedUrlResolutor());
}

TEST_F(UrlResolutorTest, MailAddressesNeverAttachFiles)
{
    const struct {
        const char* address;
        const char* opened;
    } cases[] = {
        {"mailto:anna@example.com?subject=Hi&attach=/etc/passwd", "mailto:anna@example.com?subject=Hi"},
        {"mailto:anna@example.com?ATTACHMENT=%2Fhome%2Fanna%2F.ssh%2Fid_rsa&body=x", "mailto:anna@example.com?body=x"},
        {"mailto:anna@example.com?%61ttach=/etc/passwd", "mailto:anna@example.com"},
        {"mailto:anna@example.com?attach=a&+Attachments=b", "mailto:anna@example.com"},
        {"  mailto:?cc=ben@example.org&attach=file:///etc/shadow  ", "mailto:?cc=ben@example.org"},
        // Only parameter names count; the rest of the message is kept as written.
        {"mailto:anna@example.com?subject=attach%3D%2Fetc&body=see%20attachment",
         "mailto:anna@example.com?subject=attach%3D%2Fetc&body=see%20attachment"},
        {"mailto:anna@example.com?subject=Hi", "mailto:anna@example.com?subject=Hi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        opener.opened.clear();
        EXPECT_TRUE(resolutor.openUrl(QString::fromUtf8(c.address)));
        EXPECT_EQ(openedTexts(), c.opened);
    }
    opener.opened.clear();
    EXPECT_TRUE(resolutor.openMail("mailto:anna@example.com?attach=/etc/passwd", "", ""));
    EXPECT_EQ(openedTexts(), "mailto:anna@example.com");
}

TEST_F(UrlResolutorTest, FtpCredentialsArePercentEncoded)
{
    EXPECT_TRUE(resolutor.openUrl("ftp://files.example.com/pub", "anna", "p@ss:w/rd"));
    ASSERT_EQ(opener.opened.size(), 1);
    const QUrl url = opener.opened.first();
    EXPECT_EQ(url.userName(), "anna");
    EXPECT_EQ(url.password(), "p@ss:w/rd");
    EXPECT_EQ(url.host(), "files.example.com");
    EXPECT_EQ(url.path(), "/pub");

    // Only with both of them.
    EXPECT_TRUE(resolutor.openUrl("ftp://files.example.com/pub", "anna"));
    EXPECT_TRUE(resolutor.openUrl("ftp://files.example.com/pub", "", "secret"));
    opener.opened.removeFirst();
    EXPECT_EQ(openedTexts(), encoded({"ftp://files.example.com/pub", "ftp://files.example.com/pub"}));

    EXPECT_EQ(resolutor.smartUrl(" ftp://h/x ", "a b", "c@d", true), "ftp://a%20b:c%40d@h/x");
    EXPECT_EQ(resolutor.smartUrl(" example.com ", "a", "b", false), "example.com");
    EXPECT_TRUE(resolutor.smartUrl(QString(), "a", "b", false).isNull());
}

TEST_F(UrlResolutorTest, FileOpensOnlyWhenTheUserConfirms)
{
    const QString document = file("Letter.txt");
    responder.answerWithButton("Cancel").answerWithButton("Open").answerWithButton("Open");

    // Declined: nothing opens, and no retry as a web address.
    EXPECT_FALSE(resolutor.openUrl("file://" + document));
    EXPECT_TRUE(opener.opened.isEmpty());

    EXPECT_TRUE(resolutor.openUrl(" file://" + document));
    EXPECT_EQ(opener.opened, QList<QUrl>({QUrl::fromLocalFile(document)}));

    ASSERT_EQ(responder.alerts().size(), 2);
    const ShownAlert& asked = responder.alerts().first();
    EXPECT_EQ(asked.messageText, "Open “Letter.txt”?");
    EXPECT_TRUE(asked.informativeText.contains(document));
    EXPECT_EQ(asked.buttons, QStringList({"Cancel", "Open"}));

    // The answer is the handler's, and a failure after the question is final.
    opener.answer = false;
    opener.opened.clear();
    EXPECT_FALSE(resolutor.openUrl("file://" + dir.path()));
    EXPECT_EQ(opener.opened, QList<QUrl>({QUrl::fromLocalFile(dir.path())}));
}

TEST_F(UrlResolutorTest, ProgramsAndLaunchersAreNeverOpened)
{
    const auto rwx = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const QString program = file("tool", rwx, "#!/bin/sh\necho hi\n");
    const QString launcher = file("Calendar.desktop", QFileDevice::ReadOwner,
                                  "[Desktop Entry]\nType=Application\nExec=xterm\n");
    const QString upperLauncher = file("Mail.DESKTOP");
    const QString script = file("setup.sh", QFileDevice::ReadOwner, "#!/bin/sh\nrm -rf ~\n");
    const QString windowsProgram = file("setup.exe", QFileDevice::ReadOwner, "MZ\x90");
    const QString disguised = dir.filePath("Holiday.pdf");
    ASSERT_TRUE(QFile::link(program, disguised));

    for (const QString& path : {program, launcher, upperLauncher, script, windowsProgram, disguised}) {
        SCOPED_TRACE(path.toStdString());
        responder.answerWith(Alert::SecondButtonReturn); // "Open", had it been asked
        const qsizetype asked = responder.alerts().size();
        EXPECT_FALSE(resolutor.openUrl("file://" + path));
        EXPECT_FALSE(resolutor.openFile("file://" + path, "", ""));
        ASSERT_EQ(responder.alerts().size(), asked + 2);
        EXPECT_TRUE(responder.alerts().last().messageText.endsWith("was not opened."));
        EXPECT_EQ(responder.alerts().last().buttons, QStringList({"OK"}));
    }
    EXPECT_TRUE(opener.opened.isEmpty());

    // A relative path depends on the working folder: not a file address.
    EXPECT_FALSE(resolutor.openFile("file://" + QDir().relativeFilePath(file("notes.txt")), "", ""));
}
