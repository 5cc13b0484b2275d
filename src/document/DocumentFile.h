#pragma once
// The contacts document file: one keyed archive whose root is a dictionary.
//
//   "appversion"               unsigned number, the document version (30600 when written)
//   "latestPlatform"           "OSX"
//   "dataArrayData"            AES of the keyed archive of the records (save copies)
//   "catArrayData"             AES of the keyed archive of the categories (save copies)
//   "labelDict"                AES of the keyed archive of the captions and their flags
//   "documentCreationDateData" AES of the keyed archive of the creation date
//   "salt", "IV"               8 and 16 bytes the five AES values were encrypted with
//   "rc", "sha1-rc"            the password check: AES of a random text's UTF-8 bytes,
//                              and the SHA-1 of those bytes
//   "OSXPlatformDictionary"    plain window state (frame with a bottom-left origin,
//                              toolbar visibility); absent when the document has none
//
// Files of versions 1000 to 30000 keep "dataArray", "categoryArray", "labelDict" and
// "crtnDt" instead, every field encrypted on its own with the Blowfish engine.
//
// Nothing here touches a document or a window: the reader fills a StoredDocument,
// the writer takes EncryptedValues, and the document installs either only when
// the whole step succeeded.
//
// Mapping of the document's members: getCopyOfContentArrayForSaveOperation and
// getCopyOfCategoryArrayForSaveOperation take the arrays they copy; encryptData is
// encryptContent; the reader's dispatch is read; the writer's root is archiveRoot.

#include "platform/Value.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QvCommonCrypto;

// A window frame as the file stores it: origin at the bottom left of the primary
// screen, y growing upwards.
struct StoredFrame {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const StoredFrame&) const = default;
};

// The window state read from "OSXPlatformDictionary".
struct StoredWindowState {
    StoredFrame frame; // each number cut to a whole one, as the reader takes them
    bool makeToolbarVisibleAtDecrypt = false;
};

// The five encrypted values of a current file with the salt, vector and password
// check they belong to. A null byte string is a value the file lacks.
struct EncryptedValues {
    QByteArray salt;
    QByteArray IV;
    QByteArray rc;
    QByteArray sha1Rc;
    QByteArray records;      // "dataArrayData"
    QByteArray categories;   // "catArrayData"
    QByteArray labels;       // "labelDict"
    QByteArray creationDate; // "documentCreationDateData"
};

// What the reader keeps for the unlock.
struct StoredDocument {
    quint64 version = 0;  // "appversion", 0 when missing
    bool canSave = false; // only files read as the current format may be saved while locked
    // Current format (every version that is not an old one).
    EncryptedValues encrypted;
    // Old formats: the arrays and captions as read, fields still encrypted, and
    // the encrypted creation-date text (none in version 1000).
    ArrayRef legacyRecords;
    ArrayRef legacyCategories;
    DictionaryRef legacyLabels;
    QByteArray legacyCreationDate;
    // Read from current files of versions other than 30100 and 30200.
    std::optional<StoredWindowState> windowState;

    bool isLegacy() const;
};

// The plain content of an unlocked document, as saved.
struct DocumentContent {
    ArrayRef records;     // ContactRecord dictionaries, linked by "categoryPtr"
    ArrayRef categories;  // CategoryRecord dictionaries
    DictionaryRef labels; // the LabelDictionary
    Value creationDate;   // a date, or absent
};

class DocumentFile {
public:
    static constexpr quint64 kCurrentVersion = 30600;
    static constexpr quint64 kFirstAESVersion = 30100;

    // Failures of the writer that are not a cipher status (those are QvCommonCrypto's).
    enum Status {
        StatusNoPassword = -4500,     // a document is never written without a password
        StatusNotArchivable = -4501,  // the content could not be put in a keyed archive
    };

    enum class ReadResult {
        Read,         // the document takes the StoredDocument
        NewerVersion, // written by a newer release: refused, nothing taken
        NotADocument, // damaged, truncated or not a document at all: refused, with a message
    };

    // Unarchives the root and keeps what unlocking needs. On anything but Read
    // `out` is left as it was.
    static ReadResult read(const QByteArray& bytes, StoredDocument& out, QString* error = nullptr);

    // The document versions whose fields are encrypted one by one with Blowfish.
    static bool isLegacyVersion(quint64 version);
    // The early AES versions whose caption flags are reset when they are unlocked.
    static bool isFlagResetVersion(quint64 version);

    // Save copies: each record without "categoryPtr" and with the "cat_uniqueID" of
    // the category it points to (0 for none); each category without "records".
    // The values are shared with the originals, which are not changed.
    static ArrayRef getCopyOfContentArrayForSaveOperation(const ArrayRef& records);
    static ArrayRef getCopyOfCategoryArrayForSaveOperation(const ArrayRef& categories);

    // How encryptContent treats the document's current engine.
    enum class SaltAndVector {
        Fresh,      // a new salt and vector (every save)
        KeepIfValid // those of `engine` while it holds this password (a lock)
    };

    // Encrypts the content under `password`: the four values, a new password
    // check, and the salt and vector of the engine put in `engineOut`, which the
    // caller keeps as its engine. Answers 0, or a failure status with the reason
    // in `error`; on failure `out` and `engineOut` are left as they were. `engine`
    // is only read.
    static int encryptContent(const DocumentContent& content, const QString& password, const QvCommonCrypto* engine,
                              SaltAndVector mode, EncryptedValues& out, std::unique_ptr<QvCommonCrypto>& engineOut,
                              QString* error = nullptr);

    // The file's bytes: the root dictionary with "appversion" 30600, "latestPlatform",
    // the values present in `values` and `platformDictionary` when there is one.
    // False (with a reason) when the archive cannot be made.
    static bool archiveRoot(const EncryptedValues& values, const DictionaryRef& platformDictionary, QByteArray& out,
                            QString* error = nullptr);
    // The same bytes in pieces to be written one after the other, the
    // encrypted values pieces of their own shared with `values`, not copied.
    static bool archiveRoot(const EncryptedValues& values, const DictionaryRef& platformDictionary,
                            QByteArrayList& out, QString* error = nullptr);

    // The window-state dictionary written at a save and a lock.
    static DictionaryRef windowStateDictionary(const StoredFrame& frame, bool toolbarVisible);
};
