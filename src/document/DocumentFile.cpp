#include "document/DocumentFile.h"

#include "encryption/CryptoPrimitives.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/ArchiveDictionaryBuilder.h"
#include "platform/KeyedArchive.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <functional>

namespace {

const QString kAppVersion = QStringLiteral("appversion");
const QString kLatestPlatform = QStringLiteral("latestPlatform");
const QString kDataArrayData = QStringLiteral("dataArrayData");
const QString kCatArrayData = QStringLiteral("catArrayData");
const QString kLabelDict = QStringLiteral("labelDict");
const QString kCreationDateData = QStringLiteral("documentCreationDateData");
const QString kSalt = QStringLiteral("salt");
const QString kIV = QStringLiteral("IV");
const QString kRc = QStringLiteral("rc");
const QString kSha1Rc = QStringLiteral("sha1-rc");
const QString kPlatformDictionary = QStringLiteral("OSXPlatformDictionary");
const QString kDataArray = QStringLiteral("dataArray");
const QString kCategoryArray = QStringLiteral("categoryArray");
const QString kCreationDateText = QStringLiteral("crtnDt");

const QString kWindowHeight = QStringLiteral("windowRecHeight");
const QString kWindowWidth = QStringLiteral("windowRecWidth");
const QString kWindowX = QStringLiteral("windowRecX");
const QString kWindowY = QStringLiteral("windowRecY");
const QString kToolbarVisible = QStringLiteral("makeToolbarVisibleAtDecrypt");

const QString kCategoryPtr = QStringLiteral("categoryPtr");
const QString kCatUniqueID = QStringLiteral("cat_uniqueID");
const QString kRecords = QStringLiteral("records");

QString tr(const char* text)
{
    return QCoreApplication::translate("DocumentFile", text);
}

// Reads the root's values, checking the kind of every one that is present; the
// first value of a wrong kind ends the read.
class RootReader {
public:
    explicit RootReader(const DictionaryRef& root) : m_root(root) {}

    QString failure() const { return m_failure; }
    bool failed() const { return !m_failure.isEmpty(); }

    QByteArray data(const QString& key)
    {
        const Value value = m_root->objectForKey(key);
        if (value.isNull())
            return {};
        if (!value.isData()) {
            fail(key, tr("a byte string"));
            return {};
        }
        // A present value is never null, also when empty.
        QByteArray bytes = value.dataValue();
        if (bytes.isNull())
            bytes = QByteArray("", 0);
        return bytes;
    }

    DictionaryRef dictionary(const QString& key)
    {
        const Value value = m_root->objectForKey(key);
        if (value.isNull())
            return {};
        if (!value.isDictionary())
            fail(key, tr("a dictionary"));
        return value.dictionary();
    }

    // An array of dictionaries whose values are all byte strings: the fields of
    // an old document, each encrypted on its own.
    ArrayRef encryptedFieldArray(const QString& key)
    {
        const Value value = m_root->objectForKey(key);
        if (value.isNull())
            return Array::create();
        if (!value.isArray()) {
            fail(key, tr("an array"));
            return {};
        }
        for (const Value& element : *value.array()) {
            if (!element.isDictionary() || !holdsOnlyByteStrings(*element.dictionary())) {
                fail(key, tr("an array of encrypted fields"));
                return {};
            }
        }
        return value.array();
    }

    DictionaryRef encryptedFieldDictionary(const QString& key)
    {
        const DictionaryRef dictionary = this->dictionary(key);
        if (dictionary && !holdsOnlyByteStrings(*dictionary))
            fail(key, tr("a dictionary of encrypted fields"));
        return dictionary;
    }

    void fail(const QString& key, const QString& expected)
    {
        if (m_failure.isEmpty())
            m_failure = tr("The value “%1” is not %2.").arg(key, expected);
    }

private:
    static bool holdsOnlyByteStrings(const Dictionary& dictionary)
    {
        return std::all_of(dictionary.begin(), dictionary.end(),
                           [](const Dictionary::Entry& entry) { return entry.second.isData(); });
    }

    DictionaryRef m_root;
    QString m_failure;
};

// A number of the window state; a missing one reads as 0, another kind fails.
bool windowNumber(const Dictionary& state, const QString& key, double& out)
{
    const Value value = state.objectForKey(key);
    if (!value.isNull() && !value.isNumber())
        return false;
    // Taken as a 32-bit integer, fraction cut off (saturating, NaN as 0).
    out = value.intValue();
    return true;
}

std::optional<StoredWindowState> readWindowState(const Dictionary& state, QString* failure)
{
    StoredWindowState window;
    const std::array<std::pair<const QString*, double*>, 4> numbers{{{&kWindowX, &window.frame.x},
                                                                      {&kWindowY, &window.frame.y},
                                                                      {&kWindowWidth, &window.frame.width},
                                                                      {&kWindowHeight, &window.frame.height}}};
    for (const auto& [key, target] : numbers) {
        if (!windowNumber(state, *key, *target)) {
            *failure = tr("The window state “%1” is not a number.").arg(*key);
            return std::nullopt;
        }
    }
    const Value toolbar = state.objectForKey(kToolbarVisible);
    if (!toolbar.isNull() && !toolbar.isNumber()) {
        *failure = tr("The window state “%1” is not a number.").arg(kToolbarVisible);
        return std::nullopt;
    }
    window.makeToolbarVisibleAtDecrypt = toolbar.boolValue();
    return window;
}

void setFailure(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

QString notADocument(const QString& detail)
{
    return tr("The file is damaged or is not a contacts document. %1").arg(detail).trimmed();
}

} // namespace

bool StoredDocument::isLegacy() const
{
    return DocumentFile::isLegacyVersion(version);
}

bool DocumentFile::isLegacyVersion(quint64 version)
{
    switch (version) {
    case 1000: case 1100: case 2000: case 2010: case 20100: case 20200:
    case 20300: case 20301: case 20302: case 20400: case 30000:
        return true;
    default:
        return false;
    }
}

bool DocumentFile::isFlagResetVersion(quint64 version)
{
    return version == 30100 || version == 30200 || version == 30300 || version == 30301;
}

DocumentFile::ReadResult DocumentFile::read(const QByteArray& bytes, StoredDocument& out, QString* error)
{
    Value rootValue;
    QString why;
    if (!KeyedUnarchiver::unarchive(bytes, rootValue, &why)) {
        setFailure(error, notADocument(why));
        return ReadResult::NotADocument;
    }
    const DictionaryRef root = rootValue.dictionary();
    if (!root) {
        setFailure(error, notADocument(tr("Its archive does not hold a dictionary.")));
        return ReadResult::NotADocument;
    }

    StoredDocument stored;
    const Value version = root->objectForKey(kAppVersion);
    if (!version.isNull() && !version.isNumber()) {
        setFailure(error, notADocument(tr("The value “%1” is not a number.").arg(kAppVersion)));
        return ReadResult::NotADocument;
    }
    stored.version = version.unsignedLongLongValue();
    if (stored.version > kCurrentVersion) {
        setFailure(error, tr("The document was created with a more recent version of this application."));
        return ReadResult::NewerVersion;
    }

    RootReader reader(root);
    if (isLegacyVersion(stored.version)) {
        stored.canSave = false;
        stored.legacyRecords = reader.encryptedFieldArray(kDataArray);
        stored.legacyCategories = reader.encryptedFieldArray(kCategoryArray);
        if (stored.version != 1000) {
            stored.legacyCreationDate = reader.data(kCreationDateText);
            stored.legacyLabels = reader.encryptedFieldDictionary(kLabelDict);
        }
    } else {
        stored.canSave = true;
        EncryptedValues& values = stored.encrypted;
        values.records = reader.data(kDataArrayData);
        values.categories = reader.data(kCatArrayData);
        values.labels = reader.data(kLabelDict);
        values.creationDate = reader.data(kCreationDateData);
        values.salt = reader.data(kSalt);
        values.IV = reader.data(kIV);
        values.rc = reader.data(kRc);
        values.sha1Rc = reader.data(kSha1Rc);
        if (stored.version != 30100 && stored.version != 30200) {
            if (const DictionaryRef state = reader.dictionary(kPlatformDictionary)) {
                QString failure;
                stored.windowState = readWindowState(*state, &failure);
                if (!stored.windowState)
                    reader.fail(kPlatformDictionary, failure);
            }
        }
    }
    if (reader.failed()) {
        setFailure(error, notADocument(reader.failure()));
        return ReadResult::NotADocument;
    }
    out = std::move(stored);
    return ReadResult::Read;
}

namespace {
// A new array of a copy of each dictionary of `source` (sharing its values),
// changed by `adjust`; anything else is kept as it is.
ArrayRef copyEach(const ArrayRef& source, const std::function<void(Dictionary&)>& adjust)
{
    ArrayRef copy = Array::create();
    if (!source)
        return copy;
    copy->reserve(source->count());
    for (const Value& value : *source) {
        const DictionaryRef dictionary = value.dictionary();
        if (!dictionary) {
            copy->addObject(value);
            continue;
        }
        const DictionaryRef saved = dictionary->mutableCopy();
        adjust(*saved);
        copy->addObject(Value(saved));
    }
    return copy;
}
} // namespace

namespace {
bool sameKeys(const Dictionary& a, const Dictionary& b)
{
    if (a.count() != b.count())
        return false;
    auto other = b.begin();
    for (auto it = a.begin(), last = a.end(); it != last; ++it, ++other) {
        // Records read from one file or made alike share their list of keys,
        // or at least the keys' texts.
        const QString& key = (*it).first;
        const QString& otherKey = (*other).first;
        if (&key != &otherKey && key.constData() != otherKey.constData() && key != otherKey)
            return false;
    }
    return true;
}

// Makes the save copy of one record after another. Records made alike hold
// their keys in one order: the copies of each such kind share one list of
// keys and are filled value by value, so that a large document's copies are
// small and quick to make. A few kinds are remembered.
class RecordSaveCopier {
public:
    DictionaryRef copyOf(const DictionaryRef& record)
    {
        const auto kind = std::find_if(m_kinds.begin(), m_kinds.end(),
                                       [&record](const Kind& known) { return sameKeys(*known.record, *record); });
        if (kind == m_kinds.end()) {
            const Value uniqueID = uniqueIDOf(record->objectForKey(kCategoryPtr).dictionary());
            if (m_kinds.size() < kKinds)
                return firstOfKind(record, uniqueID);
            const DictionaryRef saved = record->mutableCopy();
            saved->removeObjectForKey(kCategoryPtr);
            saved->setObject(uniqueID, kCatUniqueID);
            return saved;
        }
        m_fields.clear();
        for (const auto& [key, field] : *record)
            m_fields.push_back(&field);
        const Value uniqueID = uniqueIDOf(kind->categoryPlace < 0 ? DictionaryRef()
                                                                  : m_fields[std::size_t(kind->categoryPlace)]->dictionary());
        // Each value made in its place, in the order of the copy's keys.
        std::vector<Value> values;
        values.reserve(kind->sources.size());
        for (const int source : kind->sources)
            values.push_back(source < 0 ? uniqueID : *m_fields[std::size_t(source)]);
        return kind->copies.build(std::move(values));
    }

private:
    static constexpr std::size_t kKinds = 8;

    struct Kind {
        DictionaryRef record;
        ArchiveDictionaryBuilder copies;
        // Of each key of the copy, the place of its value in the record; -1 for "cat_uniqueID".
        std::vector<int> sources;
        int categoryPlace = -1; // of "categoryPtr" in the record, -1 without one
    };

    static Value uniqueIDOf(const DictionaryRef& category)
    {
        return Value::int64(category ? category->objectForKey(kCatUniqueID).longLongValue() : 0);
    }

    // The copy as the record's own copy makes it: without "categoryPtr", and
    // "cat_uniqueID" where it was or else last.
    DictionaryRef firstOfKind(const DictionaryRef& record, const Value& uniqueID)
    {
        const DictionaryRef saved = record->mutableCopy();
        saved->removeObjectForKey(kCategoryPtr);
        saved->setObject(uniqueID, kCatUniqueID);
        Kind kind;
        kind.record = record;
        const QStringList keys = saved->allKeys();
        kind.copies.setKeys(std::vector<QString>(keys.begin(), keys.end()));
        QStringList recordKeys;
        for (const auto& [key, field] : *record)
            recordKeys.append(key);
        kind.categoryPlace = int(recordKeys.indexOf(kCategoryPtr));
        for (const QString& key : keys)
            kind.sources.push_back(key == kCatUniqueID ? -1 : int(recordKeys.indexOf(key)));
        m_kinds.push_back(std::move(kind));
        return saved;
    }

    std::vector<const Value*> m_fields; // of the record being copied, in its order
    std::vector<Kind> m_kinds;
};
} // namespace

ArrayRef DocumentFile::getCopyOfContentArrayForSaveOperation(const ArrayRef& records)
{
    ArrayRef copy = Array::create();
    if (!records)
        return copy;
    copy->reserve(records->count());
    RecordSaveCopier copier;
    for (const Value& value : *records) {
        const DictionaryRef record = value.dictionary();
        copy->addObject(record ? Value(copier.copyOf(record)) : value);
    }
    return copy;
}

ArrayRef DocumentFile::getCopyOfCategoryArrayForSaveOperation(const ArrayRef& categories)
{
    return copyEach(categories, [](Dictionary& category) { category.removeObjectForKey(kRecords); });
}

int DocumentFile::encryptContent(const DocumentContent& content, const QString& password,
                                 const QvCommonCrypto* engine, SaltAndVector mode, EncryptedValues& out,
                                 std::unique_ptr<QvCommonCrypto>& engineOut, QString* error)
{
    if (password.isEmpty()) {
        setFailure(error, tr("The document has no password, and it is never written without one."));
        return StatusNoPassword;
    }

    // A new engine for every call, so that a failure leaves the document's own
    // engine, salt and vector as they were. Unless it keeps those of `engine`,
    // it draws a fresh salt and vector.
    const bool keep = mode == SaltAndVector::KeepIfValid && engine && engine->password() == password
        && engine->salt().size() == QvCommonCrypto::kSaltLength && engine->IV().size() == QvCommonCrypto::kIVLength;
    auto cipher = keep ? std::make_unique<QvCommonCrypto>(password, engine->IV(), engine->salt())
                       : std::make_unique<QvCommonCrypto>(password);
    if (!keep && cipher->salt().size() != QvCommonCrypto::kSaltLength) {
        setFailure(error, tr("No random salt could be drawn for the encryption."));
        return QvCommonCrypto::StatusRandomFailure;
    }

    // The records are archived as their save copies, each made only while it
    // is written rather than all of them first.
    RecordSaveCopier copier;
    const KeyedArchiver::ElementSubstitute recordCopy = [&copier](const DictionaryRef& record) {
        return copier.copyOf(record);
    };
    const std::array<Value, 4> plain{Value(content.records ? content.records : Array::create()),
                                     Value(getCopyOfCategoryArrayForSaveOperation(content.categories)),
                                     Value(content.labels), content.creationDate};
    std::array<QByteArray, 4> sealed;
    for (size_t i = 0; i < plain.size(); ++i) {
        QByteArray archive;
        // The archive is the content in clear, wiped however the step ends.
        const auto wipeArchive = qScopeGuard([&archive] { CryptoPrimitives::wipe(archive); });
        QString why;
        if (!KeyedArchiver::archive(plain[i], archive, &why, i == 0 ? recordCopy : KeyedArchiver::ElementSubstitute())) {
            setFailure(error, tr("The contacts could not be archived: %1").arg(why));
            return StatusNotArchivable;
        }
        int status = 0;
        // Encrypted in its own buffer: the plaintext archive is not kept beside it.
        sealed[i] = cipher->encrypt(std::move(archive), &status);
        if (status != 0 || sealed[i].isNull()) {
            setFailure(error, tr("The contacts could not be encrypted (error %1).").arg(status));
            return status != 0 ? status : int(QvCommonCrypto::StatusUnspecifiedError);
        }
    }

    const QByteArray check = QvCommonCrypto::generateRandom256AsciiString().toUtf8();
    int status = 0;
    const QByteArray rc = cipher->encrypt(check, &status);
    if (status != 0 || rc.isNull()) {
        setFailure(error, tr("The password check could not be encrypted (error %1).").arg(status));
        return status != 0 ? status : int(QvCommonCrypto::StatusUnspecifiedError);
    }

    out.records = sealed[0];
    out.categories = sealed[1];
    out.labels = sealed[2];
    out.creationDate = sealed[3];
    out.salt = cipher->salt();
    out.IV = cipher->IV();
    out.rc = rc;
    out.sha1Rc = QvCommonCrypto::dataSHA1(check);
    engineOut = std::move(cipher);
    return 0;
}

bool DocumentFile::archiveRoot(const EncryptedValues& values, const DictionaryRef& platformDictionary,
                               QByteArray& out, QString* error)
{
    QByteArrayList pieces;
    if (!archiveRoot(values, platformDictionary, pieces, error))
        return false;
    out = pieces.size() == 1 ? std::move(pieces.front()) : pieces.join();
    return true;
}

bool DocumentFile::archiveRoot(const EncryptedValues& values, const DictionaryRef& platformDictionary,
                               QByteArrayList& out, QString* error)
{
    const DictionaryRef root = Dictionary::create();
    root->setObject(Value::uint64(kCurrentVersion), kAppVersion);
    root->setObject(Value(QStringLiteral("OSX")), kLatestPlatform);
    const std::array<std::pair<const QString*, const QByteArray*>, 8> byteStrings{{
        {&kDataArrayData, &values.records},
        {&kCatArrayData, &values.categories},
        {&kLabelDict, &values.labels},
        {&kCreationDateData, &values.creationDate},
        {&kSalt, &values.salt},
        {&kIV, &values.IV},
        {&kRc, &values.rc},
        {&kSha1Rc, &values.sha1Rc},
    }};
    for (const auto& [key, bytes] : byteStrings) {
        if (!bytes->isNull())
            root->setObject(Value::data(*bytes), *key);
    }
    if (platformDictionary)
        root->setObject(Value(platformDictionary), kPlatformDictionary);

    QString why;
    QByteArrayList pieces;
    if (!KeyedArchiver::archive(Value(root), pieces, &why)) {
        setFailure(error, tr("The document could not be archived: %1").arg(why));
        return false;
    }
    out = std::move(pieces);
    return true;
}

DictionaryRef DocumentFile::windowStateDictionary(const StoredFrame& frame, bool toolbarVisible)
{
    return Dictionary::create({{kWindowHeight, Value::real(frame.height)},
                               {kWindowWidth, Value::real(frame.width)},
                               {kWindowX, Value::real(frame.x)},
                               {kWindowY, Value::real(frame.y)},
                               {kToolbarVisible, Value::boolean(toolbarVisible)}});
}
