// The document file: the writer's root dictionary, save copies, encryption
// failures, and the reader's dispatch per document version.
#include "test_file_support.h"

#include "document/DocumentWindowFrame.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace filetest;

namespace {

QByteArray decryptWith(const QString& password, const DictionaryRef& root, const QString& key)
{
    QvCommonCrypto engine(password);
    engine.setPasswordToDecrypt(password, root->objectForKey(QStringLiteral("IV")).dataValue(),
                                root->objectForKey(QStringLiteral("salt")).dataValue());
    int status = 0;
    const QByteArray plain = engine.decrypt(root->objectForKey(key).dataValue(), &status);
    EXPECT_EQ(status, 0) << key.toStdString();
    return plain;
}

Value decryptedArchive(const QString& password, const DictionaryRef& root, const QString& key)
{
    return KeyedUnarchiver::unarchiveObjectWithData(decryptWith(password, root, key));
}

} // namespace

TEST(DocumentFileWriter, WritesTheElevenKeysOfTheirKinds)
{
    const DictionaryRef window = DocumentFile::windowStateDictionary({10.5, 20, 700, 500.25}, true);
    const QByteArray file = writtenFile(sampleContent(), kPassword, window);
    const DictionaryRef root = rootOf(file);
    ASSERT_TRUE(root);

    struct Row {
        const char* key;
        Value::Kind kind;
        int size; // bytes of a byte string, -1 when any
    };
    const Row rows[] = {
        {"appversion", Value::Kind::Int64, -1},
        {"latestPlatform", Value::Kind::String, -1},
        {"dataArrayData", Value::Kind::Data, -1},
        {"catArrayData", Value::Kind::Data, -1},
        {"labelDict", Value::Kind::Data, -1},
        {"documentCreationDateData", Value::Kind::Data, -1},
        {"salt", Value::Kind::Data, 8},
        {"IV", Value::Kind::Data, 16},
        {"rc", Value::Kind::Data, -1},
        {"sha1-rc", Value::Kind::Data, 20},
        {"OSXPlatformDictionary", Value::Kind::Dictionary, -1},
    };
    QStringList keys;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        const Value value = root->objectForKey(QLatin1String(row.key));
        EXPECT_EQ(value.kind(), row.kind);
        if (row.size >= 0)
            EXPECT_EQ(value.dataValue().size(), row.size);
        if (value.isData() && row.size < 0)
            EXPECT_EQ(value.dataValue().size() % 16, 0) << "an AES value is whole blocks";
        keys << QLatin1String(row.key);
    }
    EXPECT_EQ(root->allKeys(), keys);
    EXPECT_EQ(root->objectForKey(QStringLiteral("appversion")).unsignedLongLongValue(), 30600u);
    EXPECT_EQ(root->objectForKey(QStringLiteral("latestPlatform")).stringValue(), QStringLiteral("OSX"));
    EXPECT_TRUE(root->objectForKey(QStringLiteral("OSXPlatformDictionary")).isEqual(Value(window)));

    // The five AES values share the stored key and vector; the check hashes to "sha1-rc".
    const QByteArray check = decryptWith(kPassword, root, QStringLiteral("rc"));
    EXPECT_EQ(QString::fromUtf8(check).size(), 256);
    EXPECT_EQ(QvCommonCrypto::dataSHA1(check), root->objectForKey(QStringLiteral("sha1-rc")).dataValue());
    EXPECT_EQ(decryptedArchive(kPassword, root, QStringLiteral("dataArrayData")).array()->count(), 3);
    EXPECT_EQ(decryptedArchive(kPassword, root, QStringLiteral("catArrayData")).array()->count(), 3);
    EXPECT_TRUE(decryptedArchive(kPassword, root, QStringLiteral("labelDict")).isDictionary());
    EXPECT_EQ(decryptedArchive(kPassword, root, QStringLiteral("documentCreationDateData")).dateValue(), 699999999.75);
}

TEST(DocumentFileWriter, EverySaveHasAFreshSaltAndVectorButTheSamePlaintext)
{
    const DocumentContent content = sampleContent();
    EncryptedValues first, second;
    std::unique_ptr<QvCommonCrypto> engine, again;
    ASSERT_EQ(DocumentFile::encryptContent(content, kPassword, nullptr, DocumentFile::SaltAndVector::Fresh, first,
                                           engine),
              0);
    ASSERT_EQ(DocumentFile::encryptContent(content, kPassword, engine.get(), DocumentFile::SaltAndVector::Fresh,
                                           second, again),
              0);
    EXPECT_NE(first.salt, second.salt);
    EXPECT_NE(first.IV, second.IV);
    EXPECT_NE(first.records, second.records);
    EXPECT_EQ(again->salt(), second.salt);
    EXPECT_EQ(again->IV(), second.IV);

    QByteArray a, b;
    ASSERT_TRUE(DocumentFile::archiveRoot(first, {}, a));
    ASSERT_TRUE(DocumentFile::archiveRoot(second, {}, b));
    EXPECT_NE(a, b);
    for (const char* key : {"dataArrayData", "catArrayData", "labelDict", "documentCreationDateData"})
        EXPECT_EQ(decryptWith(kPassword, rootOf(a), QLatin1String(key)),
                  decryptWith(kPassword, rootOf(b), QLatin1String(key)))
            << key;

    // A lock keeps the engine's salt and vector while the password is the same,
    // and takes new ones when the password has changed.
    EncryptedValues locked, changed;
    std::unique_ptr<QvCommonCrypto> kept, renewed;
    ASSERT_EQ(DocumentFile::encryptContent(content, kPassword, again.get(), DocumentFile::SaltAndVector::KeepIfValid,
                                           locked, kept),
              0);
    EXPECT_EQ(locked.salt, second.salt);
    EXPECT_EQ(locked.IV, second.IV);
    ASSERT_EQ(DocumentFile::encryptContent(content, QStringLiteral("another one"), again.get(),
                                           DocumentFile::SaltAndVector::KeepIfValid, changed, renewed),
              0);
    EXPECT_NE(changed.salt, second.salt);
}

TEST(DocumentFileWriter, SaveCopiesReplaceTheCategoryLinkAndLeaveTheDocumentAlone)
{
    const DictionaryRef group = category(QStringLiteral("Friends"), 7);
    group->objectForKey(QStringLiteral("records")).array()->addObject(Value(QStringLiteral("transient")));
    const DictionaryRef linked = record(QStringLiteral("Ann"), QStringLiteral("Lee"), group);
    const DictionaryRef loose = record(QStringLiteral("No"), QStringLiteral("Category"), {});
    const DictionaryRef alike = record(QStringLiteral("Bo"), QStringLiteral("Ek"), category(QStringLiteral("Work"), 9));
    const ArrayRef records = Array::create({Value(linked), Value(loose), Value(alike)});
    const ArrayRef categories = Array::create({Value(group)});

    const ArrayRef savedRecords = DocumentFile::getCopyOfContentArrayForSaveOperation(records);
    const ArrayRef savedCategories = DocumentFile::getCopyOfCategoryArrayForSaveOperation(categories);
    const DictionaryRef first = savedRecords->objectAtIndex(0).dictionary();
    const DictionaryRef second = savedRecords->objectAtIndex(1).dictionary();
    EXPECT_FALSE(first->containsKey(QStringLiteral("categoryPtr")));
    EXPECT_EQ(first->objectForKey(QStringLiteral("cat_uniqueID")).kind(), Value::Kind::Int64);
    EXPECT_EQ(first->objectForKey(QStringLiteral("cat_uniqueID")).longLongValue(), 7);
    EXPECT_EQ(second->objectForKey(QStringLiteral("cat_uniqueID")).longLongValue(), 0);
    // A record with the keys of an earlier one keeps its own values.
    const DictionaryRef third = savedRecords->objectAtIndex(2).dictionary();
    EXPECT_EQ(third->objectForKey(QStringLiteral("firstName")).stringValue(), QStringLiteral("Bo"));
    EXPECT_EQ(third->objectForKey(QStringLiteral("cat_uniqueID")).longLongValue(), 9);
    EXPECT_EQ(third->allKeys(), first->allKeys());
    EXPECT_EQ(first->objectForKey(QStringLiteral("firstName")).stringValue(), QStringLiteral("Ann"));
    EXPECT_FALSE(savedCategories->objectAtIndex(0).dictionary()->containsKey(QStringLiteral("records")));

    // An identifier the record holds already is replaced where it stands, also
    // in the copy of a record with the keys of an earlier one.
    const ArrayRef stale = Array::create();
    for (const qint64 id : {3, 4}) {
        const DictionaryRef r = record(QStringLiteral("Old"), QStringLiteral("Link"), category(QStringLiteral("G"), id));
        r->setObject(Value::int64(99), QStringLiteral("cat_uniqueID"));
        stale->addObject(Value(r));
    }
    const ArrayRef savedStale = DocumentFile::getCopyOfContentArrayForSaveOperation(stale);
    for (const qint64 id : {3, 4}) {
        const DictionaryRef copy = savedStale->objectAtIndex(id - 3).dictionary();
        EXPECT_EQ(copy->objectForKey(QStringLiteral("cat_uniqueID")).longLongValue(), id);
        EXPECT_EQ(copy->allKeys().last(), QStringLiteral("cat_uniqueID"));
        EXPECT_FALSE(copy->containsKey(QStringLiteral("categoryPtr")));
    }

    EXPECT_TRUE(linked->objectForKey(QStringLiteral("categoryPtr")) == Value(group));
    EXPECT_FALSE(linked->containsKey(QStringLiteral("cat_uniqueID")));
    EXPECT_TRUE(group->containsKey(QStringLiteral("records")));
}

// The save writes its records without making all their copies first: what it
// writes must be, byte for byte, the archive of those copies, whatever the
// mix of records (kinds beyond those remembered, keys in other orders, no
// category, an identifier kept or missing, one record listed twice).
TEST(DocumentFileWriter, TheRecordsValueIsTheArchiveOfTheSaveCopies)
{
    const DictionaryRef group = category(QStringLiteral("Friends"), 7);
    ArrayRef records = Array::create();
    for (int i = 0; i < 30; ++i) {
        const DictionaryRef r = record(QStringLiteral("First %1").arg(i), QStringLiteral("Last"), i % 3 ? group : DictionaryRef());
        if (i % 4 == 0)
            r->setObject(Value::int64(99), QStringLiteral("cat_uniqueID"));
        if (i % 5 == 0)
            r->setObject(Value(QStringLiteral("extra %1").arg(i % 15)), QStringLiteral("extra%1").arg(i % 15));
        if (i == 7) {
            r->removeObjectForKey(QStringLiteral("categoryPtr"));
            r->setObject(Value(group), QStringLiteral("categoryPtr"));
        }
        records->addObject(Value(r));
    }
    records->addObject(records->objectAtIndex(3));
    const DocumentContent content{records, Array::create({Value(group)}), defaultLabels(), Value::date(1000)};

    EncryptedValues values;
    std::unique_ptr<QvCommonCrypto> engine;
    ASSERT_EQ(DocumentFile::encryptContent(content, kPassword, nullptr, DocumentFile::SaltAndVector::Fresh, values, engine), 0);
    int status = 0;
    const QByteArray written = engine->decrypt(values.records, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(written, KeyedArchiver::archivedDataWithRootObject(Value(DocumentFile::getCopyOfContentArrayForSaveOperation(records))));
}

TEST(DocumentFileWriter, RefusesAnEmptyPasswordAndFailsWholeOnACipherOrArchiveFailure)
{
    const DocumentContent content = sampleContent();
    EncryptedValues untouched;
    untouched.salt = "previous";
    std::unique_ptr<QvCommonCrypto> engine;
    QString why;

    EXPECT_EQ(DocumentFile::encryptContent(content, QString(), nullptr, DocumentFile::SaltAndVector::Fresh, untouched,
                                           engine, &why),
              DocumentFile::StatusNoPassword);
    EXPECT_FALSE(why.isEmpty());

    QvCommonCrypto::setSecureRandomSourceForTesting([](unsigned char*, int) { return false; });
    const int status = DocumentFile::encryptContent(content, kPassword, nullptr, DocumentFile::SaltAndVector::Fresh,
                                                    untouched, engine, &why);
    QvCommonCrypto::setSecureRandomSourceForTesting({});
    EXPECT_EQ(status, QvCommonCrypto::StatusRandomFailure);

    // A colour the archive cannot hold makes the categories unarchivable.
    DocumentContent odd = sampleContent();
    auto strange = std::make_shared<ArchivedColor>();
    strange->colorSpace = 99;
    odd.categories->objectAtIndex(0).dictionary()->setObject(Value(ColorRef(strange)), QStringLiteral("cat_backColor"));
    EXPECT_EQ(DocumentFile::encryptContent(odd, kPassword, nullptr, DocumentFile::SaltAndVector::Fresh, untouched,
                                           engine, &why),
              DocumentFile::StatusNotArchivable);

    EXPECT_EQ(untouched.salt, QByteArray("previous"));
    EXPECT_TRUE(untouched.records.isNull());
    EXPECT_FALSE(engine);
}

TEST(DocumentFileWriter, WritesOnlyTheValuesItHas)
{
    EncryptedValues partial;
    partial.salt = QByteArray(8, 's');
    partial.records = QByteArray(16, 'r');
    QByteArray bytes;
    ASSERT_TRUE(DocumentFile::archiveRoot(partial, {}, bytes));
    EXPECT_EQ(rootOf(bytes)->allKeys(),
              (QStringList{"appversion", "latestPlatform", "dataArrayData", "salt"}));
}

// ---- the reader -------------------------------------------------------------------------

namespace {

// A current-format root with every value, window state included, under `version`.
DictionaryRef currentRoot(std::optional<quint64> version)
{
    const DictionaryRef window = DocumentFile::windowStateDictionary({-35.6, 48.9, 1024.99, 700.2}, false);
    const DictionaryRef root = rootOf(writtenFile(sampleContent(), kPassword, window));
    if (version)
        root->setObject(Value::uint64(*version), QStringLiteral("appversion"));
    else
        root->removeObjectForKey(QStringLiteral("appversion"));
    return root;
}

DictionaryRef legacyRoot(quint64 version)
{
    const DictionaryRef field = Dictionary::create({{QStringLiteral("firstName"), Value::data("12345678")}});
    return Dictionary::create({{QStringLiteral("appversion"), Value::uint64(version)},
                               {QStringLiteral("dataArray"), Value(Array::create({Value(field)}))},
                               {QStringLiteral("categoryArray"), Value(Array::create())},
                               {QStringLiteral("crtnDt"), Value::data("abcdefgh")},
                               {QStringLiteral("labelDict"), Value(Dictionary::create())}});
}

} // namespace

TEST(DocumentFileReader, DispatchesOnTheDocumentVersion)
{
    struct Row {
        std::optional<quint64> version;
        DocumentFile::ReadResult result;
        bool legacy;
        bool canSave;
        bool window;
    };
    using R = DocumentFile::ReadResult;
    const Row rows[] = {
        {std::nullopt, R::Read, false, true, true}, // no "appversion": version 0
        {0, R::Read, false, true, true},
        {999, R::Read, false, true, true},
        {1000, R::Read, true, false, false},
        {1100, R::Read, true, false, false},
        {2000, R::Read, true, false, false},
        {2010, R::Read, true, false, false},
        {20100, R::Read, true, false, false},
        {20200, R::Read, true, false, false},
        {20300, R::Read, true, false, false},
        {20301, R::Read, true, false, false},
        {20302, R::Read, true, false, false},
        {20303, R::Read, false, true, true},
        {20400, R::Read, true, false, false},
        {30000, R::Read, true, false, false},
        {30100, R::Read, false, true, false},
        {30200, R::Read, false, true, false},
        {30300, R::Read, false, true, true},
        {30301, R::Read, false, true, true},
        {30600, R::Read, false, true, true},
        {30601, R::NewerVersion, false, false, false},
        {std::numeric_limits<quint64>::max(), R::NewerVersion, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version ? std::to_string(*row.version) : "none");
        const bool legacy = row.version && DocumentFile::isLegacyVersion(*row.version);
        const DictionaryRef root = legacy ? legacyRoot(*row.version) : currentRoot(row.version);
        StoredDocument stored;
        stored.version = 12345;
        QString why;
        ASSERT_EQ(DocumentFile::read(archiveOf(root), stored, &why), row.result);
        if (row.result != R::Read) {
            EXPECT_EQ(stored.version, 12345u) << "a refused file gives nothing";
            EXPECT_FALSE(why.isEmpty());
            continue;
        }
        EXPECT_EQ(stored.version, row.version.value_or(0));
        EXPECT_EQ(stored.isLegacy(), row.legacy);
        EXPECT_EQ(stored.canSave, row.canSave);
        EXPECT_EQ(stored.windowState.has_value(), row.window);
        if (row.legacy) {
            EXPECT_EQ(stored.legacyRecords->count(), 1);
            EXPECT_EQ(stored.legacyCreationDate.isEmpty(), *row.version == 1000);
            EXPECT_EQ(bool(stored.legacyLabels), *row.version != 1000);
            EXPECT_TRUE(stored.encrypted.records.isNull());
        } else {
            EXPECT_EQ(stored.encrypted.salt, root->objectForKey(QStringLiteral("salt")).dataValue());
            EXPECT_EQ(stored.encrypted.sha1Rc.size(), 20);
            EXPECT_FALSE(stored.encrypted.records.isEmpty());
        }
        if (row.window) {
            // Each number cut to a whole one; the toolbar flag as stored.
            EXPECT_EQ(stored.windowState->frame, (StoredFrame{-35, 48, 1024, 700}));
            EXPECT_FALSE(stored.windowState->makeToolbarVisibleAtDecrypt);
        }
    }
}

TEST(DocumentFileReader, WindowStateWithoutToolbarFlagHidesTheToolbar)
{
    const DictionaryRef root = currentRoot(30600);
    root->objectForKey(QStringLiteral("OSXPlatformDictionary")).dictionary()->removeObjectForKey(
        QStringLiteral("makeToolbarVisibleAtDecrypt"));
    StoredDocument stored;
    ASSERT_EQ(DocumentFile::read(archiveOf(root), stored), DocumentFile::ReadResult::Read);
    EXPECT_FALSE(stored.windowState->makeToolbarVisibleAtDecrypt);

    root->removeObjectForKey(QStringLiteral("OSXPlatformDictionary"));
    ASSERT_EQ(DocumentFile::read(archiveOf(root), stored), DocumentFile::ReadResult::Read);
    EXPECT_FALSE(stored.windowState.has_value());
}

TEST(DocumentFileReader, MissingValuesAreLeftEmptyForTheUnlockToRefuse)
{
    const DictionaryRef root = currentRoot(30600);
    root->removeObjectForKey(QStringLiteral("rc"));
    root->removeObjectForKey(QStringLiteral("dataArrayData"));
    StoredDocument stored;
    ASSERT_EQ(DocumentFile::read(archiveOf(root), stored), DocumentFile::ReadResult::Read);
    EXPECT_TRUE(stored.encrypted.rc.isNull());
    EXPECT_TRUE(stored.encrypted.records.isNull());

    const DictionaryRef old = Dictionary::create({{QStringLiteral("appversion"), Value::uint64(1100)}});
    ASSERT_EQ(DocumentFile::read(archiveOf(old), stored), DocumentFile::ReadResult::Read);
    EXPECT_EQ(stored.legacyRecords->count(), 0);
    EXPECT_EQ(stored.legacyCategories->count(), 0);
}

TEST(DocumentFileReader, RefusesBytesThatAreNoDocument)
{
    const QByteArray good = archiveOf(currentRoot(30600));
    const auto edited = [](const std::function<void(Dictionary&)>& edit, const DictionaryRef& root) {
        edit(*root);
        return archiveOf(root);
    };
    const auto current = [&](const std::function<void(Dictionary&)>& edit) { return edited(edit, currentRoot(30600)); };
    const auto legacy = [&](const std::function<void(Dictionary&)>& edit) { return edited(edit, legacyRoot(20302)); };
    QByteArray deep = "x";
    {
        Value nested(Array::create());
        for (int i = 0; i < 400; ++i)
            nested = Value(Array::create({nested}));
        const DictionaryRef root = currentRoot(30600);
        root->setObject(nested, QStringLiteral("extra"));
        deep = archiveOf(root);
    }

    const std::pair<const char*, QByteArray> rows[] = {
        {"no bytes", QByteArray()},
        {"text", QByteArray("Dear diary, today I wrote no document.")},
        {"a property list that is no keyed archive",
         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><string>b</string></dict></plist>")},
        {"the first half of a document", good.left(good.size() / 2)},
        {"a document without its last byte", good.chopped(1)},
        {"an archive of an array", KeyedArchiver::archivedDataWithRootObject(Value(Array::create()))},
        {"an archive of a string", KeyedArchiver::archivedDataWithRootObject(Value(QStringLiteral("root")))},
        {"nesting beyond the archive's limit", deep.isEmpty() ? QByteArray("x") : deep},
        {"appversion as text", current([](Dictionary& r) { r.setObject(Value("30600"), "appversion"); })},
        {"appversion as a date", current([](Dictionary& r) { r.setObject(Value::date(1), "appversion"); })},
        {"records as text", current([](Dictionary& r) { r.setObject(Value("secret"), "dataArrayData"); })},
        {"salt as a number", current([](Dictionary& r) { r.setObject(Value::int64(8), "salt"); })},
        {"password check as an array", current([](Dictionary& r) { r.setObject(Value(Array::create()), "sha1-rc"); })},
        {"window state as an array",
         current([](Dictionary& r) { r.setObject(Value(Array::create()), "OSXPlatformDictionary"); })},
        {"window width as text", current([](Dictionary& r) {
             r.objectForKey("OSXPlatformDictionary").dictionary()->setObject(Value("wide"), "windowRecWidth");
         })},
        {"toolbar flag as text", current([](Dictionary& r) {
             r.objectForKey("OSXPlatformDictionary").dictionary()->setObject(Value("yes"),
                                                                              "makeToolbarVisibleAtDecrypt");
         })},
        {"old records as a dictionary", legacy([](Dictionary& r) { r.setObject(Value(Dictionary::create()), "dataArray"); })},
        {"old record as text", legacy([](Dictionary& r) { r.setObject(Value(Array::create({Value("x")})), "dataArray"); })},
        {"old field as text", legacy([](Dictionary& r) {
             r.setObject(Value(Array::create({Value(Dictionary::create({{"firstName", Value("plain")}}))})),
                         "categoryArray");
         })},
        {"old captions as bytes", legacy([](Dictionary& r) { r.setObject(Value::data("x"), "labelDict"); })},
        {"old caption as a number", legacy([](Dictionary& r) {
             r.setObject(Value(Dictionary::create({{"note", Value::int32(1)}})), "labelDict");
         })},
        {"old date as text", legacy([](Dictionary& r) { r.setObject(Value("2005-06-17"), "crtnDt"); })},
    };
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        StoredDocument stored;
        stored.version = 4242;
        QString why;
        EXPECT_EQ(DocumentFile::read(bytes, stored, &why), DocumentFile::ReadResult::NotADocument);
        EXPECT_TRUE(why.startsWith(QStringLiteral("The file is damaged or is not a contacts document."))) << why.toStdString();
        EXPECT_EQ(stored.version, 4242u);
    }

    // Every prefix of a document fails cleanly.
    for (qsizetype size = 0; size < good.size(); size += 7) {
        StoredDocument stored;
        EXPECT_NE(DocumentFile::read(good.left(size), stored), DocumentFile::ReadResult::Read) << size;
    }
}

TEST(DocumentFileReader, ReadsWhatTheWriterWrote)
{
    const QByteArray file = writtenFile(sampleContent(), kPassword,
                                        DocumentFile::windowStateDictionary({120.75, 200.4, 900.9, 640.2}, true));
    StoredDocument stored;
    ASSERT_EQ(DocumentFile::read(file, stored), DocumentFile::ReadResult::Read);
    EXPECT_EQ(stored.version, 30600u);
    EXPECT_EQ(stored.windowState->frame, (StoredFrame{120, 200, 900, 640}));
    EXPECT_TRUE(stored.windowState->makeToolbarVisibleAtDecrypt);

    // Written again while locked: the stored values as read, no window state.
    QByteArray again;
    ASSERT_TRUE(DocumentFile::archiveRoot(stored.encrypted, {}, again));
    const DictionaryRef before = rootOf(file);
    const DictionaryRef after = rootOf(again);
    before->removeObjectForKey(QStringLiteral("OSXPlatformDictionary"));
    EXPECT_TRUE(before->isEqualToDictionary(*after));
}

// ---- window frames ----------------------------------------------------------------------

TEST(DocumentWindowFrame, ConvertsBetweenTheStoredAndTheScreenOrigin)
{
    const QRect primary(0, 0, 1920, 1080);
    struct Row {
        StoredFrame stored;
        QRect screen;
    };
    const Row rows[] = {
        {{0, 0, 800, 600}, QRect(0, 480, 800, 600)},    // at the bottom left
        {{100, 480, 800, 600}, QRect(100, 0, 800, 600)}, // touching the top
        {{-35, 48, 1024, 700}, QRect(-35, 332, 1024, 700)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DocumentWindowFrame::toScreen(row.stored, primary), row.screen);
        EXPECT_EQ(DocumentWindowFrame::fromScreen(row.screen, primary), row.stored);
    }
    // A primary screen that does not start at 0.
    EXPECT_EQ(DocumentWindowFrame::toScreen({0, 0, 100, 100}, QRect(0, 50, 1000, 1000)), QRect(0, 950, 100, 100));
    // Hostile numbers stay far from overflowing.
    const QRect huge = DocumentWindowFrame::toScreen({2e9, -2e9, 2e9, 2e9}, primary);
    EXPECT_LE(huge.width(), 1 << 24);
}

TEST(DocumentWindowFrame, KeepsARestoredWindowOnAScreen)
{
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize minimum(450, 300);
    struct Row {
        QRect frame;
        QRect kept;
    };
    const Row rows[] = {
        {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},      // already on the first screen
        {QRect(2000, 50, 800, 600), QRect(2000, 50, 800, 600)},      // on the second
        {QRect(-500, -400, 800, 600), QRect(0, 0, 800, 600)},        // partly off: moved in
        {QRect(5000, 5000, 800, 600), QRect(1120, 480, 800, 600)},   // on no screen: the first
        {QRect(3000, 100, 800, 600), QRect(2400, 100, 800, 600)},    // overlaps the second most
        {QRect(0, 0, 4000, 3000), QRect(0, 0, 1920, 1080)},          // larger than the screen
        {QRect(10, 10, 20, 20), QRect(10, 10, 450, 300)},            // below the minimum
    };
    for (const Row& row : rows)
        EXPECT_EQ(DocumentWindowFrame::keepOnScreen(row.frame, screens, minimum), row.kept) << row.frame.x();
}

// ---- interchange ------------------------------------------------------------------------


TEST(DocumentFileInterchange, TheIndependentReaderOpensWhatTheWriterWrote)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        GTEST_SKIP() << "python3 and openssl run the independent reader";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("written.calvorin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString password = QStringLiteral("Schlüssel-2024");
    file.write(writtenFile(sampleContent(2), password, DocumentFile::windowStateDictionary({1, 2, 3, 4}, true)));
    file.close();

    QProcess reader;
    reader.start(python, {fixturePath(QStringLiteral("check_document.py")), path, password});
    ASSERT_TRUE(reader.waitForFinished(60000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    const QJsonObject json = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    EXPECT_EQ(json.value("appversion").toInt(), 30600);
    EXPECT_EQ(json.value("latestPlatform").toString(), QStringLiteral("OSX"));
    const QJsonArray records = json.value("records").toArray();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].toObject().value("addressWork").toString(), QStringLiteral("Zoë Müller, Hauptstraße 1"));
    EXPECT_EQ(records[1].toObject().value("cat_uniqueID").toInt(), 2);
    EXPECT_EQ(json.value("categories").toArray().size(), 3);
    EXPECT_EQ(json.value("creationDate").toDouble(), 699999999.75);

    reader.start(python, {fixturePath(QStringLiteral("check_document.py")), path, QStringLiteral("Schlussel-2024")});
    ASSERT_TRUE(reader.waitForFinished(60000));
    EXPECT_NE(reader.exitCode(), 0);
}
