// Writing and reading the document file.
#include "document/MyDocument.h"

#include "document/DocumentWindowFrame.h"
#include "document/MyDocumentFileSupport.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/Clock.h"
#include "toolkit/QvAppSupportUtility.h"

#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>
#include <QtDebug>

namespace MyDocumentFileSupport {

DocumentContent content(const MyDocument& document)
{
    return DocumentContent{document.myArray(), document.myCategoryArray(), document.myLabelDictionary(),
                           document.documentCreationDate()};
}

void install(MyDocument& document, const EncryptedValues& values, std::unique_ptr<QvCommonCrypto> engine)
{
    document.setMyCommonCrypto(std::move(engine));
    document.setMySalt(values.salt);
    document.setMyIV(values.IV);
    document.setMyRCDataEncrypted(values.rc);
    document.setMySha1_RcData(values.sha1Rc);
    document.setMyEncryptedArrayData(values.records);
    document.setMyEncryptedCategoryArrayData(values.categories);
    document.setMyEncriptedLabelDictionaryData(values.labels);
    document.setMyEncryptedDocumentCreationDateData(values.creationDate);
    document.setMyOpeningDocumentVersion(DocumentFile::kCurrentVersion);
}

int encryptInto(MyDocument& document, DocumentFile::SaltAndVector mode, QString* error)
{
    EncryptedValues values;
    std::unique_ptr<QvCommonCrypto> engine;
    const int status = DocumentFile::encryptContent(content(document), document.plainPassword(),
                                                    document.myCommonCrypto(), mode, values, engine, error);
    if (status == 0)
        install(document, values, std::move(engine));
    return status;
}

EncryptedValues storedValues(const MyDocument& document)
{
    EncryptedValues values;
    values.salt = document.mySalt();
    values.IV = document.myIV();
    values.rc = document.myRCDataEncrypted();
    values.sha1Rc = document.mySha1_RcData();
    values.records = document.myEncryptedArrayData();
    values.categories = document.myEncryptedCategoryArrayData();
    values.labels = document.myEncriptedLabelDictionaryData();
    values.creationDate = document.myEncryptedDocumentCreationDateData();
    return values;
}

StoredFrame windowFrame(const MyDocument& document)
{
    const DocumentWindow* window = document.myWindow();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!window || !primary)
        return {};
    return DocumentWindowFrame::fromScreen(window->frameGeometry(), primary->geometry());
}

bool toolbarShown(const MyDocument& document)
{
    // Without a window yet the toolbar has not been hidden: it shows with the window.
    const QToolBar* toolbar = document.modernToolbar();
    return !toolbar || !toolbar->isHidden();
}

} // namespace MyDocumentFileSupport

using namespace MyDocumentFileSupport;

bool MyDocument::encryptData()
{
    QString why;
    if (encryptInto(*this, DocumentFile::SaltAndVector::KeepIfValid, &why) != 0) {
        qWarning() << "The document's content could not be encrypted:" << why;
        return false;
    }
    return true;
}

std::optional<QByteArray> MyDocument::dataOfType(const QString& typeName, QString* error)
{
    const std::optional<QByteArrayList> pieces = piecesOfType(typeName, error);
    if (!pieces)
        return std::nullopt;
    return pieces->join();
}

std::optional<QByteArrayList> MyDocument::piecesOfType(const QString&, QString* error)
{
    if (!YouCanSave()) {
        qWarning("returned nil from dataOfType");
        if (error)
            *error = tr("A locked document cannot be saved. Unlock it first.");
        return std::nullopt;
    }

    QByteArrayList bytes;
    if (isEncrypted()) {
        // Read but not yet unlocked: written as it was read, so the values keep the
        // salt, vector and password check they were encrypted with.
        if (!DocumentFile::archiveRoot(storedValues(*this), OSXPlatformDictionary(), bytes, error))
            return std::nullopt;
        return bytes;
    }

    // Everything is made first and taken over only when the file's bytes exist,
    // so that a failure leaves the document and the file on disk as they were.
    EncryptedValues values;
    std::unique_ptr<QvCommonCrypto> engine;
    if (DocumentFile::encryptContent(content(*this), plainPassword(), myCommonCrypto(),
                                     DocumentFile::SaltAndVector::Fresh, values, engine, error)
        != 0)
        return std::nullopt;
    const DictionaryRef windowState = DocumentFile::windowStateDictionary(windowFrame(*this), toolbarShown(*this));
    if (!DocumentFile::archiveRoot(values, windowState, bytes, error))
        return std::nullopt;

    // The content stays in clear while the document is open, so its ciphertext
    // is not kept, as after an unlock: a lock encrypts it afresh. What the
    // file is written from is held by its pieces alone, and let go of with them.
    values.records = QByteArray();
    values.categories = QByteArray();
    values.labels = QByteArray();
    values.creationDate = QByteArray();
    install(*this, values, std::move(engine));
    setOSXPlatformDictionary(windowState);
    return bytes;
}

QString MyDocument::fileTooLargeMessage() const
{
    return tr("The file is too large to be a contacts document.");
}

bool MyDocument::readFromData(const QByteArray& data, const QString&, QString* error)
{
    StoredDocument stored;
    switch (DocumentFile::read(data, stored, error)) {
    case DocumentFile::ReadResult::NewerVersion:
        QvAppSupportUtility::sayFilecreatedWithANewerVersion();
        return false;
    case DocumentFile::ReadResult::NotADocument:
        return false;
    case DocumentFile::ReadResult::Read:
        break;
    }

    setYouCanSave(stored.canSave);
    if (QToolBar* toolbar = modernToolbar())
        toolbar->hide();
    setRequiresMandatoryPassword(false);
    // The values of a current file; none for an old one. No engine yet: the
    // unlock makes it from the typed password.
    install(*this, stored.encrypted, nullptr);
    setMyOpeningDocumentVersion(stored.version);
    setFileDocRelease(QString::number(stored.version));
    if (stored.isLegacy())
        setMyEncryptedDocumentCreationDateData(stored.legacyCreationDate);
    setMyEncryptedArray(stored.legacyRecords);
    setMyEncryptedCategoryArray(stored.legacyCategories);
    setMyEncriptedLabelDictionary(stored.legacyLabels);
    if (stored.version == 1000)
        setDocumentCreationDate(Value::dateFromDateTime(Clock::now()));

    setMakeToolbarVisibleAtDecrypt(true);
    if (stored.windowState) {
        const StoredFrame& frame = stored.windowState->frame;
        setUseMyWinRect(true);
        setMyWinRectToUse(QRectF(frame.x, frame.y, frame.width, frame.height));
        setMakeToolbarVisibleAtDecrypt(stored.windowState->makeToolbarVisibleAtDecrypt);
    }
    // The window state of the file is kept only as the frame to restore.
    setOSXPlatformDictionary({});

    // Locked from here on: nothing in clear is kept, not the content of an
    // earlier unlock (a revert).
    setMyArray(Array::create());
    setMyCategoryArray(Array::create());
    setMyLabelDictionary(defaultLabelDictionary());
    // What was read is what the file holds: no change to bring back at the unlock.
    updateChangeCount(ChangeCleared);
    setIsEncrypted(true);
    return true;
}
