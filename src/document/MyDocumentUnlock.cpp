// Unlocking: the typed password opens the stored values, which are decoded on
// the side and installed only when all of them opened.
#include "document/MyDocument.h"

#include "document/DocumentUnlock.h"
#include "document/DocumentWindowFrame.h"
#include "document/FilteringArrayController.h"
#include "document/MyDocumentFileSupport.h"
#include "encryption/QvCommonCrypto.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QToolBar>

namespace {

// The document's fields as the reader left them.
StoredDocument storedDocument(const MyDocument& document)
{
    StoredDocument stored;
    stored.version = document.myOpeningDocumentVersion();
    stored.encrypted = MyDocumentFileSupport::storedValues(document);
    if (stored.isLegacy()) {
        stored.legacyRecords = document.myEncryptedArray();
        stored.legacyCategories = document.myEncryptedCategoryArray();
        stored.legacyLabels = document.myEncriptedLabelDictionary();
        stored.legacyCreationDate = document.myEncryptedDocumentCreationDateData();
    }
    return stored;
}

// Places the window at a frame of the file, on a screen.
void restoreFrame(QWidget* window, const StoredFrame& stored)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!window || !primary)
        return;
    // A file written before its window was made holds an empty frame: it
    // says nothing of where the window goes, and the window stays.
    if (!(stored.width > 0 && stored.height > 0))
        return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    // The decorations around the window's own area, which the stored frame includes.
    const QSize decorations = window->frameGeometry().size() - window->geometry().size();
    const QRect frame = DocumentWindowFrame::keepOnScreen(DocumentWindowFrame::toScreen(stored, primary->geometry()),
                                                          screens, window->minimumSize() + decorations);
    window->move(frame.topLeft());
    window->resize(frame.size() - decorations);
}

} // namespace

int MyDocument::Decript()
{
    UnlockHooks hooks;
    hooks.newCategory = [this] { return myCategoryArrayController()->newObject(); };
    hooks.adjustCategories = [this](const ArrayRef& categories) {
        myCategoryArrayController()->adjustFromOldRelease(categories);
    };
    hooks.adjustRecords = [this](const ArrayRef& records) { myArrayController()->adjustFromOldRelease(records); };

    UnlockedContent content;
    StoredDocument stored = storedDocument(*this);
    // The unlock holds the records' ciphertext alone, to let it go once decrypted.
    setMyEncryptedArrayData({});
    const int result = DocumentUnlock::decryptLettingGo(stored, plainPassword(), myLabelDictionary(), hooks, content);
    if (result != 0) {
        setMyEncryptedArrayData(stored.encrypted.records);
        return result;
    }

    // Current files keep their engine; the old formats get one at the first save.
    setMyCommonCrypto(std::move(content.engine));
    setMyLabelDictionary(content.labels);
    setDocumentCreationDate(content.creationDate);
    setMyCategoryArray(content.categories);
    setMyArray(content.records);
    // Their content is in the document now; a save or a lock encrypts it afresh.
    setMyEncryptedArrayData({});
    setMyEncryptedCategoryArrayData({});
    setMyEncryptedDocumentCreationDateData({});

    myCategoryArrayController()->rearrangeObjects();
    myArrayController()->rearrangeObjects();
    myAllArrayController()->rearrangeObjects();
    synkCategorySubMenu();
    updateChangeCount(ChangeCleared);
    return 0;
}

int MyDocument::decryptDone()
{
    setMyEncryptedArray({});
    setMyEncryptedCategoryArray({});
    setMyEncriptedLabelDictionary({});
    myAllArrayController()->setContent(myArray());
    myAllArrayController()->rearrangeObjects();
    if (QLineEdit* field = passwordToDecryptField())
        field->clear();
    switchToViewMode();
    if (QToolBar* toolbar = modernToolbar())
        toolbar->setVisible(makeToolbarVisibleAtDecrypt());
    if (useMyWinRect()) {
        const QRectF rect = myWinRectToUse();
        restoreFrame(myWindow(), StoredFrame{rect.x(), rect.y(), rect.width(), rect.height()});
    }
    setYouCanSave(true);
    return 1;
}
