#include "document/DocumentUnlock.h"

#include "document/LegacyMigration.h"
#include "encryption/CryptoPrimitives.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/KeyedArchive.h"

#include <QHash>
#include <QScopeGuard>

#include <limits>
#include <vector>

namespace {

const QString kCategoryPtr = QStringLiteral("categoryPtr");
const QString kCatUniqueID = QStringLiteral("cat_uniqueID");
const QString kUsageCount = QStringLiteral("cat_howManyUsingThis");

// Decrypts one stored value and decodes its keyed archive.
int open(QvCommonCrypto& engine, const QByteArray& stored, Value& out)
{
    int status = 0;
    QByteArray plain = engine.decrypt(stored, &status);
    if (status != 0) {
        CryptoPrimitives::wipe(plain);
        return status;
    }
    if (plain.isNull())
        return QvCommonCrypto::StatusUnspecifiedError;
    const bool decoded = KeyedUnarchiver::unarchive(plain, out);
    // The archive is the content in clear; its values are copies by now.
    CryptoPrimitives::wipe(plain);
    return decoded ? 0 : DocumentUnlock::kContentDamaged;
}

bool isArrayOfDictionaries(const Value& value)
{
    if (!value.isArray())
        return false;
    for (const Value& element : *value.array()) {
        if (!element.isDictionary())
            return false;
    }
    return true;
}

int decryptOthers(const StoredDocument& stored, QvCommonCrypto& engine, const Value& records, Value& categories,
                  Value& labels, Value& creationDate);

// `letGo`, when given, is the records' ciphertext of `stored`, let go of once
// it is decrypted and made again from its plaintext if the unlock then fails:
// the same key, vector and padding give the same bytes.
int decryptCurrent(const StoredDocument& stored, const QString& password, UnlockedContent& out, QByteArray* letGo)
{
    const EncryptedValues& values = stored.encrypted;
    auto engine = std::make_unique<QvCommonCrypto>(password, values.IV, values.salt);

    int status = 0;
    const QByteArray check = engine->decrypt(values.rc, &status);
    if (status != 0)
        return status;
    if (values.sha1Rc.isNull() || QvCommonCrypto::dataSHA1(check) != values.sha1Rc)
        return DocumentUnlock::kPasswordCheckFailed;

    Value records, categories, labels, creationDate;
    if (letGo) {
        QByteArray plain = engine->decrypt(*letGo, &status);
        // The records in clear, kept until the unlock is through for the
        // ciphertext to be made again from them.
        const auto wipePlain = qScopeGuard([&plain] { CryptoPrimitives::wipe(plain); });
        if (status != 0)
            return status;
        if (plain.isNull())
            return QvCommonCrypto::StatusUnspecifiedError;
        *letGo = QByteArray();
        auto restore = qScopeGuard([&] {
            int sealed = 0;
            *letGo = engine->encrypt(plain, &sealed);
        });
        if (!KeyedUnarchiver::unarchive(plain, records))
            return DocumentUnlock::kContentDamaged;
        const int result = decryptOthers(stored, *engine, records, categories, labels, creationDate);
        if (result != 0)
            return result;
        restore.dismiss();
    } else {
        if ((status = open(*engine, values.records, records)) != 0)
            return status;
        if ((status = decryptOthers(stored, *engine, records, categories, labels, creationDate)) != 0)
            return status;
    }
    if (DocumentFile::isFlagResetVersion(stored.version))
        DocumentUnlock::resetCaptionFlags(*labels.dictionary());
    out.records = records.array();
    out.categories = categories.array();
    out.labels = labels.dictionary();
    out.creationDate = creationDate;
    out.engine = std::move(engine);
    return 0;
}

// The values after the records, and the kinds of all four.
int decryptOthers(const StoredDocument& stored, QvCommonCrypto& engine, const Value& records, Value& categories,
                  Value& labels, Value& creationDate)
{
    const EncryptedValues& values = stored.encrypted;
    int status = 0;
    if ((status = open(engine, values.categories, categories)) != 0)
        return status;
    if ((status = open(engine, values.labels, labels)) != 0)
        return status;
    if ((status = open(engine, values.creationDate, creationDate)) != 0)
        return status;
    // An absent date is what a file keeps whose old date text did not parse.
    if (!isArrayOfDictionaries(records) || !isArrayOfDictionaries(categories) || !labels.isDictionary()
        || !(creationDate.isDate() || creationDate.isNull()))
        return DocumentUnlock::kContentDamaged;
    return 0;
}

} // namespace

int DocumentUnlock::decrypt(const StoredDocument& stored, const QString& password, const DictionaryRef& currentLabels,
                            const UnlockHooks& hooks, UnlockedContent& out)
{
    return unlock(stored, nullptr, password, currentLabels, hooks, out);
}

int DocumentUnlock::decryptLettingGo(StoredDocument& stored, const QString& password,
                                     const DictionaryRef& currentLabels, const UnlockHooks& hooks, UnlockedContent& out)
{
    return unlock(stored, &stored.encrypted.records, password, currentLabels, hooks, out);
}

int DocumentUnlock::unlock(const StoredDocument& stored, QByteArray* letGo, const QString& password,
                           const DictionaryRef& currentLabels, const UnlockHooks& hooks, UnlockedContent& out)
{
    UnlockedContent content;
    int result = kPasswordCheckFailed;
    if (stored.isLegacy())
        result = LegacyMigration::migrate(stored, password, currentLabels, hooks, content);
    else if (stored.version >= DocumentFile::kFirstAESVersion)
        result = decryptCurrent(stored, password, content, letGo);
    if (result != 0)
        return result;

    restoreFromSaveOperationContent(content.records, content.categories, hooks.newCategory);
    out = std::move(content);
    return kUnlocked;
}

DictionaryRef DocumentUnlock::catInArray(const ArrayRef& categories, qint64 uniqueID)
{
    if (!categories)
        return {};
    for (const Value& value : *categories) {
        const DictionaryRef category = value.dictionary();
        if (category && category->objectForKey(kCatUniqueID).longLongValue() == uniqueID)
            return category;
    }
    return {};
}

void DocumentUnlock::restoreFromSaveOperationContent(const ArrayRef& records, const ArrayRef& categories,
                                                     const std::function<DictionaryRef()>& newCategory)
{
    if (!categories)
        return;
    if (categories->count() == 0 && newCategory) {
        if (const DictionaryRef category = newCategory())
            categories->addObject(Value(category));
    }

    // The first category of each identifier, so that relinking stays linear in
    // the number of records whatever the number of categories.
    std::vector<DictionaryRef> linked;
    QHash<qint64, size_t> firstWithID;
    for (const Value& value : *categories) {
        if (const DictionaryRef category = value.dictionary()) {
            const qint64 uniqueID = category->objectForKey(kCatUniqueID).longLongValue();
            if (!firstWithID.contains(uniqueID))
                firstWithID.insert(uniqueID, linked.size());
            linked.push_back(category);
        }
    }
    std::vector<qint32> counts(linked.size(), 0);

    if (records && !linked.empty()) {
        for (const Value& value : *records) {
            const DictionaryRef record = value.dictionary();
            if (!record)
                continue;
            const qint64 uniqueID = record->objectForKey(kCatUniqueID).longLongValue();
            const size_t index = firstWithID.value(uniqueID, 0);
            record->setObject(Value(linked[index]), kCategoryPtr);
            if (counts[index] < std::numeric_limits<qint32>::max())
                ++counts[index];
        }
    }
    for (size_t i = 0; i < linked.size(); ++i)
        linked[i]->setObject(Value::int32(counts[i]), kUsageCount);
}

void DocumentUnlock::resetCaptionFlags(Dictionary& labels)
{
    for (int i = 1; i <= 15; ++i) {
        const bool on = i == 7 || i == 8 || i == 13 || i == 14;
        labels.setObject(Value::boolean(on), QStringLiteral("open%1").arg(i, 2, 10, QLatin1Char('0')));
    }
}
