// The contacts document with its file: save, open, unlock, lock, and what
// must never be lost or left in clear on the way.
#include "test_document_fixture.h"
#include "test_file_support.h"

#include "document/DocumentWindowFrame.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/DocumentWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace {

class DocumentFileTest : public ContactsDocumentTest {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    // A new document with `count` records, saved as `name`.
    MyDocument* savedDocument(const QString& name, int count = 2)
    {
        MyDocument* document = newDocument();
        settle();
        for (int i = 0; i < count; ++i) {
            const DictionaryRef record = records(document)->newObject();
            record->setObject(Value(QStringLiteral("Person %1").arg(i)), QStringLiteral("firstName"));
            document->addTheRecord(record);
        }
        save(document, name);
        return document;
    }
    bool save(MyDocument* document, const QString& name)
    {
        QString why;
        const bool written = document->writeToURL(QUrl::fromLocalFile(path(name)), QStringLiteral("calvorin"), &why);
        if (written) {
            document->setFileURL(QUrl::fromLocalFile(path(name)));
            document->updateChangeCount(Document::ChangeCleared);
        }
        return written;
    }
    MyDocument* open(const QString& file)
    {
        MyDocument* opened = nullptr;
        controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), true,
                                                 [&opened](Document* d, bool) { opened = static_cast<MyDocument*>(d); });
        settle();
        return opened;
    }
    QByteArray bytesOf(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList firstNames(MyDocument* document) const
    {
        QStringList names;
        for (const Value& r : *document->myArray())
            names << r.valueForKey(QStringLiteral("firstName")).stringValue();
        return names;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(DocumentFileTest, SavesOpensRefusesAWrongPasswordAndUnlocksWithTheRightOne)
{
    MyDocument* document = savedDocument(QStringLiteral("book.calvorin"), 3);
    document->close();
    settle();

    MyDocument* opened = open(path(QStringLiteral("book.calvorin")));
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->isEncrypted());
    EXPECT_TRUE(opened->YouCanSave()) << "a current file may be saved before its unlock";
    EXPECT_FALSE(opened->requiresMandatoryPassword());
    EXPECT_EQ(opened->myArray()->count(), 0);

    opened->submitPasswordToDecrypt(QStringLiteral("not the password"));
    settle();
    EXPECT_TRUE(opened->isEncrypted());
    EXPECT_TRUE(responder.messageTexts().contains(QStringLiteral("Wrong Password")));
    EXPECT_EQ(opened->myArray()->count(), 0);

    opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    EXPECT_FALSE(opened->isEncrypted());
    EXPECT_EQ(firstNames(opened), (QStringList{"Person 0", "Person 1", "Person 2"}));
    EXPECT_FALSE(opened->isDocumentEdited());
    EXPECT_TRUE(opened->YouCanSave());
    EXPECT_EQ(opened->passwordToDecryptField()->text(), QString());
    ASSERT_TRUE(opened->myCommonCrypto());
    EXPECT_EQ(opened->myCommonCrypto()->salt(), opened->mySalt());
}

TEST_F(DocumentFileTest, ALockedSaveWritesTheStoredValuesAndStillUnlocks)
{
    savedDocument(QStringLiteral("a.calvorin"))->close();
    settle();
    MyDocument* opened = open(path(QStringLiteral("a.calvorin")));
    ASSERT_TRUE(opened);
    ASSERT_TRUE(save(opened, QStringLiteral("b.calvorin")));
    const DictionaryRef before = filetest::rootOf(bytesOf(QStringLiteral("a.calvorin")));
    const DictionaryRef after = filetest::rootOf(bytesOf(QStringLiteral("b.calvorin")));
    for (const char* key : {"dataArrayData", "catArrayData", "labelDict", "salt", "IV", "rc", "sha1-rc"})
        EXPECT_EQ(before->objectForKey(QLatin1String(key)).dataValue(), after->objectForKey(QLatin1String(key)).dataValue())
            << key;
    EXPECT_FALSE(after->containsKey(QStringLiteral("OSXPlatformDictionary")));
    opened->close();
    settle();

    MyDocument* again = open(path(QStringLiteral("b.calvorin")));
    again->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    EXPECT_EQ(firstNames(again), (QStringList{"Person 0", "Person 1"}));
}

TEST_F(DocumentFileTest, LockingKeepsUnsavedEditsEncryptedAndNothingInClear)
{
    MyDocument* document = savedDocument(QStringLiteral("edit.calvorin"));
    const DictionaryRef added = records(document)->newObject();
    added->setObject(Value(QStringLiteral("Unsaved")), QStringLiteral("firstName"));
    document->addTheRecord(added);
    document->myLabelDictionary()->setObject(Value(QStringLiteral("Handy:")), QStringLiteral("mobile"));
    ASSERT_TRUE(document->isDocumentEdited());

    document->doLockDocument();
    settle();
    EXPECT_TRUE(document->isEncrypted());
    EXPECT_FALSE(document->YouCanSave());
    EXPECT_EQ(document->myArray()->count(), 0);
    EXPECT_EQ(document->myCategoryArray()->count(), 0);
    EXPECT_TRUE(document->myLabelDictionary()->objectForKey(QStringLiteral("mobile")).isEqual(Value("Mobile personal:")));
    EXPECT_EQ(document->plainPassword(), QString());
    EXPECT_FALSE(document->myCommonCrypto());
    EXPECT_FALSE(document->myCryptoEngine().isReady());
    QString why;
    EXPECT_FALSE(document->dataOfType(QStringLiteral("calvorin"), &why));
    EXPECT_FALSE(document->modernToolbar()->isVisible());

    document->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_EQ(firstNames(document), (QStringList{"Person 0", "Person 1", "Unsaved"}));
    EXPECT_EQ(document->myLabelDictionary()->objectForKey(QStringLiteral("mobile")).stringValue(), QStringLiteral("Handy:"));
    EXPECT_TRUE(document->isDocumentEdited()) << "the edits are still unsaved";
    ASSERT_TRUE(save(document, QStringLiteral("edit.calvorin")));
}

TEST_F(DocumentFileTest, ClosingADocumentLockedWithUnsavedEditsAsks)
{
    MyDocument* document = savedDocument(QStringLiteral("ask.calvorin"));
    document->addTheRecord(records(document)->newObject());
    document->doLockDocument();
    settle();

    responder.answerWithButton(QStringLiteral("Cancel"));
    document->performClose();
    settle();
    EXPECT_FALSE(document->isClosed());
    EXPECT_TRUE(responder.messageTexts().last().contains(QStringLiteral("without its unsaved changes")));

    // Quitting asks the same.
    responder.answerWithButton(QStringLiteral("Cancel"));
    bool allClosed = true;
    controller.closeAllDocuments([&allClosed](bool closed) { allClosed = closed; });
    settle();
    EXPECT_FALSE(allClosed);
    EXPECT_FALSE(document->isClosed());

    responder.answerWithButton(QStringLiteral("Close Without Saving"));
    document->performClose();
    settle();
    EXPECT_TRUE(controller.documents().isEmpty());

    // Locked without edits: closes at once.
    MyDocument* clean = savedDocument(QStringLiteral("clean.calvorin"));
    clean->doLockDocument();
    settle();
    const int alertsBefore = responder.alerts().size();
    clean->performClose();
    settle();
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_EQ(responder.alerts().size(), alertsBefore);
}

TEST_F(DocumentFileTest, AFailedEncryptionFailsTheSaveAndTheLockWithoutLosingAnything)
{
    MyDocument* document = savedDocument(QStringLiteral("keep.calvorin"));
    const QByteArray onDisk = bytesOf(QStringLiteral("keep.calvorin"));
    const QByteArray saltBefore = document->mySalt();
    // A colour that no archive can hold.
    auto strange = std::make_shared<ArchivedColor>();
    strange->colorSpace = 99;
    document->myCategoryArray()->objectAtIndex(0).dictionary()->setObject(Value(ColorRef(strange)),
                                                                            QStringLiteral("cat_textColor"));
    document->updateChangeCount(Document::ChangeDone);

    document->saveDocument();
    settle();
    EXPECT_EQ(bytesOf(QStringLiteral("keep.calvorin")), onDisk);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->mySalt(), saltBefore);
    EXPECT_TRUE(responder.messageTexts().last().contains(QStringLiteral("could not be saved")));

    document->doLockDocument();
    settle();
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_EQ(document->myArray()->count(), 2);
    EXPECT_EQ(document->plainPassword(), QString::fromLatin1(kPassword));
    EXPECT_EQ(responder.messageTexts().last(), QStringLiteral("The document could not be locked."));
}

TEST_F(DocumentFileTest, AnEmptyPasswordIsNeverWritten)
{
    MyDocument* document = newDocument(false);
    settle();
    QString why;
    EXPECT_FALSE(document->dataOfType(QStringLiteral("calvorin"), &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST_F(DocumentFileTest, LocksAutomaticallyOnlyASavedUnlockedDocumentWithAPassword)
{
    MyDocument* saved = savedDocument(QStringLiteral("auto.calvorin"));
    MyDocument* neverSaved = newDocument();
    MyDocument* noPassword = newDocument(false);
    settle();
    for (MyDocument* document : {saved, neverSaved, noPassword})
        document->lockAutomatically();
    settle();
    EXPECT_TRUE(saved->isEncrypted());
    EXPECT_FALSE(neverSaved->isEncrypted());
    EXPECT_FALSE(noPassword->isEncrypted());

    // Already locked: a second lock changes nothing, and the content still unlocks.
    const QByteArray records = saved->myEncryptedArrayData();
    saved->lockAutomatically();
    saved->doLockDocument();
    settle();
    EXPECT_EQ(saved->myEncryptedArrayData(), records);
    saved->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    EXPECT_EQ(saved->myArray()->count(), 2);
}

TEST_F(DocumentFileTest, LockByHandAsksFirst)
{
    MyDocument* document = savedDocument(QStringLiteral("hand.calvorin"));
    responder.answerWithButton(QStringLiteral("Cancel"));
    document->lockDocument();
    settle();
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_EQ(responder.alerts().last().messageText, QStringLiteral("Lock Document back to the crypted state?"));
    EXPECT_EQ(responder.alerts().last().informativeText,
              QStringLiteral("To browse the document data again you will need to re-insert the master password"));

    responder.answerWithButton(QStringLiteral("OK"));
    document->lockDocument();
    settle();
    EXPECT_TRUE(document->isEncrypted());
}

// What was searched for is the user's typing: locking, by hand or
// automatically, takes it out of the field (its undo history too), the
// list's filter and the filter strip, and the unlock does not bring it back.
TEST_F(DocumentFileTest, ShowCategoryOffersTheDocumentsCategoriesOnlyWhileItIsUnlocked)
{
    MyDocument* document = savedDocument(QStringLiteral("categories.calvorin"));
    document->close();
    settle();
    MyDocument* opened = open(path(QStringLiteral("categories.calvorin")));
    ASSERT_TRUE(opened);
    auto offered = [opened] {
        QStringList names;
        for (QAction* action : opened->myCategoryMenu()->actions())
            if (action->objectName() == QLatin1String("doSelectCatMenu"))
                names << action->data().toString();
        return names;
    };
    QAction* item = opened->myCategorySuperMenuItem();
    ASSERT_TRUE(item && item->menu());

    for (const char* step : {"opened", "unlocked", "locked"}) {
        SCOPED_TRACE(step);
        if (step == std::string("unlocked")) {
            opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
        } else if (step == std::string("locked")) {
            responder.answerWithButton(QStringLiteral("OK"));
            opened->lockDocument();
        }
        settle();
        const bool unlocked = step == std::string("unlocked");
        ASSERT_EQ(opened->isEncrypted(), !unlocked);
        emit item->menu()->aboutToShow();
        EXPECT_EQ(item->isEnabled(), unlocked);
        EXPECT_EQ(offered(), unlocked ? QStringList{QStringLiteral("Generic")} : QStringList());
    }
}

TEST_F(DocumentFileTest, TheLockForgetsTheSearch)
{
    MyDocument* document = savedDocument(QStringLiteral("search.calvorin"));
    document->myWindow()->show();
    settle();
    QLabel* strip = document->myWindow()->findChild<QLabel*>(QStringLiteral("filterLabel"));
    ASSERT_NE(strip, nullptr);
    for (const bool automatic : {false, true}) {
        SCOPED_TRACE(automatic ? "locked automatically" : "locked by hand");
        QLineEdit* search = document->searchField();
        search->setFocus();
        QTest::keyClicks(search, QStringLiteral("son 1"));
        settle();
        ASSERT_EQ(records(document)->arrangedCount(), 1);
        ASSERT_TRUE(strip->text().contains(QStringLiteral("son 1")));
        ASSERT_TRUE(search->isUndoAvailable());

        if (automatic) {
            document->lockAutomatically();
        } else {
            responder.answerWithButton(QStringLiteral("OK"));
            document->lockDocument();
        }
        settle();
        ASSERT_TRUE(document->isEncrypted());
        EXPECT_EQ(search->text(), QString());
        EXPECT_FALSE(search->isUndoAvailable());
        EXPECT_EQ(document->searchText(), QString());
        EXPECT_EQ(document->searchPredicate(), QString());
        EXPECT_EQ(records(document)->searchString(), QString());
        EXPECT_EQ(records(document)->usedFilterDisplay(), QString());
        EXPECT_EQ(strip->text(), QString());
        EXPECT_FALSE(document->grayStatusView()->isVisible());

        document->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
        settle();
        ASSERT_FALSE(document->isEncrypted());
        EXPECT_EQ(search->text(), QString());
        EXPECT_EQ(records(document)->arrangedCount(), 2) << "the whole list shows again";
    }
}

// What was copied or selected in a document's window is contact text that
// any program may read: the lock takes it back from the clipboard and the
// selection, from wherever in the window it was copied, unless another
// program or another document has copied since.
class CopiedTextTest : public DocumentFileTest {
protected:
    // Selects the text of a widget of the window and copies it with Ctrl+C, as
    // the user does; where the desktop has a selection, selecting it puts it
    // there too, which the offscreen platform's widgets leave to the test.
    void copyFrom(MyDocument* document, QWidget* widget)
    {
        ASSERT_NE(widget, nullptr);
        document->myWindow()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(document->myWindow()));
        widget->setFocus();
        QString selected;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setSelection(0, int(label->text().size()));
            selected = label->selectedText();
        } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            field->selectAll();
            selected = field->selectedText();
        } else if (auto* table = qobject_cast<QTableView*>(widget)) {
            selected = table->currentIndex().data().toString();
        }
        ASSERT_FALSE(selected.isEmpty());
        auto* selection = new QMimeData;
        selection->setText(selected);
        clipboard.setMimeData(selection, QClipboard::Selection);
        QTest::keyClick(widget, Qt::Key_C, Qt::ControlModifier);
        settle();
        ASSERT_EQ(Clipboard::text(), selected) << "copied by Ctrl+C";
        copied = selected;
    }
    static QString selectionText(const Clipboard& from)
    {
        const QMimeData* data = from.mimeData(QClipboard::Selection);
        return data ? data->text() : QString();
    }
    void lock(MyDocument* document)
    {
        document->doLockDocument();
        settle();
        ASSERT_TRUE(document->isEncrypted());
    }
    void unlock(MyDocument* document)
    {
        document->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
        settle();
        ASSERT_FALSE(document->isEncrypted());
        records(document)->setSelectionIndex(0);
        settle();
    }

    QString copied;
};

TEST_F(CopiedTextTest, TheLockTakesBackWhatWasCopiedFromTheDocumentAndOnlyThat)
{
    MyDocument* document = savedDocument(QStringLiteral("copied.calvorin"));
    MyDocument* other = savedDocument(QStringLiteral("other.calvorin"));
    for (MyDocument* d : {document, other}) {
        d->myWindow()->show();
        records(d)->setSelectionIndex(0);
    }
    settle();

    const struct {
        const char* from;
        std::function<QWidget*()> widget;
    } sources[] = {
        {"a value the record pane shows", [&] { return document->myWindow()->findChild<QLabel*>("viewName"); }},
        {"a field of the record pane in edit mode",
         [&] {
             document->switchToEditMode();
             return document->myWindow()->findChild<QLineEdit*>("edit_firstName");
         }},
        {"the search text",
         [&] {
             document->searchField()->setText(QStringLiteral("Person"));
             return document->searchField();
         }},
        {"the list of contacts", [&] { return document->myTableView(); }},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.from);
        copyFrom(document, source.widget());
        lock(document);
        EXPECT_EQ(Clipboard::text(), QString());
        EXPECT_EQ(clipboard.mimeData(QClipboard::Clipboard), nullptr) << "the copy is released";
        EXPECT_EQ(clipboard.mimeData(QClipboard::Selection), nullptr);
        unlock(document);
        document->switchToViewMode();
    }

    // Copied since by another program: the lock leaves it alone.
    copyFrom(document, document->myWindow()->findChild<QLabel*>("viewName"));
    clipboard.foreignCopy(QStringLiteral("from elsewhere"));
    clipboard.foreignCopy(QStringLiteral("selected elsewhere"), QClipboard::Selection);
    lock(document);
    EXPECT_EQ(Clipboard::text(), QStringLiteral("from elsewhere"));
    EXPECT_EQ(selectionText(clipboard), QStringLiteral("selected elsewhere"));
    unlock(document);

    // Copied from the other open document: it stays until that one locks.
    copyFrom(other, other->myWindow()->findChild<QLabel*>("viewName"));
    lock(document);
    EXPECT_EQ(Clipboard::text(), copied);
    EXPECT_EQ(selectionText(clipboard), copied);
    lock(other);
    EXPECT_EQ(Clipboard::text(), QString());
    EXPECT_EQ(selectionText(clipboard), QString());
}

TEST_F(DocumentFileTest, ABadFileChangesNothingAndANewerOneIsRefused)
{
    MyDocument* document = savedDocument(QStringLiteral("good.calvorin"));
    QString why;
    EXPECT_FALSE(document->readFromData(QByteArray("not a document"), QStringLiteral("calvorin"), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(document->isEncrypted());
    EXPECT_EQ(document->myArray()->count(), 2);

    EXPECT_FALSE(open(filetest::fixturePath(QStringLiteral("v30601.calvorin"))));
    EXPECT_TRUE(responder.messageTexts().join('\n').contains(QStringLiteral("more recent version")));
}

TEST_F(DocumentFileTest, AnOldDocumentSavesOnlyAfterItsUnlockAndThenInTheCurrentFormat)
{
    QFile::copy(filetest::fixturePath(QStringLiteral("v20302.calvorin")), path(QStringLiteral("old.calvorin")));
    MyDocument* old = open(path(QStringLiteral("old.calvorin")));
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->YouCanSave());
    QString why;
    EXPECT_FALSE(old->dataOfType(QStringLiteral("calvorin"), &why));

    old->submitPasswordToDecrypt(QStringLiteral("Kätzchen-2005"));
    settle();
    ASSERT_FALSE(old->isEncrypted());
    EXPECT_EQ(old->myArray()->count(), 4);
    EXPECT_FALSE(old->myCommonCrypto());
    ASSERT_TRUE(save(old, QStringLiteral("old.calvorin")));
    EXPECT_EQ(filetest::rootOf(bytesOf(QStringLiteral("old.calvorin")))->objectForKey(QStringLiteral("appversion")).intValue(),
              30600);
    old->close();
    settle();

    MyDocument* reopened = open(path(QStringLiteral("old.calvorin")));
    reopened->submitPasswordToDecrypt(QStringLiteral("Kätzchen-2005"));
    settle();
    EXPECT_EQ(reopened->myArray()->count(), 4);
    EXPECT_EQ(reopened->myCategoryArray()->count(), 3);
}

TEST_F(DocumentFileTest, TheWindowFrameComesBackOnAScreenAndTheLockKeepsTheTopEdge)
{
    MyDocument* document = savedDocument(QStringLiteral("frame.calvorin"));
    DocumentWindow* window = document->myWindow();
    ASSERT_TRUE(window);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    window->setGeometry(available.x() + 40, available.y() + 60, 600, 400);
    settle();
    const QRect frameBefore = window->frameGeometry();
    ASSERT_TRUE(save(document, QStringLiteral("frame.calvorin")));
    const DictionaryRef state = filetest::rootOf(bytesOf(QStringLiteral("frame.calvorin")))
                                    ->objectForKey(QStringLiteral("OSXPlatformDictionary"))
                                    .dictionary();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->objectForKey(QStringLiteral("windowRecWidth")).intValue(), frameBefore.width());
    const StoredFrame stored = DocumentWindowFrame::fromScreen(frameBefore, QGuiApplication::primaryScreen()->geometry());
    EXPECT_EQ(state->objectForKey(QStringLiteral("windowRecY")).doubleValue(), stored.y);

    // The lock shrinks the window and keeps its top edge.
    document->doLockDocument();
    settle();
    EXPECT_EQ(window->frameGeometry().top(), frameBefore.top());
    EXPECT_EQ(window->size(), window->minimumSize().isEmpty() ? window->minimumSizeHint() : window->minimumSize());
    document->close();
    settle();

    MyDocument* opened = open(path(QStringLiteral("frame.calvorin")));
    ASSERT_TRUE(opened->useMyWinRect());
    opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    EXPECT_EQ(opened->myWindow()->frameGeometry().topLeft(), frameBefore.topLeft());
    EXPECT_EQ(opened->myWindow()->frameGeometry().size(), frameBefore.size());
    EXPECT_TRUE(opened->modernToolbar()->isVisibleTo(opened->myWindow()));
}

TEST_F(DocumentFileTest, AFileWrittenWithoutAWindowLeavesTheWindowWhereItIsAtTheUnlock)
{
    {
        // Written before any window was made: the file's frame is empty.
        auto* made = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(false, nullptr));
        ASSERT_EQ(made->myWindow(), nullptr);
        made->setPlainPassword(QString::fromLatin1(kPassword));
        ASSERT_TRUE(save(made, QStringLiteral("no-window.calvorin")));
        made->close();
        settle();
    }
    MyDocument* opened = open(path(QStringLiteral("no-window.calvorin")));
    ASSERT_TRUE(opened && opened->myWindow());
    opened->myWindow()->show();
    settle();
    const QPoint before = opened->myWindow()->pos();
    opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    ASSERT_TRUE(opened->isDecrypted());
    EXPECT_EQ(opened->myWindow()->pos(), before);
}

TEST_F(DocumentFileTest, TheWholeWayThroughTheWindow)
{
    // Create, add, save, close.
    MyDocument* document = savedDocument(QStringLiteral("walk.calvorin"), 2);
    document->close();
    settle();

    // Open: the locked view; a wrong password, then the right one typed in its field.
    MyDocument* opened = open(path(QStringLiteral("walk.calvorin")));
    ASSERT_TRUE(opened);
    opened->myWindow()->show();
    settle();
    opened->myWindow()->grab().save(QStringLiteral("/tmp/calvorin-document-locked.png"));
    opened->passwordToDecryptField()->setText(QStringLiteral("wrong password"));
    opened->submitPasswordToDecrypt(opened->passwordToDecryptField());
    settle();
    EXPECT_TRUE(opened->isEncrypted());
    opened->passwordToDecryptField()->setText(QString::fromLatin1(kPassword));
    opened->submitPasswordToDecrypt(opened->passwordToDecryptField());
    settle();
    ASSERT_FALSE(opened->isEncrypted());
    EXPECT_EQ(firstNames(opened), (QStringList{"Person 0", "Person 1"}));
    opened->myWindow()->grab().save(QStringLiteral("/tmp/calvorin-document-unlocked.png"));

    // Lock from the toolbar's command, after its question.
    responder.answerWithButton(QStringLiteral("OK"));
    EXPECT_TRUE(opened->myWindow()->perform(QStringLiteral("lockDocument")));
    settle();
    EXPECT_TRUE(opened->isEncrypted());
    EXPECT_FALSE(opened->myWindow()->command(QStringLiteral("saveDocument"))->isEnabled());
    opened->close();
    settle();

    // An old fixture opens, unlocks and saves in the current format.
    QFile::copy(filetest::fixturePath(QStringLiteral("v1100.calvorin")), path(QStringLiteral("v1100.calvorin")));
    MyDocument* old = open(path(QStringLiteral("v1100.calvorin")));
    ASSERT_TRUE(old);
    old->submitPasswordToDecrypt(QStringLiteral("a-very-long-passphrase-1100"));
    settle();
    ASSERT_FALSE(old->isEncrypted());
    EXPECT_EQ(old->myLabelDictionary()->objectForKey(QStringLiteral("firstName")).stringValue(), QStringLiteral("Prénom:"));
    old->saveDocument();
    settle();
    EXPECT_FALSE(old->isDocumentEdited());
    EXPECT_EQ(filetest::rootOf(bytesOf(QStringLiteral("v1100.calvorin")))->objectForKey(QStringLiteral("appversion")).intValue(),
              30600);
}

TEST_F(DocumentFileTest, ADocumentWrittenBeforeItsWindowWasShownKeepsItsToolbar)
{
    // Written with no window yet, and with one made but never shown: the
    // toolbar comes back with the unlock.
    for (const bool withWindow : {false, true}) {
        SCOPED_TRACE(withWindow);
        auto* document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(false, nullptr));
        document->setPlainPassword(QString::fromLatin1(kPassword));
        if (withWindow)
            document->makeWindowControllers();
        ASSERT_TRUE(save(document, QStringLiteral("unseen.calvorin")));
        const DictionaryRef state = filetest::rootOf(bytesOf(QStringLiteral("unseen.calvorin")))
                                        ->objectForKey(QStringLiteral("OSXPlatformDictionary"))
                                        .dictionary();
        ASSERT_TRUE(state);
        EXPECT_TRUE(state->objectForKey(QStringLiteral("makeToolbarVisibleAtDecrypt")).boolValue());
        document->close();
        settle();

        MyDocument* opened = open(path(QStringLiteral("unseen.calvorin")));
        ASSERT_TRUE(opened);
        opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
        settle();
        EXPECT_TRUE(opened->isDecrypted());
        EXPECT_TRUE(opened->modernToolbar()->isVisibleTo(opened->myWindow()));
        opened->close();
        settle();
    }
}
