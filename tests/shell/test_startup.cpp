// The start-up action and the preferences commands that choose, clear,
// reveal and test the start-up document; a start-up that leaves no window
// ends the application.
#include "shell_fixture.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

const QString kPleaseSelect = QStringLiteral("Please select a file or change startup option");
const QString kMissingMessage = QStringLiteral("Preference was set to open at startup a document without specifying it");
const QString kRefusalMessage =
    QStringLiteral("The system is negating the access to the document selected to be opened at startup");

class StartupTest : public ShellTest {
protected:
    // Replaces the file by a new one of the same content: its bookmark becomes stale.
    static void recreate(const QString& file)
    {
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        in.close();
        const QString moved = file + QStringLiteral(".old");
        ASSERT_TRUE(QFile::rename(file, moved));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        QFile::remove(moved);
    }
    QStringList openedFiles() const
    {
        QStringList files;
        for (MyDocument* document : documents())
            files << document->fileURL().toLocalFile();
        return files;
    }
    // The alert that came up as a plain alert, not as a sheet.
    QStringList alertTexts() const { return responder.messageTexts(); }
};

TEST_F(StartupTest, ActionsZeroAndOneWaitASecondAndDoNothingWhenADocumentCameMeanwhile)
{
    const struct {
        const char* what;
        int action;
        bool documentMeanwhile;
        bool opening;
        int newDocuments;
        int choosers;
    } cases[] = {
        {"0 alone", 0, false, false, 1, 0},
        {"0 with a document opened by then", 0, true, false, 0, 0},
        {"0 while a document is opening", 0, false, true, 0, 0},
        {"1 alone", 1, false, false, 0, 1},
        {"1 with a document opened by then", 1, true, false, 0, 0},
        {"1 while a document is opening", 1, false, true, 0, 0},
    };
    const QString file = savedDocumentFile(QStringLiteral("meanwhile.calvorin"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        chooser.requests.clear();
        setDefault("StartupActionTag", Value::int32(c.action));
        delegate().setDocumentIsOpening(c.opening);
        delegate().executeDocumentStartupAsInPref();
        ASSERT_EQ(timers.validTimers().size(), 1u);
        EXPECT_EQ(timers.validTimers().front()->timeInterval(), 1000ms);
        if (c.documentMeanwhile)
            controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), true);
        timers.advance(999ms);
        EXPECT_EQ(controller.documents().size(), c.documentMeanwhile ? 1 : 0);
        EXPECT_TRUE(chooser.requests.isEmpty());
        timers.advance(1ms);
        settle();
        int untitled = 0;
        for (MyDocument* document : documents())
            untitled += document->fileURL().isEmpty() ? 1 : 0;
        EXPECT_EQ(untitled, c.newDocuments);
        EXPECT_EQ(chooser.requests.size(), c.choosers);
        for (Document* document : controller.documents())
            document->close();
        settle();
        delegate().setDocumentIsOpening(false);
    }
}

TEST_F(StartupTest, ActionTwoShowsTheOpenDialogAtOnce)
{
    setDefault("StartupActionTag", Value::int32(2));
    delegate().executeDocumentStartupAsInPref();
    settle();
    EXPECT_EQ(chooser.requests.size(), 1);
    EXPECT_TRUE(timers.validTimers().empty());
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(StartupTest, AValueThatNamesNoActionStartsWithANewDocument)
{
    // A damaged setting must not leave the application without a window, and so without
    // the preferences that would repair it.
    const Value damaged[] = {Value::int32(4), Value::int32(7), Value::int32(-1), Value::int64(4294967299),
                             Value::string(QStringLiteral("12345678901234567890"))};
    for (const Value& tag : damaged) {
        SCOPED_TRACE(tag.stringValue().toStdString());
        setDefault("StartupActionTag", tag);
        delegate().executeDocumentStartupAsInPref();
        ASSERT_EQ(timers.validTimers().size(), 1u);
        timers.advance(1000ms);
        settle();
        ASSERT_EQ(documents().size(), 1);
        EXPECT_TRUE(documents()[0]->fileURL().isEmpty());
        EXPECT_EQ(Defaults::standardUserDefaults().objectForKey(QStringLiteral("StartupActionTag")), tag)
            << "the setting is left for the user to change";
        documents()[0]->close();
        settle();
    }
    EXPECT_TRUE(chooser.requests.isEmpty());
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(StartupTest, ActionThreeWithoutAUsableBookmarkAlertsAfterLaunchHasEnded)
{
    const QString gone = savedDocumentFile(QStringLiteral("gone.calvorin"));
    const QByteArray goneBookmark = QvBookmark::bookmarkForURL_RW(QUrl::fromLocalFile(gone));
    QFile::remove(gone);
    const struct {
        const char* what;
        Value stored;
    } cases[] = {
        {"absent", Value()},
        {"empty data", Value::data(QByteArray())},
        {"damaged data", Value::data(QByteArray("QVBM\x01garbage", 12))},
        {"not data at all", Value::string(QStringLiteral("/tmp/x.calvorin"))},
        {"a file that is gone", Value::data(goneBookmark)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        responder.answerWith(Alert::SecondButtonReturn);
        setDefault("StartupActionTag", Value::int32(3));
        Defaults::standardUserDefaults().setObject(c.stored, QStringLiteral("StartupSelectedDocBookmark"));
        delegate().setStartupDocSpecified(true);
        delegate().executeDocumentStartupAsInPref();
        EXPECT_TRUE(responder.alerts().isEmpty()) << "the alert waits for the main queue";
        settle();
        ASSERT_EQ(responder.alerts().size(), 1);
        const ShownAlert& alert = responder.alerts().first();
        EXPECT_EQ(alert.messageText, kMissingMessage);
        EXPECT_EQ(alert.informativeText, QStringLiteral("You can fix the problem in the preferences"));
        EXPECT_EQ(alert.buttons, (QStringList{"Open Preferences", "Cancel"}));
        EXPECT_EQ(alert.style, Alert::WarningStyle);
        EXPECT_FALSE(alert.asSheet);
        EXPECT_FALSE(delegate().StartupDocSpecified());
        EXPECT_EQ(delegate().StartupDocPathMessageString(), kPleaseSelect);
        EXPECT_TRUE(controller.documents().isEmpty());
        EXPECT_FALSE(preferences().isVisible());
        const_cast<QList<ShownAlert>&>(responder.alerts()).clear();
    }
}

TEST_F(StartupTest, ActionThreeOpensTheChosenDocumentAndRenewsAStaleBookmark)
{
    const QString file = savedDocumentFile(QStringLiteral("chosen.calvorin"));
    storeBookmarkOf(file);
    setDefault("StartupActionTag", Value::int32(3));
    delegate().executeDocumentStartupAsInPref();
    settle();
    EXPECT_EQ(openedFiles(), QStringList{file});
    EXPECT_TRUE(documents().first()->isEncrypted()) << "it opens locked";
    EXPECT_TRUE(responder.alerts().isEmpty());
    EXPECT_EQ(delegate().StartupDocPathMessageString(), QString());
    documents().first()->close();
    settle();

    const QByteArray before = storedBookmark();
    recreate(file);
    delegate().executeDocumentStartupAsInPref();
    settle();
    EXPECT_EQ(delegate().StartupDocPathMessageString(), QStringLiteral("Bookmark renewed"));
    EXPECT_NE(storedBookmark(), before);
    bool stale = true;
    EXPECT_EQ(QvBookmark::urlForBookmark(storedBookmark(), &stale).toLocalFile(), file);
    EXPECT_FALSE(stale) << "the fresh bookmark is stored";
    EXPECT_EQ(openedFiles(), QStringList{file});
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(StartupTest, AStaleBookmarkThatCannotBeStoredAgainKeepsTheOldOneAndOpensTheFileInHand)
{
    const QString file = savedDocumentFile(QStringLiteral("kept.calvorin"));
    storeBookmarkOf(file);
    setDefault("StartupActionTag", Value::int32(3));
    const QByteArray before = storedBookmark();
    recreate(file);

    // The settings file cannot be written while a folder stands in its place.
    const QString settingsFile = QSettings().fileName();
    const QString aside = settingsFile + QStringLiteral(".aside");
    ASSERT_TRUE(QFile::rename(settingsFile, aside));
    ASSERT_TRUE(QDir().mkpath(settingsFile));
    delegate().executeDocumentStartupAsInPref();
    settle();
    QDir(settingsFile).removeRecursively();
    ASSERT_TRUE(QFile::rename(aside, settingsFile));

    EXPECT_NE(delegate().StartupDocPathMessageString(), QStringLiteral("Bookmark renewed"));
    EXPECT_EQ(storedBookmark(), before);
    EXPECT_EQ(openedFiles(), QStringList{file});
}

TEST_F(StartupTest, ActionThreeRefusesWhatIsNotAReadableFileAndOffersThePreferences)
{
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("folder.calvorin"))));
    const QString fifo = path(QStringLiteral("pipe.calvorin"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        const char* what;
        QString target;
        int answer;
        bool preferencesShown;
    } cases[] = {
        {"a folder, Cancel", path(QStringLiteral("folder.calvorin")), Alert::SecondButtonReturn, false},
        {"a FIFO, Open Preferences", fifo, Alert::FirstButtonReturn, true},
    };
    setDefault("StartupActionTag", Value::int32(3));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        preferences().hide();
        const_cast<QList<ShownAlert>&>(responder.alerts()).clear();
        storeBookmarkOf(c.target);
        responder.answerWith(c.answer);
        delegate().setStartupDocSpecified(false);
        delegate().executeDocumentStartupAsInPref();
        ASSERT_EQ(responder.alerts().size(), 1) << "the refusal comes at once";
        const ShownAlert& alert = responder.alerts().first();
        EXPECT_EQ(alert.messageText, kRefusalMessage);
        EXPECT_EQ(alert.informativeText,
                  QStringLiteral("It must be selected in the preferences or the startup action must be changed"));
        EXPECT_EQ(alert.buttons, (QStringList{"Open Preferences", "Cancel"}));
        EXPECT_EQ(delegate().StartupDocPathMessageString(),
                  QStringLiteral("Not valid Startup Document selected. Please re-select"));
        EXPECT_TRUE(delegate().StartupDocSpecified());
        EXPECT_EQ(preferences().isVisible(), c.preferencesShown);
        settle();
        EXPECT_TRUE(controller.documents().isEmpty());
    }
}

TEST_F(StartupTest, TheMissingDocumentAlertOpensThePreferencesOnItsFirstButton)
{
    setDefault("StartupActionTag", Value::int32(3));
    responder.answerWith(Alert::FirstButtonReturn);
    shell->launch({});
    settle();
    EXPECT_EQ(alertTexts(), QStringList{kMissingMessage});
    EXPECT_TRUE(preferences().isVisible());
    EXPECT_EQ(quits, 0) << "the preferences window is up";
}

// The alert as a person sees and answers it.
void answerShownAlert(const QString& button, const QString& picture)
{
    QTimer::singleShot(0, [button, picture] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        keepPicture(box, picture);
        for (QAbstractButton* candidate : box->buttons())
            if (candidate->text().remove(u'&') == button)
                QTest::mouseClick(candidate, Qt::LeftButton);
    });
}

TEST_F(StartupTest, APersonAnswersTheStartupAlertsWithTheirButtons)
{
    setDefault("StartupActionTag", Value::int32(3));
    responder.showNext();
    answerShownAlert(QStringLiteral("Open Preferences"), QStringLiteral("alert-missing-document"));
    shell->launch({});
    settle();
    EXPECT_TRUE(preferences().isVisible());
    EXPECT_EQ(preferences().windowTitle(), QStringLiteral("General"));
    preferences().hide();

    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("folder.calvorin"))));
    storeBookmarkOf(path(QStringLiteral("folder.calvorin")));
    responder.showNext();
    answerShownAlert(QStringLiteral("Cancel"), QStringLiteral("alert-refused-document"));
    delegate().executeDocumentStartupAsInPref();
    settle();
    EXPECT_FALSE(preferences().isVisible());
    EXPECT_EQ(responder.messageTexts(), (QStringList{kMissingMessage, kRefusalMessage}));
}

TEST_F(StartupTest, AStartupThatLeavesNoWindowEndsTheApplication)
{
    const QString damaged = path(QStringLiteral("damaged.calvorin"));
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a document");
    }
    const QString good = savedDocumentFile(QStringLiteral("good.calvorin"));
    const struct {
        const char* what;
        int action;
        QString bookmarked;
        QStringList chosen;
        int quits;
    } cases[] = {
        {"open dialog cancelled", 2, {}, {}, 1},
        {"open dialog answered", 2, {}, {good}, 0},
        {"missing document, Cancel", 3, {}, {}, 1},
        {"the chosen document cannot be opened", 3, damaged, {}, 1},
        {"the chosen document opens", 3, good, {}, 0},
        {"a new document", 0, {}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        quits = 0;
        setDefault("StartupActionTag", Value::int32(c.action));
        if (!c.bookmarked.isEmpty())
            storeBookmarkOf(c.bookmarked);
        else
            Defaults::standardUserDefaults().removeObjectForKey(QStringLiteral("StartupSelectedDocBookmark"));
        if (c.action == 2)
            chooser.answerWith(c.chosen);
        responder.answerWith(Alert::SecondButtonReturn);
        shell->launch({});
        settle();
        timers.advance(1s);
        settle();
        EXPECT_EQ(quits, c.quits);
        for (Document* document : controller.documents())
            document->close();
        settle();
        preferences().hide();
        settle();
    }
}

TEST_F(StartupTest, ChoosingRemembersTheFileAndAFileThatCannotBeRememberedKeepsThePreviousChoice)
{
    const QString first = savedDocumentFile(QStringLiteral("first.calvorin"));
    chooser.answerWith(first);
    delegate().setStartupDocPathMessageString(kPleaseSelect);
    delegate().setStartupDocSpecified(false);
    delegate().selectStartupDoc();
    settle();
    ASSERT_EQ(chooser.requests.size(), 1);
    const ScriptedFileChooser::Request& request = chooser.requests.first();
    EXPECT_EQ(request.options.prompt, QStringLiteral("Select"));
    EXPECT_EQ(request.options.allowedExtensions, QStringList{"calvorin"});
    EXPECT_FALSE(request.options.allowsMultipleSelection);
    EXPECT_EQ(request.window, &preferences()) << "a sheet on the preferences window";
    bool stale = false;
    EXPECT_EQ(QvBookmark::urlForBookmark(storedBookmark(), &stale).toLocalFile(), first);
    EXPECT_EQ(delegate().StartupDocPathMessageString(), QString());
    EXPECT_TRUE(delegate().StartupDocSpecified());

    const QByteArray kept = storedBookmark();
    chooser.cancelNext();
    delegate().selectStartupDoc();
    settle();
    EXPECT_EQ(storedBookmark(), kept);
    EXPECT_EQ(delegate().StartupDocPathMessageString(), QString());

    chooser.answerWith(path(QStringLiteral("vanished.calvorin")));
    delegate().selectStartupDoc();
    settle();
    EXPECT_EQ(storedBookmark(), kept);
    EXPECT_EQ(delegate().StartupDocPathMessageString(), kPleaseSelect);

    QvAppDelegateBase base;
    EXPECT_EQ(base.allowedStartupDocExtensions(), QStringList{QString()});
}

TEST_F(StartupTest, ClearingStoresEmptyDataAndTestingAnEmptyChoiceStopsThere)
{
    storeBookmarkOf(savedDocumentFile(QStringLiteral("cleared.calvorin")));
    delegate().clearStartupSelectedDoc();
    const Value stored = Defaults::standardUserDefaults().objectForKey(QStringLiteral("StartupSelectedDocBookmark"));
    EXPECT_TRUE(stored.isData());
    EXPECT_TRUE(stored.dataValue().isEmpty());
    EXPECT_TRUE(Defaults::standardUserDefaults().hasUserValueForKey(QStringLiteral("StartupSelectedDocBookmark")));
    EXPECT_EQ(delegate().StartupDocPathMessageString(), kPleaseSelect);
    EXPECT_FALSE(delegate().StartupDocSpecified());

    delegate().setStartupDocPathMessageString(QString());
    delegate().testOpenStartupDoc();
    settle();
    EXPECT_EQ(delegate().StartupDocPathMessageString(), kPleaseSelect);
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_TRUE(responder.alerts().isEmpty()) << "no attempt to open an empty address";
}

TEST_F(StartupTest, TestingOpensTheChosenDocumentAndRevealingShowsItInItsFolder)
{
    const QString file = savedDocumentFile(QStringLiteral("shown.calvorin"));
    storeBookmarkOf(file);
    delegate().showInFinderStartupDoc();
    EXPECT_EQ(revealer.revealed, QStringList{file});

    recreate(file);
    delegate().showInFinderStartupDoc();
    EXPECT_EQ(revealer.revealed, (QStringList{file, file}));
    EXPECT_EQ(delegate().StartupDocPathMessageString(), QStringLiteral("Bookmark renewed"));

    delegate().setStartupDocPathMessageString(QString());
    recreate(file);
    delegate().testOpenStartupDoc();
    settle();
    EXPECT_EQ(openedFiles(), QStringList{file});
    EXPECT_EQ(delegate().StartupDocPathMessageString(), QStringLiteral("Bookmark renewed"));

    QFile::remove(file);
    revealer.revealed.clear();
    delegate().showInFinderStartupDoc();
    EXPECT_TRUE(revealer.revealed.isEmpty());
}

} // namespace
