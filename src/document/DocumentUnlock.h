#pragma once
// Unlocking a stored document with its password: the version dispatch, the AES
// path of current files, the Blowfish paths of old ones (LegacyMigration), and
// the relinking of records to categories that every path ends with.
//
// Everything is decoded into an UnlockedContent of its own; the document installs
// it only when decrypt() answers 0, so a wrong password or a damaged value
// leaves the document exactly as it was and a retry starts afresh.
//
// Results (signed 32-bit): 0 unlocked; 1 the password check failed (also for a
// version below 30100 that is no old one: it has no AES engine); otherwise the
// failing cipher's status (QvCommonCrypto's, or the Blowfish engine's 1 and 2),
// or kContentDamaged when a value decrypts but does not decode as it must.
//
// Mapping of the document's members: Decript is decrypt(); restoreFromSaveOperationContent
// and catInArray take the arrays they work on.

#include "document/DocumentFile.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/Value.h"

#include <QString>

#include <functional>
#include <memory>

struct UnlockedContent {
    ArrayRef records;
    ArrayRef categories;
    DictionaryRef labels;
    Value creationDate; // a date, or absent when an old date text did not parse
    // The AES engine of a current file (stored salt and vector, typed password);
    // none for the old formats, which get one at their first save.
    std::unique_ptr<QvCommonCrypto> engine;
};

// What the unlock asks of the document's controllers.
struct UnlockHooks {
    // A new default category, for a document whose categories decode empty.
    std::function<DictionaryRef()> newCategory;
    // Old formats: colour objects of the categories become ColorDictionaries.
    std::function<void(const ArrayRef& categories)> adjustCategories;
    // Old formats: records lose stray colours and get "cat_uniqueID" 0 where missing.
    std::function<void(const ArrayRef& records)> adjustRecords;
};

class DocumentUnlock {
public:
    static constexpr int kUnlocked = 0;
    static constexpr int kPasswordCheckFailed = 1;
    // The right password, but a value that is no archive of what it must hold.
    static constexpr int kContentDamaged = -4600;

    // `currentLabels` is the document's LabelDictionary, which the old formats
    // keep (with the flags reset) when the file has no captions. It is not changed.
    static int decrypt(const StoredDocument& stored, const QString& password, const DictionaryRef& currentLabels,
                       const UnlockHooks& hooks, UnlockedContent& out);
    // The same, letting go of the records' ciphertext in `stored` as soon as
    // it is decrypted, so that it is not held beside the records in clear
    // while they are decoded; on failure it is there again, byte for byte.
    // For a caller that holds no other reference to it.
    static int decryptLettingGo(StoredDocument& stored, const QString& password, const DictionaryRef& currentLabels,
                                const UnlockHooks& hooks, UnlockedContent& out);

    // Links every record to its category by "cat_uniqueID" (the first category with
    // that identifier, else the first category) through "categoryPtr", and sets each
    // category's "cat_howManyUsingThis" to the number of records linked to it.
    // An empty category list first gets one new category from `newCategory`.
    static void restoreFromSaveOperationContent(const ArrayRef& records, const ArrayRef& categories,
                                                const std::function<DictionaryRef()>& newCategory);
    // The first category whose "cat_uniqueID" (missing: 0) equals uniqueID.
    static DictionaryRef catInArray(const ArrayRef& categories, qint64 uniqueID);

    // The caption flags of a freshly made LabelDictionary: "open07", "open08",
    // "open13" and "open14" on, "open01" to "open15" otherwise off.
    static void resetCaptionFlags(Dictionary& labels);

private:
    static int unlock(const StoredDocument& stored, QByteArray* letGo, const QString& password,
                      const DictionaryRef& currentLabels, const UnlockHooks& hooks, UnlockedContent& out);
};
