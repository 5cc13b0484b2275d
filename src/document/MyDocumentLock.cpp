// Locking: the content is encrypted again in memory and forgotten in clear.
#include "document/MyDocument.h"

#include "document/DocumentWindowFrame.h"
#include "document/MyDocumentFileSupport.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/Alert.h"
#include "platform/Clipboard.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QPointer>
#include <QToolBar>

using namespace MyDocumentFileSupport;

void MyDocument::lockDocument()
{
    const QString informative = isDocumentEdited()
        ? tr("Before locking the document you need to save it on disk.\n"
             "To browse the document data again you will need to re-insert the master password")
        : tr("To browse the document data again you will need to re-insert the master password");
    const Alert alert(tr("Lock Document back to the crypted state?"), informative, {tr("OK"), tr("Cancel")},
                      Alert::WarningStyle);
    QPointer<MyDocument> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard](int response) {
        if (guard && response == Alert::FirstButtonReturn)
            MainQueue::post(guard, [guard] { guard->doLockDocument(); });
    });
}

void MyDocument::lockAutomatically()
{
    if (isEncrypted() || plainPassword().isEmpty() || fileURL().isEmpty())
        return;
    if (QWidget* window = myWindow())
        Sheet::endAll(window);
    QPointer<MyDocument> guard(this);
    MainQueue::post(this, [guard] { guard->doLockDocument(); });
}

void MyDocument::doLockDocument()
{
    // A lock queued twice (by hand and automatically) finds the document locked.
    if (isEncrypted())
        return;
    const StoredFrame frame = windowFrame(*this);
    const bool toolbarWasShown = toolbarShown(*this);

    // The content goes into the encrypted values first: a lock that cannot
    // encrypt it does not lock, and nothing of it is lost.
    QString why;
    if (encryptInto(*this, DocumentFile::SaltAndVector::KeepIfValid, &why) != 0) {
        presentError(tr("The document could not be locked."), why);
        return;
    }
    if (!fileURL().isEmpty())
        setOSXPlatformDictionary(DocumentFile::windowStateDictionary(frame, toolbarWasShown));
    setYouCanSave(false);

    // Nothing in clear stays: records, categories, captions, and the engine and
    // legacy engine that hold the password (the base forgets its own copies).
    setMyCommonCrypto({});
    myCryptoEngine().setPassword(QString());
    releaseExchangeManagers();
    setMyArray(Array::create());
    setMyCategoryArray(Array::create());
    setMyLabelDictionary(defaultLabelDictionary());
    forgetSearch();
    setIsEncrypted(true);
    // What was copied or selected in the window or its sheets is contact text
    // that other programs could still read; another program's copy, or
    // another document's, stays.
    Clipboard::forgetCopiesFrom(myWindow());

    setMakeToolbarVisibleAtDecrypt(toolbarWasShown);
    if (QToolBar* toolbar = modernToolbar())
        toolbar->hide();

    // The window shrinks to its minimum size, keeping its top edge.
    // (A resize keeps the top left corner where it is.)
    if (QWidget* window = myWindow()) {
        const QSize minimum = window->minimumSize().isEmpty() ? window->minimumSizeHint() : window->minimumSize();
        window->resize(minimum);
    }
}

void MyDocument::canCloseDocument(std::function<void(bool)> completion)
{
    // Changes locked away cannot be saved until an unlock: they are not thrown
    // away without asking.
    if (!isEncrypted() || !wasEditedWhenLocked()) {
        QvCryptoDoc::canCloseDocument(std::move(completion));
        return;
    }
    const Alert alert(tr("Do you want to close the document “%1” without its unsaved changes?").arg(displayName()),
                      tr("It was locked with changes that were not saved. To keep them, unlock the document and "
                         "save it."),
                      {tr("Cancel"), tr("Close Without Saving")}, Alert::WarningStyle);
    alert.beginSheetModalForWindow(windowForSheet(), [completion](int response) {
        if (completion)
            completion(response == Alert::SecondButtonReturn);
    });
}
