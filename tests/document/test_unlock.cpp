// Unlocking a current-format document: its results, installing nothing on
// failure, relinking records to categories, and the caption-flag reset.
#include "test_file_support.h"

#include "common/BoundedRun.h"

using namespace filetest;

namespace {

StoredDocument storedFrom(const QByteArray& file)
{
    StoredDocument stored;
    EXPECT_EQ(DocumentFile::read(file, stored), DocumentFile::ReadResult::Read);
    return stored;
}

// A stored document whose value `field` is `plain` (archived or raw),
// encrypted with the document's own key and vector.
StoredDocument withPlaintext(QByteArray EncryptedValues::*field, const QByteArray& plain)
{
    StoredDocument stored = storedFrom(writtenFile(sampleContent()));
    QvCommonCrypto engine(kPassword);
    engine.setPasswordToDecrypt(kPassword, stored.encrypted.IV, stored.encrypted.salt);
    int status = 0;
    stored.encrypted.*field = engine.encrypt(plain, &status);
    return stored;
}

StoredDocument withRecordsPlaintext(const QByteArray& plain)
{
    return withPlaintext(&EncryptedValues::records, plain);
}

QStringList namesOf(const ArrayRef& records)
{
    QStringList names;
    for (const Value& r : *records)
        names << r.valueForKeyPath(QStringLiteral("categoryPtr.cat_category")).stringValue();
    return names;
}

QList<int> countsOf(const ArrayRef& categories)
{
    QList<int> counts;
    for (const Value& c : *categories)
        counts << c.valueForKey(QStringLiteral("cat_howManyUsingThis")).intValue();
    return counts;
}

} // namespace

TEST(DocumentUnlock, AnswersZeroOneOrTheCipherStatusAndGivesNothingOnFailure)
{
    const StoredDocument good = storedFrom(writtenFile(sampleContent()));
    struct Row {
        const char* name;
        StoredDocument stored;
        QString password;
        int result; // INT_MIN: any non-zero result
    };
    constexpr int kAnyFailure = std::numeric_limits<int>::min();
    const auto changed = [&](const std::function<void(StoredDocument&)>& edit) {
        StoredDocument copy = good;
        edit(copy);
        return copy;
    };
    const std::vector<Row> rows = [&] {
        std::vector<Row> r;
        r.push_back({"right password", good, kPassword, 0});
        r.push_back({"wrong password", good, QStringLiteral("wrong horse"), kAnyFailure});
        r.push_back({"check hash altered", changed([](StoredDocument& s) { s.encrypted.sha1Rc[0] = char(s.encrypted.sha1Rc[0] ^ 1); }),
                     kPassword, DocumentUnlock::kPasswordCheckFailed});
        r.push_back({"check hash missing", changed([](StoredDocument& s) { s.encrypted.sha1Rc = QByteArray(); }), kPassword,
                     DocumentUnlock::kPasswordCheckFailed});
        r.push_back({"check missing", changed([](StoredDocument& s) { s.encrypted.rc = QByteArray(); }), kPassword, kAnyFailure});
        r.push_back({"salt missing", changed([](StoredDocument& s) { s.encrypted.salt = QByteArray(); }), kPassword,
                     QvCommonCrypto::StatusParamError});
        r.push_back({"vector short", changed([](StoredDocument& s) { s.encrypted.IV.chop(1); }), kPassword,
                     QvCommonCrypto::StatusParamError});
        r.push_back({"records truncated", changed([](StoredDocument& s) { s.encrypted.records.chop(5); }), kPassword,
                     kAnyFailure});
        r.push_back({"captions missing", changed([](StoredDocument& s) { s.encrypted.labels = QByteArray(); }), kPassword,
                     kAnyFailure});
        r.push_back({"records no archive", withRecordsPlaintext("not an archive"), kPassword,
                     DocumentUnlock::kContentDamaged});
        r.push_back({"records a dictionary",
                     withRecordsPlaintext(KeyedArchiver::archivedDataWithRootObject(Value(Dictionary::create()))), kPassword,
                     DocumentUnlock::kContentDamaged});
        r.push_back({"categories no archive", withPlaintext(&EncryptedValues::categories, "not an archive"), kPassword,
                     DocumentUnlock::kContentDamaged});
        r.push_back({"a record that is text",
                     withRecordsPlaintext(KeyedArchiver::archivedDataWithRootObject(Value(Array::create({Value("x")})))),
                     kPassword, DocumentUnlock::kContentDamaged});
        r.push_back({"version below the AES format", changed([](StoredDocument& s) { s.version = 20303; }), kPassword,
                     DocumentUnlock::kPasswordCheckFailed});
        r.push_back({"version 0", changed([](StoredDocument& s) { s.version = 0; }), kPassword,
                     DocumentUnlock::kPasswordCheckFailed});
        return r;
    }();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UnlockedContent out;
        const ArrayRef before = Array::create();
        out.records = before;
        const int result = DocumentUnlock::decrypt(row.stored, row.password, defaultLabels(), plainHooks(), out);
        if (row.result == kAnyFailure)
            EXPECT_NE(result, 0);
        else
            EXPECT_EQ(result, row.result);
        if (result != 0) {
            EXPECT_TRUE(out.records == Value(before)) << "nothing is given on failure";
            EXPECT_FALSE(out.engine);
        }

        // Letting go of the records' ciphertext: the same answer, and on
        // failure the very bytes it let go of.
        StoredDocument held = row.stored;
        UnlockedContent heldOut;
        EXPECT_EQ(DocumentUnlock::decryptLettingGo(held, row.password, defaultLabels(), plainHooks(), heldOut), result);
        if (result != 0)
            EXPECT_EQ(held.encrypted.records, row.stored.encrypted.records);
        else
            EXPECT_EQ(heldOut.records->count(), out.records->count());
    }
}

// One record, category or caption dictionary referred to a million times
// from a megabyte or two: the archive is refused as damaged, within a little
// memory and time, instead of growing into gigabytes of records to relink.
TEST(DocumentUnlock, ObjectsReferredToOverAndOverAreDamage)
{
    const DictionaryRef record = sampleContent().records->objectAtIndex(0).dictionary()->mutableCopy();
    record->removeObjectForKey(QStringLiteral("categoryPtr"));
    const DictionaryRef category = sampleContent().categories->objectAtIndex(0).dictionary()->mutableCopy();
    category->removeObjectForKey(QStringLiteral("records"));
    const auto copies = [](const DictionaryRef& d, qsizetype n) {
        return KeyedArchiver::archivedDataWithRootObject(Value(Array::create(std::vector<Value>(n, Value(d)))));
    };
    const DictionaryRef inner = Dictionary::create();
    for (int i = 0; i < 1000; ++i)
        inner->setObject(Value(QStringLiteral("caption %1").arg(i)), QStringLiteral("k%1").arg(i));
    const DictionaryRef captions = Dictionary::create();
    for (int i = 0; i < 100000; ++i)
        captions->setObject(Value(inner), QStringLiteral("open%1").arg(i));

    // An old document lists its encrypted records in the file itself.
    const DictionaryRef fields = Dictionary::create({{"firstName", Value::data(QByteArray(8, 'x'))}, {"lastName", Value::data(QByteArray(8, 'y'))}});
    const QByteArray legacyFile = archiveOf(Dictionary::create(
        {{"appversion", Value::int64(30000)}, {"dataArray", Value(Array::create(std::vector<Value>(1'000'000, Value(fields))))}}));

    struct Row {
        const char* name;
        std::function<bool()> refused;
    };
    const auto unlockDamaged = [](StoredDocument stored) {
        return [stored] {
            UnlockedContent out;
            return DocumentUnlock::decrypt(stored, kPassword, defaultLabels(), plainHooks(), out) == DocumentUnlock::kContentDamaged;
        };
    };
    const std::vector<Row> rows{
        {"records", unlockDamaged(withPlaintext(&EncryptedValues::records, copies(record, 1'000'000)))},
        {"categories", unlockDamaged(withPlaintext(&EncryptedValues::categories, copies(category, 1'000'000)))},
        {"captions", unlockDamaged(withPlaintext(&EncryptedValues::labels, KeyedArchiver::archivedDataWithRootObject(Value(captions))))},
        {"old records", [&] {
             StoredDocument stored;
             return DocumentFile::read(legacyFile, stored) == DocumentFile::ReadResult::NotADocument;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runBounded(qint64(1) << 30, 60, row.refused), 1);
    }
}

TEST(DocumentUnlock, AWrongPasswordThenTheRightOneUnlocks)
{
    const StoredDocument stored = storedFrom(writtenFile(sampleContent(5)));
    UnlockedContent out;
    EXPECT_NE(DocumentUnlock::decrypt(stored, QStringLiteral("not it"), defaultLabels(), plainHooks(), out), 0);
    ASSERT_EQ(DocumentUnlock::decrypt(stored, kPassword, defaultLabels(), plainHooks(), out), 0);
    EXPECT_EQ(out.records->count(), 5);
    EXPECT_EQ(namesOf(out.records), (QStringList{"Group 1", "Group 2", "Group 3", "Group 1", "Group 2"}));
    EXPECT_EQ(countsOf(out.categories), (QList<int>{2, 2, 1}));
    EXPECT_EQ(out.creationDate.dateValue(), 699999999.75);
    EXPECT_EQ(out.records->objectAtIndex(4).valueForKey(QStringLiteral("addressWork")).stringValue(),
              QStringLiteral("Zoë Müller, Hauptstraße 4"));
    // The engine stays with the typed password and the stored salt and vector.
    ASSERT_TRUE(out.engine);
    EXPECT_EQ(out.engine->password(), kPassword);
    EXPECT_EQ(out.engine->salt(), stored.encrypted.salt);
    EXPECT_EQ(out.engine->IV(), stored.encrypted.IV);
}

TEST(DocumentUnlock, RelinksRecordsByCategoryIdentifierAndRecounts)
{
    struct Row {
        const char* name;
        std::vector<std::optional<qint64>> categoryIDs; // nullopt: no "cat_uniqueID" key
        std::vector<std::optional<qint64>> recordIDs;
        QList<int> links; // category index of each record
        QList<int> counts;
    };
    const Row rows[] = {
        {"matching identifiers", {1, 2, 3}, {3, 1, 3}, {2, 0, 2}, {1, 0, 2}},
        {"no match goes to the first", {4, 3}, {99, 3}, {0, 1}, {1, 1}},
        {"the earlier of two equal identifiers", {1, 2, 2}, {2, 2, 1}, {1, 1, 0}, {1, 2, 0}},
        {"no identifier reads as 0", {5, std::nullopt, 0}, {std::nullopt, 0}, {1, 1}, {0, 2, 0}},
        {"no identifier and no 0 category", {5, 6}, {std::nullopt}, {0}, {1, 0}},
        {"negative identifier", {-1, 2}, {-1, 2, -2}, {0, 1, 0}, {2, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ArrayRef categories = Array::create();
        for (const auto& id : row.categoryIDs) {
            const DictionaryRef c = category(QStringLiteral("c%1").arg(categories->count()), 0);
            c->setObject(Value::int32(77), QStringLiteral("cat_howManyUsingThis")); // stored counts are never trusted
            if (id)
                c->setObject(Value::int64(*id), QStringLiteral("cat_uniqueID"));
            else
                c->removeObjectForKey(QStringLiteral("cat_uniqueID"));
            categories->addObject(Value(c));
        }
        const ArrayRef records = Array::create();
        for (const auto& id : row.recordIDs) {
            const DictionaryRef r = record(QStringLiteral("r"), QString(), {});
            if (id)
                r->setObject(Value::int64(*id), QStringLiteral("cat_uniqueID"));
            records->addObject(Value(r));
        }
        DocumentUnlock::restoreFromSaveOperationContent(records, categories, {});
        for (int i = 0; i < records->count(); ++i) {
            const Value link = records->objectAtIndex(i).valueForKey(QStringLiteral("categoryPtr"));
            EXPECT_TRUE(link == categories->objectAtIndex(row.links[i])) << "record " << i;
        }
        EXPECT_EQ(countsOf(categories), row.counts);
        EXPECT_EQ(categories->objectAtIndex(0).valueForKey(QStringLiteral("cat_howManyUsingThis")).kind(),
                  Value::Kind::Int32);
    }
}

TEST(DocumentUnlock, AnEmptyCategoryListGetsOneNewCategoryForEveryRecord)
{
    DocumentContent content = sampleContent(4);
    content.categories = Array::create();
    const StoredDocument stored = storedFrom(writtenFile(content));
    UnlockHooks hooks = plainHooks();
    int made = 0;
    hooks.newCategory = [&made] {
        ++made;
        return category(QStringLiteral("Generic 1"), 2);
    };
    UnlockedContent out;
    ASSERT_EQ(DocumentUnlock::decrypt(stored, kPassword, defaultLabels(), hooks, out), 0);
    EXPECT_EQ(made, 1);
    ASSERT_EQ(out.categories->count(), 1);
    EXPECT_EQ(namesOf(out.records), QStringList(4, QStringLiteral("Generic 1")));
    EXPECT_EQ(countsOf(out.categories), QList<int>{4});
}

TEST(DocumentUnlock, ResetsTheCaptionFlagsOfTheEarlyAESVersionsOnly)
{
    DocumentContent content = sampleContent();
    // Every flag the opposite of its default.
    for (int i = 1; i <= 15; ++i)
        content.labels->setObject(Value::boolean(!(i == 7 || i == 8 || i == 13 || i == 14)),
                                  QStringLiteral("open%1").arg(i, 2, 10, QLatin1Char('0')));
    content.labels->setObject(Value("Handy:"), QStringLiteral("mobile"));
    const QByteArray file = writtenFile(content);

    for (quint64 version : {30100u, 30200u, 30300u, 30301u, 30302u, 30500u, 30600u}) {
        SCOPED_TRACE(version);
        StoredDocument stored = storedFrom(file);
        stored.version = version;
        UnlockedContent out;
        ASSERT_EQ(DocumentUnlock::decrypt(stored, kPassword, defaultLabels(), plainHooks(), out), 0);
        const bool reset = DocumentFile::isFlagResetVersion(version);
        EXPECT_EQ(out.labels->objectForKey(QStringLiteral("open07")).boolValue(), reset);
        EXPECT_EQ(out.labels->objectForKey(QStringLiteral("open14")).boolValue(), reset);
        EXPECT_EQ(out.labels->objectForKey(QStringLiteral("open01")).boolValue(), !reset);
        EXPECT_EQ(out.labels->objectForKey(QStringLiteral("mobile")).stringValue(), QStringLiteral("Handy:"));
    }
}

TEST(DocumentUnlock, ALockedSaveStillUnlocksWithTheSameContent)
{
    const QByteArray file = writtenFile(sampleContent(4));
    const StoredDocument stored = storedFrom(file);
    QByteArray lockedSave;
    ASSERT_TRUE(DocumentFile::archiveRoot(stored.encrypted, {}, lockedSave));
    UnlockedContent first, second;
    ASSERT_EQ(DocumentUnlock::decrypt(stored, kPassword, defaultLabels(), plainHooks(), first), 0);
    ASSERT_EQ(DocumentUnlock::decrypt(storedFrom(lockedSave), kPassword, defaultLabels(), plainHooks(), second), 0);
    ASSERT_EQ(second.records->count(), 4);
    for (int i = 0; i < 4; ++i) {
        DictionaryRef a = first.records->objectAtIndex(i).dictionary()->mutableCopy();
        DictionaryRef b = second.records->objectAtIndex(i).dictionary()->mutableCopy();
        a->removeObjectForKey(QStringLiteral("categoryPtr"));
        b->removeObjectForKey(QStringLiteral("categoryPtr"));
        EXPECT_TRUE(a->isEqualToDictionary(*b));
    }
}

TEST(DocumentUnlock, AnUnparsedOldDateSurvivesASaveAndAnUnlock)
{
    DocumentContent content = sampleContent();
    content.creationDate = Value();
    UnlockedContent out;
    ASSERT_EQ(DocumentUnlock::decrypt(storedFrom(writtenFile(content)), kPassword, defaultLabels(), plainHooks(), out), 0);
    EXPECT_TRUE(out.creationDate.isNull());
}
