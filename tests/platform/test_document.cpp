#include "test_document_fixture.h"

#include "common/TitleWrites.h"
#include "common/file_size_limit.h"

#include <cerrno>
#include <cstring>
#include "platform/DocumentWindow.h"
#include "platform/Sheet.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>

namespace {
QStringList fileNames(const QDir& dir)
{
    return dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

TEST_F(DocumentTest, NewDocumentsAreNumberedFromTheLowestFreeNumber)
{
    TextDocument* first = newDocument();
    TextDocument* second = newDocument();
    TextDocument* third = newDocument();
    EXPECT_EQ(first->displayName(), "Untitled");
    EXPECT_EQ(second->displayName(), "Untitled 2");
    EXPECT_EQ(third->displayName(), "Untitled 3");
    EXPECT_EQ(second->window()->windowTitle(), "Untitled 2[*]");

    second->performClose();
    settle();
    EXPECT_EQ(controller.documents(), (QList<Document*>{first, third}));
    EXPECT_EQ(newDocument()->displayName(), "Untitled 2");
    EXPECT_TRUE(responder.alerts().isEmpty()) << "an unedited document closes without asking";
}

TEST_F(DocumentTest, ClosingEndsTheSheetsOfTheWindowAndLeavesAnUnownedDocumentToItsOwner)
{
    TextDocument document;
    document.showWindows();
    QPointer<DocumentWindow> window = document.window();
    responder.showNext();
    int answer = 0;
    Alert("Still up", "", {}).beginSheetModalForWindow(window, [&](int response) { answer = response; });

    document.close();
    settle();

    EXPECT_EQ(answer, Alert::ModalResponseAbort);
    EXPECT_TRUE(document.isClosed());
    EXPECT_TRUE(window.isNull());
}

TEST_F(DocumentTest, DestroyingAWindowWhoseFieldHasTheFocusIsSafe)
{
    TextDocument document;
    document.showWindows();
    DocumentWindow* window = document.window();
    auto* field = new QLineEdit(window);
    window->setCentralWidget(field);
    window->activateWindow();
    field->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    delete window;
    QApplication::processEvents();
    SUCCEED() << "the focus moving while the window's children go must not reach the window";
}

TEST_F(DocumentTest, ADocumentGoingWithUndoStepsDoesNotCallBackItsSubclass)
{
    // A subclass listens to its own document, as the contacts document does.
    struct Watched : TextDocument {
        ~Watched() override { *gone = true; }
        bool* gone = nullptr;
    };
    bool subclassGone = false;
    int callsAfterwards = 0;
    auto* document = new Watched;
    document->gone = &subclassGone;
    const auto record = [&] {
        if (subclassGone)
            ++callsAfterwards;
    };
    QObject::connect(document, &Document::userInterfaceStateChanged, document, record);
    QObject::connect(document, &Document::changeCountChanged, document, record);
    document->type("a");
    document->type("b");

    delete document;
    EXPECT_EQ(callsAfterwards, 0);
}

TEST_F(DocumentTest, EditsUndoAndRedoMoveTheChangeCount)
{
    TextDocument* document = newDocument();
    QAction* undo = document->window()->command("undo");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(undo->isEnabled());

    document->type("a");
    EXPECT_EQ(document->changeCount(), 1);
    EXPECT_TRUE(document->window()->isWindowModified());
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->text(), "&Undo Typing");

    document->undoManager()->undo();
    EXPECT_EQ(document->text, "");
    EXPECT_FALSE(document->isDocumentEdited());
    document->undoManager()->redo();
    EXPECT_EQ(document->text, "a");
    EXPECT_EQ(document->changeCount(), 1);

    // Saved, then undone: the contents differ from the file again.
    document->updateChangeCount(Document::ChangeCleared);
    document->undoManager()->undo();
    EXPECT_TRUE(document->isDocumentEdited());

    document->updateChangeCount(Document::ChangeDone);
    document->updateChangeCount(Document::ChangeDone);
    EXPECT_EQ(document->changeCount(), 1);
    document->updateChangeCount(Document::ChangeCleared);
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(DocumentTest, TheTitleIsWrittenOnlyWhenItsTextOrMarkChanges)
{
    // Counted writes after each step, for few and for many changes.
    for (const int changes : {1, 10, 10000}) {
        SCOPED_TRACE(changes);
        TextDocument* document = newDocument();
        DocumentWindow* window = document->window();
        TitleWrites writes(window);
        for (int i = 0; i < changes; ++i)
            document->updateChangeCount(Document::ChangeDone);
        EXPECT_TRUE(window->isWindowModified());
        EXPECT_EQ(writes.count(), 1) << "the mark, once";
        for (int i = 0; i < changes; ++i)
            document->updateChangeCount(Document::ChangeUndone);
        EXPECT_FALSE(window->isWindowModified());
        EXPECT_EQ(writes.count(), 2);
        document->updateChangeCount(Document::ChangeCleared);
        EXPECT_EQ(writes.count(), 2);
        document->setFileURL(QUrl::fromLocalFile(path(QStringLiteral("notes.txt"))));
        EXPECT_EQ(window->windowTitle(), "notes.txt[*]");
        const int renamed = writes.count();
        EXPECT_GT(renamed, 2);
        document->setFileURL(QUrl::fromLocalFile(path(QStringLiteral("notes.txt"))));
        document->updateChangeCount(Document::ChangeCleared);
        EXPECT_EQ(writes.count(), renamed);
    }
}

TEST_F(DocumentTest, CloseOfAnEditedDocumentAsksAndObeysTheAnswer)
{
    struct Case {
        const char* answer;
        bool closes;
        QByteArray fileAfter;
    };
    const Case cases[] = {{"Save", true, "new"}, {"Don't Save", true, "old"}, {"Cancel", false, "old"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const QString file = writeFile("close.txt", "old");
        QPointer<TextDocument> document = open(file);
        ASSERT_TRUE(document);
        document->type("new");
        responder.answerWithButton(c.answer);

        document->window()->close();
        settle();

        ASSERT_FALSE(responder.alerts().isEmpty());
        const ShownAlert& asked = responder.alerts().last();
        EXPECT_EQ(asked.messageText, "Do you want to save the changes made to the document “close.txt”?");
        EXPECT_EQ(asked.buttons, (QStringList{"Save", "Don't Save", "Cancel"}));
        EXPECT_TRUE(asked.asSheet);
        EXPECT_EQ(document.isNull(), c.closes);
        EXPECT_EQ(readFile(file), c.fileAfter);
        if (document) {
            EXPECT_TRUE(document->isDocumentEdited());
            EXPECT_TRUE(document->window()->isVisible());
            document->updateChangeCount(Document::ChangeCleared);
            document->close();
            settle();
        }
    }
}

TEST_F(DocumentTest, SavingOnCloseThatFailsKeepsTheDocumentOpen)
{
    TextDocument* document = newDocument();
    document->type("text");
    QPointer<TextDocument> alive(document);
    responder.answerWithButton("Save");
    chooser.cancelNext();

    document->performClose();
    settle();

    ASSERT_TRUE(alive);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(chooser.requests.size(), 1);
}

TEST_F(DocumentTest, QuitAsksEveryEditedDocumentInTurnAndStopsAtCancel)
{
    const QString fileA = writeFile("a.txt", "a"), fileB = writeFile("b.txt", "b"), fileC = writeFile("c.txt", "c");
    QPointer<TextDocument> a = open(fileA), b = open(fileB), c = open(fileC);
    a->type("a2");
    c->type("c2");
    QSignalSpy approved(&controller, &DocumentController::terminationApproved);

    responder.answerWithButton("Cancel");
    controller.terminate();
    settle();
    EXPECT_EQ(responder.messageTexts(), QStringList{"Do you want to save the changes made to the document “a.txt”?"});
    EXPECT_EQ(approved.count(), 0);
    EXPECT_EQ(controller.documents().size(), 3);

    responder.answerWithButton("Don't Save").answerWithButton("Save");
    controller.terminate();
    settle();
    EXPECT_EQ(responder.alerts().size(), 3) << "the unedited b.txt is not asked about";
    EXPECT_TRUE(responder.alerts().last().messageText.contains("“c.txt”"));
    EXPECT_EQ(approved.count(), 1);
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_TRUE(!a && !b && !c);
    EXPECT_EQ(readFile(fileA), "a");
    EXPECT_EQ(readFile(fileC), "c2");
}

TEST_F(DocumentTest, CloseAskedTwiceShowsOneQuestion)
{
    TextDocument* document = newDocument();
    document->type("x");
    QSignalSpy approved(&controller, &DocumentController::terminationApproved);
    responder.answerWithButton("Don't Save");

    document->window()->close();
    controller.terminate();
    settle();

    EXPECT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(approved.count(), 1);
    EXPECT_TRUE(controller.documents().isEmpty());
}

TEST_F(DocumentTest, SaveUntitledAsksForAFileAndNamesTheDocumentAfterIt)
{
    TextDocument* document = newDocument();
    document->type("hello");
    chooser.answerWith(path("notes"));

    document->saveDocument();
    settle();

    ASSERT_EQ(chooser.requests.size(), 1);
    EXPECT_TRUE(chooser.requests[0].save);
    EXPECT_EQ(chooser.requests[0].window, document->window());
    EXPECT_EQ(chooser.requests[0].options.suggestedName, "Untitled.txt");
    EXPECT_EQ(chooser.requests[0].options.allowedExtensions, QStringList{"txt"});
    EXPECT_EQ(readFile(path("notes.txt")), "hello");
    EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(path("notes.txt")));
    EXPECT_EQ(document->displayName(), "notes.txt");
    EXPECT_EQ(document->window()->windowTitle(), "notes.txt[*]");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(DocumentTest, SaveAsIntoAPlaceThatCannotBeWrittenFailsAndLosesNothing)
{
    // Permissions do not stop root, so the target lies below a regular file.
    const QString file = writeFile("keep.txt", "saved");
    writeFile("blocker", "a file, not a folder");
    TextDocument* document = open(file);
    document->type("unsaved work");
    chooser.answerWith(path("blocker/copy.txt"));

    document->saveDocumentAs();
    settle();

    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(responder.alerts()[0].messageText, "The document “keep.txt” could not be saved as “copy.txt”.");
    EXPECT_FALSE(responder.alerts()[0].informativeText.isEmpty());
    EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(file));
    EXPECT_EQ(document->text, "unsaved work");
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(readFile(file), "saved");
}

TEST_F(DocumentTest, WriteThatFailsHalfWayLeavesThePreviousFileIntact)
{
    const QString file = writeFile("big.txt", "previous contents");
    TextDocument* document = open(file);
    document->type(QString(1 << 20, QLatin1Char('x')));

    withFileSizeLimit(64 * 1024, [document] { document->saveDocument(); });
    settle();

    EXPECT_EQ(readFile(file), "previous contents");
    EXPECT_EQ(fileNames(QDir(dir.path())), QStringList{"big.txt"}) << "no partial file is left behind";
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(responder.alerts()[0].messageText, "The document “big.txt” could not be saved.");
    EXPECT_EQ(responder.alerts()[0].informativeText, QString::fromLocal8Bit(std::strerror(EFBIG)))
        << "the system's reason, not \"Unknown error\"";
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(DocumentTest, DocumentThatRefusesToWriteKeepsTheFileAndSaysWhy)
{
    const QString file = writeFile("locked.txt", "on disk");
    TextDocument* document = open(file);
    document->type("in memory");
    document->refusal = "The document is locked.";

    document->saveDocument();
    settle();

    EXPECT_EQ(readFile(file), "on disk");
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(responder.alerts()[0].informativeText, "The document is locked.");
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(DocumentTest, SaveAsOntoAFileOpenInAnotherDocumentIsRefused)
{
    const QString other = writeFile("other.txt", "other");
    open(other);
    TextDocument* document = newDocument();
    document->type("mine");
    chooser.answerWith(other);

    document->saveDocumentAs();
    settle();

    EXPECT_EQ(readFile(other), "other");
    EXPECT_EQ(responder.alerts().size(), 1);
    EXPECT_TRUE(document->fileURL().isEmpty());
}

TEST_F(DocumentTest, RevertReadsTheFileAgainWhenConfirmed)
{
    const QString file = writeFile("revert.txt", "first");
    TextDocument* document = open(file);
    QAction* revert = document->window()->command("revertDocumentToSaved");
    EXPECT_FALSE(revert->isEnabled()) << "nothing to revert";
    document->type("edited");
    EXPECT_TRUE(revert->isEnabled());
    writeFile("revert.txt", "changed on disk");

    responder.answerWithButton("Cancel");
    document->revertDocumentToSaved();
    settle();
    EXPECT_EQ(document->text, "edited");

    responder.answerWithButton("Revert");
    document->revertDocumentToSaved();
    settle();
    EXPECT_EQ(responder.alerts().last().messageText,
              "Do you want to revert to the most recently saved version of the document “revert.txt”?");
    EXPECT_EQ(document->text, "changed on disk");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_FALSE(revert->isEnabled());
}

TEST_F(DocumentTest, RevertThatCannotReadKeepsTheEdits)
{
    const QString file = writeFile("revert.txt", "first");
    TextDocument* document = open(file);
    document->type("edited");
    writeFile("revert.txt", "BAD now");
    responder.answerWithButton("Revert");

    document->revertDocumentToSaved();
    settle();

    EXPECT_EQ(document->text, "edited");
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(responder.messageTexts().last(), "The document “revert.txt” could not be reverted.");
}

// Two copies of the program on one file: each save must not wipe the other's unasked.
TEST_F(DocumentTest, SavingOverAFileAnotherCopyHasSavedAsksFirst)
{
    const QString file = writeFile("shared.txt", "Ann");
    DocumentController secondCopy;
    secondCopy.registerDocumentType(QStringLiteral("text"), QStringLiteral("Text Document"), {QStringLiteral("txt")},
                                    [] { return new TextDocument; });
    TextDocument* first = open(file);
    TextDocument* second = nullptr;
    secondCopy.openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), true,
                                             [&](Document* d, bool) { second = static_cast<TextDocument*>(d); });
    ASSERT_TRUE(first && second);
    first->type("Ann, Bob");
    first->saveDocument();
    settle();
    EXPECT_TRUE(responder.alerts().isEmpty()) << "nobody else has written the file";
    second->type("Ann, Cleo");

    responder.answerWithButton("Cancel");
    second->saveDocument();
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    const ShownAlert question = responder.alerts()[0];
    EXPECT_EQ(question.messageText, "The file has been changed by another application since you opened or saved it.");
    EXPECT_TRUE(question.informativeText.contains("Save As"));
    EXPECT_EQ(question.buttons, (QStringList{"Save Anyway", "Cancel"}));
    EXPECT_TRUE(question.asSheet);
    EXPECT_EQ(question.window, second->window());
    EXPECT_EQ(readFile(file), "Ann, Bob");
    EXPECT_TRUE(second->isDocumentEdited());

    // Closing with "Save" and then "Cancel" keeps the document open, its work unsaved.
    responder.answerWithButton("Save").answerWithButton("Cancel");
    QPointer<TextDocument> alive(second);
    second->performClose();
    settle();
    ASSERT_TRUE(alive);
    EXPECT_EQ(responder.alerts().size(), 3);
    EXPECT_TRUE(second->isDocumentEdited());
    EXPECT_EQ(readFile(file), "Ann, Bob");

    responder.answerWithButton("Save Anyway");
    second->saveDocument();
    settle();
    EXPECT_EQ(readFile(file), "Ann, Cleo");
    EXPECT_FALSE(second->isDocumentEdited());
    second->type("Ann, Cleo, Dan");
    second->saveDocument();
    settle();
    EXPECT_EQ(responder.alerts().size(), 4) << "its own save is the file it knows now";
    EXPECT_EQ(readFile(file), "Ann, Cleo, Dan");

    // Now the first copy is the one asked.
    first->type("Ann, Bob, Eve");
    responder.answerWithButton("Cancel");
    first->saveDocument();
    settle();
    EXPECT_EQ(responder.alerts().size(), 5);
    EXPECT_EQ(readFile(file), "Ann, Cleo, Dan");
}

TEST_F(DocumentTest, AFileChangedBehindTheDocumentIsNoticedAndAGoneOneSavedAgain)
{
    const auto setModified = [](const QString& filePath, const struct timespec& when) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, when};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(filePath).constData(), times, 0), 0);
    };
    const auto modifiedOf = [](const QString& filePath) {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(filePath).constData(), &info), 0);
        return info.st_mtim;
    };
    const struct {
        const char* name;
        std::function<void(const QString&)> change;
        bool asked;
    } cases[] = {
        {"replaced by another file of the same size and time",
         [&](const QString& file) {
             const QString other = writeFile("other.txt", "mine");
             setModified(other, modifiedOf(file));
             ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()), 0);
         },
         true},
        {"written over in place, longer",
         [&](const QString& file) {
             const struct timespec before = modifiedOf(file);
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write("theirs, longer");
             f.close();
             setModified(file, before);
         },
         true},
        {"written over in place, same size, a nanosecond later",
         [&](const QString& file) {
             struct timespec later = modifiedOf(file);
             later.tv_nsec = (later.tv_nsec + 1) % 1000000000;
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write("ours");
             f.close();
             setModified(file, later);
         },
         true},
        {"gone", [](const QString& file) { ASSERT_TRUE(QFile::remove(file)); }, false},
        {"left alone", [](const QString&) {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = writeFile("behind.txt", "ours");
        TextDocument* document = open(file);
        ASSERT_TRUE(document);
        document->type("edited");
        c.change(file);
        const QByteArray onDisk = readFile(file);
        const int alertsBefore = responder.alerts().size();

        if (c.asked)
            responder.answerWithButton("Cancel");
        document->saveDocument();
        settle();
        EXPECT_EQ(responder.alerts().size(), alertsBefore + (c.asked ? 1 : 0));
        EXPECT_EQ(readFile(file), c.asked ? onDisk : QByteArray("edited"));
        EXPECT_EQ(document->isDocumentEdited(), c.asked);
        if (c.asked) {
            // Reading the file again makes it the one the document knows.
            responder.answerWithButton("Revert");
            document->revertDocumentToSaved();
            settle();
            EXPECT_EQ(document->text, QString::fromUtf8(onDisk));
            document->type("edited after all");
            document->saveDocument();
            settle();
            EXPECT_EQ(responder.alerts().size(), alertsBefore + 2);
            EXPECT_EQ(readFile(file), "edited after all");
        }
        document->close();
        settle();
    }
}

TEST_F(DocumentTest, OpeningAFileThatIsOpenRaisesItsWindow)
{
    const QString fileA = writeFile("a.txt", "a");
    QFile::link(fileA, path("link-to-a.txt"));
    TextDocument* a = open(fileA);
    TextDocument* b = open(writeFile("b.txt", "b"));
    a->window()->hide();
    a->type("unsaved");

    bool wasOpen = false;
    EXPECT_EQ(open(path("link-to-a.txt"), &wasOpen), a);
    EXPECT_TRUE(wasOpen);
    EXPECT_EQ(open(dir.path() + "/./a.txt"), a);
    EXPECT_EQ(controller.documents(), (QList<Document*>{a, b}));
    EXPECT_TRUE(a->window()->isVisible());
    EXPECT_EQ(a->text, "unsaved") << "the open document is not read again";
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(a->window()));
}

TEST_F(DocumentTest, FilesThatCannotBeOpenedAreReportedAndOpenNothing)
{
    struct Case {
        QString file;
        QString informative;
    };
    writeFile("damaged.txt", "BAD bytes");
    writeFile("picture.png", "not ours");
    QDir(dir.path()).mkdir("folder.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", path("zero.txt")));
    {
        QFile huge(path("huge.txt"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(Document::kLargestReadableFile + 1));
    }
    const Case cases[] = {
        {"damaged.txt", "Not a text document."},
        {"picture.png", "calvorin-tests cannot open files of this kind."},
        {"missing.txt", "No such file or directory"},
        {"folder.txt", "It is a folder, not a document."},
        {"pipe.txt", "It is a device, pipe or socket, not a document."},
        {"zero.txt", "It is a device, pipe or socket, not a document."},
        {"huge.txt", "The file is too large to be a document of this kind."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        EXPECT_EQ(open(path(c.file)), nullptr);
        settle();
        ASSERT_FALSE(responder.alerts().isEmpty());
        EXPECT_EQ(responder.alerts().last().messageText, QString("The document “%1” could not be opened.").arg(c.file));
        EXPECT_EQ(responder.alerts().last().informativeText, c.informative);
    }
    EXPECT_TRUE(controller.documents().isEmpty());
}

TEST_F(DocumentTest, CommandLineOpensEveryFileNamedInOrder)
{
    const QString fileA = writeFile("a.txt", "a"), fileB = writeFile("b.txt", "b");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    controller.openDocumentsFromCommandLine({"b.txt", QUrl::fromLocalFile(fileA).toString()});
    QDir::setCurrent(cwd);

    ASSERT_EQ(controller.documents().size(), 2);
    EXPECT_EQ(controller.documents()[0]->fileURL(), QUrl::fromLocalFile(fileB));
    EXPECT_EQ(controller.documents()[1]->fileURL(), QUrl::fromLocalFile(fileA));
    EXPECT_TRUE(controller.documents()[1]->window()->isVisible());
}

TEST_F(DocumentTest, OpenCommandOffersTheDocumentTypeAndOpensTheChoice)
{
    const QString fileA = writeFile("a.txt", "a"), fileB = writeFile("b.txt", "b");
    chooser.answerWith(QStringList{fileA, fileB});

    controller.openDocument();
    settle();

    ASSERT_EQ(chooser.requests.size(), 1);
    EXPECT_FALSE(chooser.requests[0].save);
    EXPECT_EQ(chooser.requests[0].options.allowedExtensions, QStringList{"txt"});
    EXPECT_EQ(chooser.requests[0].options.typeDescription, "Text Document");
    EXPECT_EQ(controller.documents().size(), 2);
}

namespace {
// A document that forbids saving, as a locked document does.
class ReadOnlyTextDocument : public TextDocument {
public:
    bool validateMenuItem(QAction* item) override
    {
        if (item->objectName() == "saveDocument")
            return false;
        return TextDocument::validateMenuItem(item);
    }
};
} // namespace

TEST_F(DocumentTest, WindowAsksTheDocumentBeforeAnyCommandRuns)
{
    auto* document = new ReadOnlyTextDocument;
    controller.addDocument(document);
    document->showWindows();
    document->type("x");
    DocumentWindow* window = document->window();

    QAction* save = window->command("saveDocument");
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(save->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_FALSE(window->perform("saveDocument"));
    save->setEnabled(true); // stale state: the command is asked again when it is triggered
    save->trigger();
    settle();
    EXPECT_TRUE(chooser.requests.isEmpty());

    QStringList menus;
    for (QAction* menu : window->menuBar()->actions())
        if (menu->isVisible())
            menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Window"})) << "an empty Help menu stays hidden";
    for (const char* name : {"newDocument", "openDocument", "performClose", "saveDocumentAs", "revertDocumentToSaved",
                             "terminate", "undo", "redo", "cut", "copy", "paste", "selectAll", "performMiniaturize"})
        EXPECT_NE(window->command(name), nullptr) << name;
    EXPECT_TRUE(window->command("undo")->isEnabled());
    EXPECT_FALSE(window->command("copy")->isEnabled()) << "no field has the focus";

    window->grab().save("/tmp/calvorin-document-window.png");
}

namespace {
class PrintableTextDocument : public TextDocument {
public:
    QWidget* printableView() const override { return const_cast<QLabel*>(&view); }
    QLabel view{"Printed contact"};
};
} // namespace

TEST_F(DocumentTest, PrintRendersThePrintableViewAndIsOfferedOnlyWithOne)
{
    EXPECT_FALSE(newDocument()->window()->command("printDocument")->isEnabled());

    auto* document = new PrintableTextDocument;
    controller.addDocument(document);
    document->showWindows();
    EXPECT_TRUE(document->window()->command("printDocument")->isEnabled());
    document->view.resize(300, 100);
    QPrinter* printer = document->printInfo();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path("printed.pdf"));

    EXPECT_TRUE(document->printView(printer));
    EXPECT_TRUE(readFile(path("printed.pdf")).startsWith("%PDF"));
}
