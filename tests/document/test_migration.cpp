// Reading and unlocking a document of every version against the fixtures (written
// by an independent generator), and the edge cases of migrating old documents.
#include "test_file_support.h"

#include "document/LegacyMigration.h"
#include "encryption/QvCrypto.h"
#include "platform/Clock.h"

#include <QJsonArray>
#include <QSet>
#include <QtEndian>
#include <QTimeZone>

using namespace filetest;

namespace {

const QDateTime kNow(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC);

void expectDictionary(const DictionaryRef& actual, const QJsonObject& expected, const QSet<QString>& notCompared,
                      const std::string& what)
{
    ASSERT_TRUE(actual) << what;
    const QStringList actualKeys = actual->allKeys();
    QSet<QString> keys(actualKeys.begin(), actualKeys.end());
    keys.remove(QStringLiteral("categoryPtr"));
    keys -= notCompared;
    const QStringList expectedKeys = expected.keys();
    QSet<QString> wanted(expectedKeys.begin(), expectedKeys.end());
    wanted -= notCompared;
    QStringList have(keys.begin(), keys.end()), want(wanted.begin(), wanted.end());
    have.sort();
    want.sort();
    EXPECT_EQ(have.join(' ').toStdString(), want.join(' ').toStdString()) << what;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (notCompared.contains(it.key()))
            continue;
        QString why;
        EXPECT_TRUE(matchesJson(actual->objectForKey(it.key()), it.value(), &why))
            << what << " " << it.key().toStdString() << ": " << why.toStdString();
    }
}

// `linkOnly`: the records' own "cat_uniqueID" is not compared, only the category
// they link to (migrated records of 1000 and 1100, and every record once saved,
// which the writer gives the identifier of its category).
void expectUnlockedContent(const UnlockedContent& out, const QJsonObject& expected, bool linkOnly,
                           const std::string& name)
{
    const QSet<QString> extra = linkOnly ? QSet<QString>{QStringLiteral("cat_uniqueID")} : QSet<QString>{};
    const QJsonArray records = expected.value(QStringLiteral("records")).toArray();
    ASSERT_EQ(out.records->count(), records.size()) << name;
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject want = records[i].toObject();
        const DictionaryRef record = out.records->objectAtIndex(i).dictionary();
        const std::string what = name + " record " + std::to_string(i);
        expectDictionary(record, want.value(QStringLiteral("fields")).toObject(), extra, what);
        const Value link = record->objectForKey(QStringLiteral("categoryPtr"));
        EXPECT_TRUE(out.categories->indexOfObjectIdenticalTo(link) >= 0) << what;
        EXPECT_EQ(link.valueForKey(QStringLiteral("cat_category")).stringValue(),
                  want.value(QStringLiteral("categoryName")).toString())
            << what;
        EXPECT_EQ(link.valueForKey(QStringLiteral("cat_uniqueID")).longLongValue(),
                  want.value(QStringLiteral("categoryUniqueID")).toInteger())
            << what;
    }
    const QJsonArray categories = expected.value(QStringLiteral("categories")).toArray();
    ASSERT_EQ(out.categories->count(), categories.size()) << name;
    for (int i = 0; i < categories.size(); ++i)
        expectDictionary(out.categories->objectAtIndex(i).dictionary(), categories[i].toObject(), {},
                         name + " category " + std::to_string(i));
    expectDictionary(out.labels, expected.value(QStringLiteral("labels")).toObject(), {}, name + " labels");
    const QJsonValue date = expected.value(QStringLiteral("creationDate"));
    if (date.isString())
        EXPECT_EQ(out.creationDate.toDateTime(), kNow) << name << ": the moment of the unlock";
    else
        EXPECT_EQ(out.creationDate.dateValue(), date.toDouble()) << name;
}

int unlock(const StoredDocument& stored, const QString& password, UnlockedContent& out)
{
    return DocumentUnlock::decrypt(stored, password, defaultLabels(), plainHooks(), out);
}

} // namespace

TEST(DocumentFixtures, EveryVersionReadsAndUnlocksAsExpected)
{
    FixedClock clock(kNow);
    const QJsonObject all = expectations();
    ASSERT_GE(all.size(), 14);
    for (auto it = all.begin(); it != all.end(); ++it) {
        const std::string name = it.key().toStdString();
        SCOPED_TRACE(name);
        const QJsonObject expected = it.value().toObject();
        const QJsonObject read = expected.value(QStringLiteral("read")).toObject();

        StoredDocument stored;
        const DocumentFile::ReadResult result = DocumentFile::read(fixture(it.key()), stored);
        if (!read.value(QStringLiteral("accepted")).toBool()) {
            EXPECT_EQ(result, DocumentFile::ReadResult::NewerVersion);
            continue;
        }
        ASSERT_EQ(result, DocumentFile::ReadResult::Read);
        EXPECT_EQ(stored.canSave, read.value(QStringLiteral("canSaveWhileLocked")).toBool());
        const QJsonValue window = read.value(QStringLiteral("window"));
        EXPECT_EQ(stored.windowState.has_value(), !window.isNull());
        if (stored.windowState) {
            const QJsonObject frame = window.toObject();
            EXPECT_EQ(stored.windowState->frame,
                      (StoredFrame{frame.value("x").toDouble(), frame.value("y").toDouble(),
                                   frame.value("width").toDouble(), frame.value("height").toDouble()}));
        }
        const bool toolbar = stored.windowState ? stored.windowState->makeToolbarVisibleAtDecrypt : true;
        EXPECT_EQ(toolbar, read.value(QStringLiteral("toolbarVisibleAtUnlock")).toBool());

        // A wrong password first: it gives nothing, and the right one works after it.
        const QJsonObject wrong = expected.value(QStringLiteral("wrongPassword")).toObject();
        UnlockedContent out;
        const int wrongResult = unlock(stored, wrong.value(QStringLiteral("password")).toString(), out);
        if (wrong.value(QStringLiteral("result")).isString())
            EXPECT_NE(wrongResult, 0);
        else
            EXPECT_EQ(wrongResult, wrong.value(QStringLiteral("result")).toInt());
        EXPECT_FALSE(out.records);

        const int expectedResult = expected.value(QStringLiteral("unlock")).toObject().value(QStringLiteral("result")).toInt();
        ASSERT_EQ(unlock(stored, expected.value(QStringLiteral("password")).toString(), out), expectedResult);
        if (expectedResult != 0) {
            EXPECT_FALSE(out.records);
            continue;
        }
        expectUnlockedContent(out, expected, stored.version == 1000 || stored.version == 1100, name);
        EXPECT_EQ(bool(out.engine), !stored.isLegacy()) << "old formats get their engine at the first save";

        for (const QJsonValue other : expected.value(QStringLiteral("alsoOpensWith")).toArray()) {
            UnlockedContent again;
            EXPECT_EQ(unlock(stored, other.toString(), again), 0) << other.toString().toStdString();
        }
    }
}

TEST(DocumentFixtures, AMigratedDocumentSavesInTheCurrentFormatAndKeepsItsContent)
{
    FixedClock clock(kNow);
    const QJsonObject all = expectations();
    for (const char* name : {"v1000.calvorin", "v1100.calvorin", "v20302.calvorin", "v30000.calvorin", "v30100.calvorin"}) {
        SCOPED_TRACE(name);
        const QJsonObject expected = all.value(QLatin1String(name)).toObject();
        StoredDocument stored;
        ASSERT_EQ(DocumentFile::read(fixture(QLatin1String(name)), stored), DocumentFile::ReadResult::Read);
        UnlockedContent out;
        ASSERT_EQ(unlock(stored, expected.value(QStringLiteral("password")).toString(), out), 0);

        const DocumentContent content{out.records, out.categories, out.labels, out.creationDate};
        const QByteArray saved = writtenFile(content, QStringLiteral("new password"));
        StoredDocument again;
        ASSERT_EQ(DocumentFile::read(saved, again), DocumentFile::ReadResult::Read);
        EXPECT_EQ(again.version, 30600u);
        EXPECT_TRUE(again.canSave);
        UnlockedContent reopened;
        ASSERT_EQ(unlock(again, QStringLiteral("new password"), reopened), 0);
        expectUnlockedContent(reopened, expected, true, name);
    }
}

// ---- migration edge cases, on documents made here with the Blowfish engine -------------

namespace {

class OldDocument {
public:
    OldDocument(quint64 version, const QString& password)
        : m_engine(legacyDocumentVector(), password)
    {
        m_stored.version = version;
        m_stored.legacyRecords = Array::create();
        m_stored.legacyCategories = Array::create();
    }

    DictionaryRef fields(std::initializer_list<std::pair<const char*, QByteArray>> plain)
    {
        const DictionaryRef d = Dictionary::create();
        for (const auto& [key, bytes] : plain)
            d->setObject(Value::data(bytes.isEmpty() ? QByteArray() : m_engine.cryptData(bytes)), QLatin1String(key));
        return d;
    }
    void addRecord(std::initializer_list<std::pair<const char*, QByteArray>> plain)
    {
        m_stored.legacyRecords->addObject(Value(fields(plain)));
    }
    void addCategory(std::initializer_list<std::pair<const char*, QByteArray>> plain)
    {
        m_stored.legacyCategories->addObject(Value(fields(plain)));
    }
    void setDate(const QByteArray& text) { m_stored.legacyCreationDate = m_engine.cryptData(text); }

    const StoredDocument& stored() const { return m_stored; }

private:
    QvCrypto m_engine;
    StoredDocument m_stored;
};

QByteArray int32Bytes(qint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace

TEST(LegacyMigration, DocumentsWithNothingEncryptedOpenWithAnyPassword)
{
    FixedClock clock(kNow);
    for (quint64 version : {1000u, 1100u, 20302u}) {
        for (const QString& password : {QStringLiteral("anything"), QStringLiteral("日本語")}) {
            SCOPED_TRACE(version);
            OldDocument old(version, QStringLiteral("the real one"));
            UnlockedContent out;
            ASSERT_EQ(unlock(old.stored(), password, out), 0);
            EXPECT_EQ(out.records->count(), 0);
            // Relinking gives the document its one category.
            EXPECT_EQ(out.categories->count(), 1);
            EXPECT_EQ(out.creationDate.isNull(), version != 1000) << "no date text: no date";
        }
    }
}

TEST(LegacyMigration, AFailureLateInTheDocumentGivesNothing)
{
    OldDocument old(20302, QStringLiteral("password1"));
    old.setDate("2005-06-17 08:45:30 GMT");
    old.addRecord({{"firstName", "Ann"}, {"cat_uniqueID", int32Bytes(1)}});
    old.addCategory({{"cat_category", "Work"}, {"cat_uniqueID", QByteArray("\x01\x00", 2)}});
    UnlockedContent out;
    out.labels = Dictionary::create();
    const DictionaryRef labelsBefore = out.labels;
    EXPECT_EQ(unlock(old.stored(), QStringLiteral("password1"), out), QvCrypto::FinalFailed);
    EXPECT_TRUE(out.labels == Value(labelsBefore));
    EXPECT_FALSE(out.records);
    EXPECT_TRUE(out.creationDate.isNull());
}

TEST(LegacyMigration, RecordsOfTheFirstVersionsFollowTheirCategoryName)
{
    OldDocument old(1100, QStringLiteral("password1"));
    old.addCategory({{"cat_category", "Friends"}});
    old.addCategory({{"cat_category", "Work"}});
    old.addCategory({{"cat_category", "Work"}});
    old.addRecord({{"category", "Work"}, {"firstName", "A"}});
    old.addRecord({{"category", "work"}, {"firstName", "B"}});
    old.addRecord({{"category", "Nowhere"}, {"firstName", "C"}});
    old.addRecord({{"firstName", "D"}});
    UnlockedContent out;
    ASSERT_EQ(unlock(old.stored(), QStringLiteral("password1"), out), 0);
    QStringList names;
    for (const Value& r : *out.records)
        names << r.valueForKeyPath(QStringLiteral("categoryPtr.cat_category")).stringValue();
    EXPECT_EQ(names, (QStringList{"Work", "Friends", "Friends", "Friends"}));
    EXPECT_TRUE(out.records->objectAtIndex(0).valueForKey("categoryPtr") == out.categories->objectAtIndex(1));
    EXPECT_EQ(out.records->objectAtIndex(1).valueForKey("category").stringValue(), QStringLiteral("work"));
}

TEST(LegacyMigration, ParsesTheOldDateTexts)
{
    const auto at = [](int y, int mo, int d, int h, int mi, int s, int offsetMinutes) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone(offsetMinutes * 60));
    };
    struct Row {
        const char* text;
        std::optional<QDateTime> moment;
    };
    const Row rows[] = {
        {"2003-11-05 21:15:00 GMT+01:00", at(2003, 11, 5, 21, 15, 0, 60)},
        {"2005-06-17 18:45:30 GMT-05:00", at(2005, 6, 17, 18, 45, 30, -300)},
        {"2006-01-20 07:30:00 GMT", at(2006, 1, 20, 7, 30, 0, 0)},
        {"2006-01-20 00:30:00 UTC", at(2006, 1, 20, 0, 30, 0, 0)},
        {"2006-01-20 12:00:00 GMT+1", at(2006, 1, 20, 12, 0, 0, 60)},
        {"2006-01-20 23:59:59 +0530", at(2006, 1, 20, 23, 59, 59, 330)},
        {"2006-01-20 10:00:00 CET", at(2006, 1, 20, 10, 0, 0, 60)},
        {"2006-07-20 10:00:00 PDT", at(2006, 7, 20, 10, 0, 0, -420)},
        {"2006-7-2 9:00:00 GMT", at(2006, 7, 2, 9, 0, 0, 0)},
        {"2006-01-20 24:00:00 GMT", std::nullopt},
        {"2006-02-30 10:00:00 GMT", std::nullopt},
        {"2006-01-20 10:00:00", std::nullopt},
        {"2006-01-20 10:00:00 GMT+25:00", std::nullopt},
        {"2006-01-20 10:00:00 Nowhere", std::nullopt},
        {"20 January 2006", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::optional<QDateTime> parsed = LegacyMigration::parseOldDate(QLatin1String(row.text));
        ASSERT_EQ(parsed.has_value(), row.moment.has_value());
        if (parsed)
            EXPECT_EQ(parsed->toMSecsSinceEpoch(), row.moment->toMSecsSinceEpoch());
    }
    const std::optional<QDateTime> named = LegacyMigration::parseOldDate(QStringLiteral("2006-07-20 10:00:00 Europe/Rome"));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->toMSecsSinceEpoch(), at(2006, 7, 20, 8, 0, 0, 0).toMSecsSinceEpoch());
}
