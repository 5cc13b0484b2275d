// The user guide the build makes: Help ▸ Calvorin User Guide and the About
// window's User Guide button open it in the PDF viewer; where it is missing,
// they say so.
#include "shell_fixture.h"

#include "shell/QvAboutBoxController.h"
#include "toolkit/QvAppSupportUtility.h"

#include <QPushButton>
#include <QRegularExpression>

#include <functional>

namespace {

const QString kGuideName = QStringLiteral("Calvorin User Guide");
const QString kGuideFile = kGuideName + QStringLiteral(".pdf");

QString builtGuide()
{
    return QDir(QStringLiteral(CALVORIN_PROGRAM_DIR)).filePath(kGuideFile);
}

QByteArray contentOf(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

class UserGuideTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // Every document window gets the application's menus.
        delegate().applicationWillFinishLaunching();
        // The data folders are the test's own: the guide is there only when a test installs it.
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS"})
            saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("home-data"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(path(QStringLiteral("data"))));
    }
    void TearDown() override
    {
        for (const Saved& variable : saved) {
            if (variable.wasSet)
                qputenv(variable.name, variable.value);
            else
                qunsetenv(variable.name);
        }
        ShellTest::TearDown();
    }

    // The guide the build made, put into a data folder as a package installs it.
    QString installBuiltGuide()
    {
        const QString installed = path(QStringLiteral("data/calvorin/")) + kGuideFile;
        EXPECT_TRUE(QDir().mkpath(path(QStringLiteral("data/calvorin"))));
        EXPECT_TRUE(QFile::copy(builtGuide(), installed));
        return installed;
    }

    struct Saved {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    QList<Saved> saved;
};

TEST_F(UserGuideTest, TheBuildPutsACompleteGuideBesideTheProgram)
{
    EXPECT_EQ(QvAppSupportUtility::userGuidePath(kGuideName, {QStringLiteral(CALVORIN_PROGRAM_DIR)}), builtGuide());
    const QByteArray pdf = contentOf(builtGuide());
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF")) << "written to its end";
    // The title page and the chapters after it.
    const qsizetype pages = QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]")));
    EXPECT_GE(pages, 6);
}

TEST_F(UserGuideTest, HelpMenuAndAboutWindowOpenTheInstalledGuideOrSayItIsMissing)
{
    const struct {
        const char* name;
        std::function<void()> open;
    } openings[] = {
        {"Help menu",
         [this] {
             Document* document = controller.openUntitledDocumentAndDisplay(true, nullptr);
             ASSERT_TRUE(document && document->window());
             ASSERT_TRUE(document->window()->perform(QStringLiteral("openUserGuide")));
         }},
        {"About window",
         [this] {
             delegate().openAbout();
             settle();
             QWidget* about = QvAboutBoxController::sharedAboutBoxController()->AboutBox();
             ASSERT_TRUE(about);
             auto* button = about->findChild<QPushButton*>(QStringLiteral("userGuideButton"));
             ASSERT_TRUE(button && button->isVisible());
             button->click();
             about->close();
         }},
    };
    for (const auto& opening : openings) {
        SCOPED_TRACE(opening.name);
        QDir(path(QStringLiteral("data"))).removeRecursively();
        opener.opened.clear();
        const qsizetype alertsBefore = responder.alerts().size();
        opening.open();
        settle();
        EXPECT_TRUE(opener.opened.isEmpty()) << "nothing to open";
        ASSERT_EQ(responder.alerts().size(), alertsBefore + 1);
        EXPECT_EQ(responder.alerts().last().messageText, QStringLiteral("The user guide is not available"));

        const QString installed = installBuiltGuide();
        opening.open();
        settle();
        EXPECT_EQ(responder.alerts().size(), alertsBefore + 1) << "no alert once it is installed";
        ASSERT_EQ(opener.opened.size(), 1);
        const QUrl url = opener.opened.first();
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_EQ(QFileInfo(url.toLocalFile()).canonicalFilePath(), QFileInfo(installed).canonicalFilePath());
        EXPECT_TRUE(contentOf(url.toLocalFile()).startsWith("%PDF-"));
    }
}

} // namespace
