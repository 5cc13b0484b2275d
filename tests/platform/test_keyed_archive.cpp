#include "platform/KeyedArchive.h"
#include "platform/PropertyList.h"

#include "common/BoundedRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/resource.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr quint64 kUInt64Max = std::numeric_limits<quint64>::max();

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QString sharedFixture(const QString& name) { return QStringLiteral(CALVORIN_SHARED_FIXTURES "/keyed-archive/") + name; }

const QString kWriterSample = QStringLiteral(CALVORIN_TEST_FIXTURES "/keyed-archive/writer-sample.bplist");

Value unarchiveOrFail(const QByteArray& data)
{
    QString error;
    Value v;
    EXPECT_TRUE(KeyedUnarchiver::unarchive(data, v, &error)) << error.toStdString();
    return v;
}

Value roundTrip(const Value& v)
{
    QString error;
    QByteArray data;
    EXPECT_TRUE(KeyedArchiver::archive(v, data, &error)) << error.toStdString();
    return unarchiveOrFail(data);
}

// A property list in which {"CF$UID": n} stands for a reference: the shape of
// hand-made archives below.
Value uid(qint64 n) { return Value(Dictionary::create({{"CF$UID", Value::int64(n)}})); }

QByteArray plistBytes(const Value& v)
{
    QString error;
    QByteArray out;
    EXPECT_TRUE(PropertyList::write(v, PropertyList::Format::Binary, out, &error)) << error.toStdString();
    return out;
}

ArrayRef strings(std::initializer_list<const char*> texts)
{
    ArrayRef a = Array::create();
    for (const char* t : texts)
        a->addObject(Value(t));
    return a;
}

Value classRecord(const char* name)
{
    return Value(Dictionary::create({{"$classes", Value(strings({name, "NSObject"}))}, {"$classname", Value(name)}}));
}

// An archive around a hand-made object table.
QByteArray archiveWithObjects(ArrayRef objects, Value root = uid(1))
{
    return plistBytes(Value(Dictionary::create({{"$archiver", Value("NSKeyedArchiver")},
                                                {"$version", Value::int64(100000)},
                                                {"$top", Value(Dictionary::create({{"root", root}}))},
                                                {"$objects", Value(objects)}})));
}

// Every kind the archive carries, with the extremes that break naive code.
Value writerSample()
{
    DictionaryRef category = Dictionary::create({{"cat_category", Value("Friends")},
                                                 {"cat_uniqueID", Value::int64(1)},
                                                 {"cat_backColor", Value(ArchivedColor::rgb(0.75, 0.75, 0.75))}});
    auto named = std::make_shared<ArchivedColor>();
    named->colorSpace = 6;
    named->catalogName = "System";
    named->colorName = "textColor";
    named->fallback = ArchivedColor::white(0, 1, 4);
    auto cmyk = std::make_shared<ArchivedColor>();
    cmyk->colorSpace = 5;
    cmyk->components = {0.1, 0.2, 0.3, 0.4, 0.5};
    auto components = std::make_shared<ArchivedColor>();
    components->colorSpace = 7;
    components->components = {0.25, 0.5, 1, 1};

    ArrayRef list = Array::create({Value("baa"), Value("baa"), Value(), Value(category), Value(category)});
    return Value(Dictionary::create({
        {"ascii", Value("Ada Lovelace")},
        {"latin", Value(QString::fromUtf8("Zoë Brontë – Ærø"))},
        {"astral", Value(QString::fromUtf8("\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E"))},
        {"empty", Value("")},
        {"true", Value::boolean(true)},
        {"false", Value::boolean(false)},
        {"zero", Value::int64(0)},
        {"minusOne", Value::int64(-1)},
        {"int64Min", Value::int64(kInt64Min)},
        {"int64Max", Value::int64(kInt64Max)},
        {"uint64Max", Value::uint64(kUInt64Max)},
        {"twoTo63", Value::uint64(1ULL << 63)},
        {"tenth", Value::real(0.1)},
        {"negativeZero", Value::real(-0.0)},
        {"denormal", Value::real(5e-324)},
        {"huge", Value::real(1.7976931348623157e308)},
        {"date", Value::date(123456789.123456789)},
        {"oldDate", Value::date(-3187296000.5)},
        {"bytes", Value::data(QByteArray("\x00\x01\xFE\xFF", 4))},
        {"noBytes", Value::data(QByteArray())},
        {"list", Value(list)},
        {"category", Value(category)},
        {"white", Value(ArchivedColor::white(1, 0.5))},
        {"cmyk", Value(ColorRef(cmyk))},
        {"named", Value(ColorRef(named))},
        {"components", Value(ColorRef(components))},
    }));
}

// ---------------------------------------------------------------------------
// Archives written by the platform itself

TEST(KeyedArchiveSamples, XmlArrayWithASharedString)
{
    const Value root = unarchiveOrFail(readFile(sharedFixture("array-xml.plist")));
    ASSERT_TRUE(root.isArray());
    const ArrayRef a = root.array();
    ASSERT_EQ(a->count(), 4);
    const QStringList expected{"baa", "baa", "black", "sheep"};
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_EQ(a->objectAtIndex(i).stringValue(), expected[i]);
}

TEST(KeyedArchiveSamples, ForeignClassesAreRefused)
{
    const QByteArray data = readFile(sharedFixture("complex-binary.plist"));
    ASSERT_FALSE(data.isEmpty());
    QString error;
    Value root;
    EXPECT_FALSE(KeyedUnarchiver::unarchive(data, root, &error));
    EXPECT_TRUE(root.isNull());
    EXPECT_TRUE(error.contains("NSURL")) << error.toStdString();

    // Without the URL and UUID entries the rest of the same archive reads in
    // full: the nested array, its NSNull, number and dictionary.
    Value plist = PropertyList::propertyListWithData(data);
    const DictionaryRef rootObject = plist.valueForKey("$objects").array()->objectAtIndex(1).dictionary();
    ASSERT_TRUE(rootObject);
    for (const char* key : {"NS.keys", "NS.objects"}) {
        ArrayRef refs = rootObject->objectForKey(key).array();
        refs->removeObjectAtIndex(3);
        refs->removeObjectAtIndex(2);
    }
    root = unarchiveOrFail(plistBytes(plist));
    ASSERT_TRUE(root.isDictionary());
    EXPECT_EQ(root.dictionary()->allKeys(), QStringList({"array", "string"}));
    EXPECT_EQ(root.valueForKey("string").stringValue(), "hello");
    const ArrayRef array = root.valueForKey("array").array();
    ASSERT_TRUE(array);
    ASSERT_EQ(array->count(), 4);
    EXPECT_TRUE(array->objectAtIndex(0).isNull());
    EXPECT_EQ(array->objectAtIndex(1).stringValue(), "hello");
    EXPECT_EQ(array->objectAtIndex(2).kind(), Value::Kind::Int64);
    EXPECT_EQ(array->objectAtIndex(2).intValue(), 34545);
    EXPECT_EQ(array->objectAtIndex(3).valueForKey("key").stringValue(), "val");
}

TEST(KeyedArchiveSamples, ColoursDecodeToTheirSpaceAndComponents)
{
    const QJsonArray expected = QJsonDocument::fromJson(readFile(sharedFixture("colors-expected.json"))).array();
    ASSERT_EQ(expected.size(), 8);
    for (const QJsonValue& entry : expected) {
        const QJsonObject e = entry.toObject();
        SCOPED_TRACE(e["file"].toString().toStdString());
        const Value v = unarchiveOrFail(readFile(sharedFixture(e["file"].toString())));
        ASSERT_TRUE(v.isColor());
        const ColorRef c = v.color();
        EXPECT_EQ(c->colorSpace, e["NSColorSpace"].toInt());
        const QJsonArray components = e["components"].toArray();
        ASSERT_EQ(c->components.size(), std::size_t(components.size() + 1));
        for (qsizetype i = 0; i < components.size(); ++i)
            EXPECT_EQ(c->components[std::size_t(i)], components[i].toDouble());
        EXPECT_EQ(c->components.back(), 1.0);
    }
}

TEST(KeyedArchiveSamples, ArchivesOfAnIndependentWriter)
{
    // Written by Python's plistlib (make_fuzz_seeds.py); also the fuzz seeds.
    const QString dir = QStringLiteral(CALVORIN_SOURCE_DIR "/fuzz/corpus/fuzz_platform_keyed_archive/");
    const QStringList files = QDir(dir).entryList(QDir::Files);
    ASSERT_GE(files.size(), 10);
    for (const QString& f : files) {
        SCOPED_TRACE(f.toStdString());
        unarchiveOrFail(readFile(dir + f));
    }
    const Value v = unarchiveOrFail(readFile(dir + "every-kind.bplist"));
    EXPECT_EQ(v.dictionary()->allKeys(), QStringList({"int", "real", "flag", "bytes", "when", "text", "blob"}));
    EXPECT_EQ(v.valueForKey("int").longLongValue(), kInt64Min);
    EXPECT_EQ(v.valueForKey("real").kind(), Value::Kind::Real);
    EXPECT_EQ(v.valueForKey("flag").kind(), Value::Kind::Bool);
    EXPECT_EQ(v.valueForKey("bytes").dataValue(), QByteArray("\x00\xFF", 2));
    EXPECT_EQ(v.valueForKey("when").dateValue(), 123456789.5);
    EXPECT_EQ(v.valueForKey("text").stringValue(), "mutable"); // NSMutableString
    EXPECT_EQ(v.valueForKey("blob").dataValue(), "mutable bytes"); // NSMutableData
    const ColorRef named = unarchiveOrFail(readFile(dir + "color-named.bplist")).color();
    ASSERT_TRUE(named && named->fallback);
    EXPECT_EQ(named->colorName, "textColor");
    EXPECT_EQ(named->fallback->components, std::vector<double>({0, 1}));
    EXPECT_EQ(unarchiveOrFail(readFile(dir + "color-cmyk.bplist")).color()->components,
              std::vector<double>({0.1, 0.2, 0.3, 0.4, 1}));
}

// ---------------------------------------------------------------------------
// Round trips

TEST(KeyedArchiveRoundTrip, EveryKindComesBackExactly)
{
    const Value original = writerSample();
    const Value back = roundTrip(original);
    ASSERT_TRUE(back.isDictionary());
    EXPECT_EQ(back.dictionary()->allKeys(), original.dictionary()->allKeys());
    EXPECT_TRUE(back.isEqual(original));

    const auto kindOf = [&](const char* key) { return back.valueForKey(key).kind(); };
    EXPECT_EQ(kindOf("true"), Value::Kind::Bool);
    EXPECT_EQ(kindOf("zero"), Value::Kind::Int64);
    EXPECT_EQ(kindOf("tenth"), Value::Kind::Real);
    EXPECT_EQ(kindOf("date"), Value::Kind::Date);
    EXPECT_EQ(kindOf("uint64Max"), Value::Kind::UInt64);
    EXPECT_EQ(kindOf("twoTo63"), Value::Kind::UInt64);
    EXPECT_EQ(back.valueForKey("int64Min").longLongValue(), kInt64Min);
    EXPECT_EQ(back.valueForKey("int64Max").longLongValue(), kInt64Max);
    EXPECT_EQ(back.valueForKey("uint64Max").unsignedLongLongValue(), kUInt64Max);
    EXPECT_EQ(back.valueForKey("minusOne").longLongValue(), -1);
    // Bits, not just values: the sign of zero, the smallest denormal, dates.
    for (const char* key : {"tenth", "negativeZero", "denormal", "huge"})
        EXPECT_EQ(std::bit_cast<quint64>(back.valueForKey(key).doubleValue()),
                  std::bit_cast<quint64>(original.valueForKey(key).doubleValue()))
            << key;
    for (const char* key : {"date", "oldDate"})
        EXPECT_EQ(std::bit_cast<quint64>(back.valueForKey(key).dateValue()),
                  std::bit_cast<quint64>(original.valueForKey(key).dateValue()))
            << key;
    EXPECT_EQ(back.valueForKey("astral").stringValue().size(), 5);
    EXPECT_TRUE(back.valueForKey("empty").isString());
    EXPECT_TRUE(back.valueForKey("noBytes").isData());
    EXPECT_TRUE(back.valueForKey("noBytes").dataValue().isEmpty());

    // One category object, wherever it was referred to.
    const Value category = back.valueForKey("category");
    const ArrayRef list = back.valueForKey("list").array();
    EXPECT_TRUE(list->objectAtIndex(3) == category);
    EXPECT_TRUE(list->objectAtIndex(4) == category);
    EXPECT_TRUE(list->objectAtIndex(2).isNull());
    EXPECT_EQ(back.valueForKeyPath("category.cat_backColor").color()->components, std::vector<double>({0.75, 0.75, 0.75, 1}));
    const ColorRef named = back.valueForKey("named").color();
    EXPECT_EQ(named->catalogName, "System");
    EXPECT_EQ(named->colorName, "textColor");
    ASSERT_TRUE(named->fallback);
    EXPECT_EQ(named->fallback->colorSpace, 4);
}

// Strings met again in other copies of their text, among thousands of
// objects of every encoded length, in an array of records long enough for
// the writer to encode its collections as it goes: each string is stored
// once, and every value reads back as it was.
TEST(KeyedArchiveRoundTrip, EqualStringsInSeparateCopiesAreStoredOnce)
{
    QStringList texts;
    for (int i = 0; i < 9000; ++i) {
        QString t = QString(i % 40, QLatin1Char('a' + i % 26)) + QString::number(i);
        if (i % 7 == 0)
            t += QStringLiteral("\u00e9\u4e2d"); // UTF-16 in the archive
        texts << t;
    }
    ArrayRef all = Array::create();
    for (int pass = 0; pass < 2; ++pass) {
        for (const QString& t : texts) {
            // A new copy of the text each time, not a shared one.
            all->addObject(Value(Dictionary::create({{"text", Value(QString(t.constData(), t.size()))},
                                                     {"number", Value::int64(t.size())}})));
        }
    }
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(Value(all));
    const ArrayRef objects = PropertyList::propertyListWithData(data).valueForKey("$objects").array();
    ASSERT_TRUE(objects);
    QHash<QString, int> stored;
    for (const Value& o : *objects) {
        if (o.isString())
            ++stored[o.stringValue()];
    }
    for (const QString& t : texts)
        EXPECT_EQ(stored.value(t), 1) << t.toStdString();

    const ArrayRef back = unarchiveOrFail(data).array();
    ASSERT_TRUE(back);
    ASSERT_EQ(back->count(), 2 * texts.size());
    for (qsizetype i = 0; i < back->count(); ++i) {
        const QString& t = texts[i % texts.size()];
        EXPECT_EQ(back->objectAtIndex(i).valueForKey("text").stringValue(), t);
        EXPECT_EQ(back->objectAtIndex(i).valueForKey("number").longLongValue(), t.size());
    }
}

TEST(KeyedArchiveRoundTrip, RecordsWithTheSameKeysStayIndependent)
{
    ArrayRef records = Array::create();
    for (const char* name : {"Ada", "Bob", "Cy"})
        records->addObject(Value(Dictionary::create({{"firstName", Value(name)}, {"lastName", Value("")}, {"note", Value("")}})));
    const ArrayRef back = roundTrip(Value(records)).array();
    ASSERT_EQ(back->count(), 3);
    const DictionaryRef first = back->objectAtIndex(0).dictionary();
    first->setObject(Value("x"), "company");
    first->removeObjectForKey("note");
    first->setObject(Value("Ann"), "firstName");
    EXPECT_EQ(first->allKeys(), QStringList({"firstName", "lastName", "company"}));
    for (qsizetype i = 1; i < 3; ++i) {
        const DictionaryRef d = back->objectAtIndex(i).dictionary();
        EXPECT_EQ(d->allKeys(), QStringList({"firstName", "lastName", "note"}));
        EXPECT_EQ(d->objectForKey("firstName").stringValue(), i == 1 ? "Bob" : "Cy");
    }
}

TEST(KeyedArchiveRoundTrip, DictionariesOfManySetsOfKeysKeepTheirOwn)
{
    // More sets of keys than the reader remembers, each met again later, once
    // in the same order and once reversed: every dictionary gets its own keys.
    ArrayRef records = Array::create();
    for (int i = 0; i < 200; ++i) {
        const int set = i % 90, count = set % 7 + 1, first = set / 7;
        const bool reversed = (i / 90) % 2 == 1;
        DictionaryRef d = Dictionary::create();
        for (int k = 0; k < count; ++k) {
            const int key = first + (reversed ? count - 1 - k : k);
            d->setObject(Value(QStringLiteral("%1.%2").arg(i).arg(key)), QStringLiteral("key%1").arg(key));
        }
        records->addObject(Value(d));
    }
    const ArrayRef back = roundTrip(Value(records)).array();
    ASSERT_EQ(back->count(), records->count());
    for (qsizetype i = 0; i < records->count(); ++i) {
        const DictionaryRef original = records->objectAtIndex(i).dictionary();
        const DictionaryRef read = back->objectAtIndex(i).dictionary();
        ASSERT_TRUE(read) << i;
        EXPECT_EQ(read->allKeys(), original->allKeys()) << i;
        EXPECT_TRUE(read->isEqualToDictionary(*original)) << i;
    }
}

TEST(KeyedArchiveRoundTrip, RepeatedKeysAndNullValuesOfForeignArchives)
{
    // Two dictionaries over the same keys "k", "k", "n": the last value of a
    // repeated key holds, and an NSNull value leaves its key out.
    const auto dict = [](qint64 first, qint64 second) {
        return Value(Dictionary::create({{"NS.keys", Value(Array::create({uid(3), uid(3), uid(4)}))},
                                         {"NS.objects", Value(Array::create({uid(first), uid(second), uid(5)}))},
                                         {"$class", uid(2)}}));
    };
    ArrayRef objects = Array::create({Value("$null"),
                                      Value(Dictionary::create({{"NS.objects", Value(Array::create({uid(6), uid(7)}))},
                                                                {"$class", uid(10)}})),
                                      classRecord("NSDictionary"), Value("k"), Value("n"),
                                      Value(Dictionary::create({{"$class", uid(11)}})), dict(8, 9), dict(9, 8),
                                      Value("a"), Value("b"), classRecord("NSArray"), classRecord("NSNull")});
    const Value root = unarchiveOrFail(archiveWithObjects(objects));
    ASSERT_TRUE(root.isArray());
    const DictionaryRef first = root.array()->objectAtIndex(0).dictionary();
    const DictionaryRef second = root.array()->objectAtIndex(1).dictionary();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->allKeys(), QStringList({"k"}));
    EXPECT_EQ(first->objectForKey("k").stringValue(), "b");
    EXPECT_EQ(second->objectForKey("k").stringValue(), "a");
}

TEST(KeyedArchiveRoundTrip, NarrowIntegersReadBackAsSixtyFourBits)
{
    // The archive keeps no width: as on the platform, integers read as 64-bit.
    const Value back = roundTrip(Value::int32(-7));
    EXPECT_EQ(back.kind(), Value::Kind::Int64);
    EXPECT_EQ(back.intValue(), -7);
    EXPECT_EQ(roundTrip(Value::uint64(5)).kind(), Value::Kind::Int64);
}

TEST(KeyedArchiveRoundTrip, ScalarAndAbsentRoots)
{
    EXPECT_EQ(roundTrip(Value("only")).stringValue(), "only");
    EXPECT_EQ(roundTrip(Value::date(-0.25)).dateValue(), -0.25);
    QString error;
    Value v = Value("not replaced");
    ASSERT_TRUE(KeyedUnarchiver::unarchive(KeyedArchiver::archivedDataWithRootObject(Value()), v, &error));
    EXPECT_TRUE(v.isNull());
}

TEST(KeyedArchiveRoundTrip, WriterRefusesWhatItCouldNotReadBack)
{
    DictionaryRef loop = Dictionary::create();
    loop->setObject(Value(Array::create({Value(loop)})), "self");
    QString error;
    QByteArray out;
    EXPECT_FALSE(KeyedArchiver::archive(Value(loop), out, &error));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(error.isEmpty());
    loop->removeAllObjects();

    Value deep("leaf");
    for (int i = 0; i <= KeyedArchiver::kMaxDepth + 1; ++i)
        deep = Value(Array::create({deep}));
    EXPECT_FALSE(KeyedArchiver::archive(deep, out, &error));

    auto odd = std::make_shared<ArchivedColor>();
    odd->colorSpace = 42;
    EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(Value(ColorRef(odd))).isEmpty());
}

// ---------------------------------------------------------------------------
// What the writer produces

TEST(KeyedArchiveWriter, MatchesTheCommittedSample)
{
    const QByteArray written = KeyedArchiver::archivedDataWithRootObject(writerSample());
    if (qEnvironmentVariableIsSet("CALVORIN_WRITE_FIXTURES")) {
        QFile f(kWriterSample);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(written);
    }
    // The sample was checked with an independent reader (verify_writer_sample.py).
    EXPECT_EQ(written, readFile(kWriterSample));
}

TEST(KeyedArchiveWriter, WritesWhatThePlatformWritesForMutableObjects)
{
    const Value plist = PropertyList::propertyListWithData(KeyedArchiver::archivedDataWithRootObject(writerSample()));
    ASSERT_TRUE(plist.isDictionary());
    EXPECT_EQ(plist.valueForKey("$archiver").stringValue(), "NSKeyedArchiver");
    EXPECT_EQ(plist.valueForKey("$version").longLongValue(), 100000);
    EXPECT_EQ(plist.valueForKeyPath("$top.root.CF$UID").longLongValue(), 1);
    const ArrayRef objects = plist.valueForKey("$objects").array();
    ASSERT_TRUE(objects);
    EXPECT_EQ(objects->objectAtIndex(0).stringValue(), "$null");

    const auto resolve = [&](const Value& ref) { return objects->objectAtIndex(ref.valueForKey("CF$UID").longLongValue()); };
    const Value root = objects->objectAtIndex(1);
    EXPECT_EQ(resolve(root.valueForKey("$class")).valueForKey("$classname").stringValue(), "NSMutableDictionary");
    const Value classes = resolve(root.valueForKey("$class")).valueForKey("$classes");
    EXPECT_TRUE(classes.isEqual(Value(strings({"NSMutableDictionary", "NSDictionary", "NSObject"}))));
    ASSERT_EQ(root.valueForKey("NS.keys").array()->count(), root.valueForKey("NS.objects").array()->count());

    QStringList classNames;
    int stringsNamedBaa = 0;
    for (const Value& o : *objects) {
        if (o.isString() && o.stringValue() == "baa")
            ++stringsNamedBaa;
        if (o.isDictionary() && o.dictionary()->containsKey("$classname"))
            classNames << o.valueForKey("$classname").stringValue();
        if (o.isDictionary() && o.dictionary()->containsKey("NS.time")) {
            EXPECT_EQ(o.valueForKey("NS.time").kind(), Value::Kind::Real);
        }
        if (o.isDictionary() && o.dictionary()->containsKey("NSRGB")) {
            EXPECT_EQ(o.valueForKey("NSRGB").dataValue(), QByteArray("0.75 0.75 0.75", 15)); // with its NUL
        }
    }
    EXPECT_EQ(stringsNamedBaa, 1);
    classNames.sort();
    EXPECT_EQ(classNames, QStringList({"NSColor", "NSDate", "NSMutableArray", "NSMutableDictionary", "NSNull"}));
}

TEST(KeyedArchiveWriter, OutputReadsWithLibplist)
{
    for (const Value& v : {writerSample(), Value(Array::create()), Value("x")}) {
        const QByteArray data = KeyedArchiver::archivedDataWithRootObject(v);
        plist_t root = nullptr;
        plist_from_bin(data.constData(), uint32_t(data.size()), &root);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(plist_get_node_type(root), PLIST_DICT);
        plist_t objects = plist_dict_get_item(root, "$objects");
        ASSERT_NE(objects, nullptr);
        EXPECT_EQ(plist_get_node_type(objects), PLIST_ARRAY);
        plist_free(root);
    }
}

// Long strings and byte strings are written from the values themselves, not
// copied first: they must come out where and as the short ones do.
TEST(KeyedArchiveWriter, LongValuesReadBackHereAndWithLibplist)
{
    const QString ascii = QString(5000, QLatin1Char('a')) + QStringLiteral("end");
    const QString wide = QString(3000, QChar(0x00E9)) + QStringLiteral("ü");
    const QString justShort = QString(4095, QLatin1Char('s'));
    const QByteArray bytes = QByteArray(10000, '\x7F') + "tail";
    const DictionaryRef root = Dictionary::create({{"ascii", Value(ascii)}, {"wide", Value(wide)}, {"short", Value(justShort)},
                                                   {"bytes", Value::data(bytes)}, {"again", Value(ascii)}, {"small", Value("x")},
                                                   {"bytesAgain", Value::data(QByteArray(bytes.constData(), bytes.size()))},
                                                   {"samplesAlike", Value::data(QByteArray(10000, '\x7F') + "tail!")}});
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(Value(root));
    const Value back = KeyedUnarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(back.isDictionary());
    EXPECT_TRUE(back.isEqual(Value(root)));
    EXPECT_EQ(back.valueForKey("wide").stringValue(), wide);
    EXPECT_EQ(back.valueForKey("bytes").dataValue(), bytes);
    EXPECT_LT(data.size(), 5000 + 2 * 3001 + 4095 + 10004 + 10005 + 1000) << "equal long values are stored once";
    EXPECT_EQ(back.valueForKey("samplesAlike").dataValue().size(), 10005);

    plist_t plist = nullptr;
    plist_from_bin(data.constData(), uint32_t(data.size()), &plist);
    ASSERT_NE(plist, nullptr);
    plist_t objects = plist_dict_get_item(plist, "$objects");
    QStringList strings;
    QByteArrayList byteStrings;
    for (uint32_t i = 0; objects && i < plist_array_get_size(objects); ++i) {
        plist_t item = plist_array_get_item(objects, i);
        if (plist_get_node_type(item) == PLIST_STRING) {
            char* text = nullptr;
            plist_get_string_val(item, &text);
            strings << QString::fromUtf8(text);
            free(text);
        } else if (plist_get_node_type(item) == PLIST_DATA) {
            char* raw = nullptr;
            uint64_t length = 0;
            plist_get_data_val(item, &raw, &length);
            byteStrings << QByteArray(raw, qsizetype(length));
            free(raw);
        }
    }
    plist_free(plist);
    EXPECT_TRUE(strings.contains(ascii));
    EXPECT_TRUE(strings.contains(wide));
    EXPECT_TRUE(strings.contains(justShort));
    EXPECT_TRUE(byteStrings.contains(bytes));
    EXPECT_EQ(byteStrings.count(bytes), 1);
}

// In pieces, an archive is the same bytes, and each long byte string is a
// piece of its own that shares the value's bytes instead of copying them.
TEST(KeyedArchiveWriter, PiecesAreTheArchiveWithLongByteStringsShared)
{
    const QByteArray first = QByteArray(9000, '\x01') + "first";
    const QByteArray second = QByteArray(20000, '\x02');
    const DictionaryRef root = Dictionary::create({{"first", Value::data(first)}, {"small", Value::data("tiny")},
                                                   {"name", Value(QString(5000, QLatin1Char('n')))},
                                                   {"second", Value::data(second)}, {"firstAgain", Value::data(first)},
                                                   {"number", Value::int64(7)}});
    for (const Value& v : {Value(root), Value(Dictionary::create({{"small", Value::data("tiny")}}))}) {
        QByteArrayList pieces;
        ASSERT_TRUE(KeyedArchiver::archive(v, pieces, nullptr));
        EXPECT_EQ(pieces.join(), KeyedArchiver::archivedDataWithRootObject(v));
    }
    QByteArrayList pieces;
    ASSERT_TRUE(KeyedArchiver::archive(Value(root), pieces, nullptr));
    ASSERT_EQ(pieces.size(), 5); // around and between the two long ones, each stored once
    EXPECT_EQ(pieces[1].constData(), first.constData());
    EXPECT_EQ(pieces[3].constData(), second.constData());
}

// ---------------------------------------------------------------------------
// Damaged and hostile archives

struct Malformed {
    const char* name;
    const char* reason; // a part of the message
    QByteArray data;
};

std::vector<Malformed> malformedArchives()
{
    const QByteArray good = KeyedArchiver::archivedDataWithRootObject(Value(strings({"a", "b"})));
    const qsizetype trailer = good.size() - 32;
    const auto patched = [&](qsizetype at, QByteArray bytes) {
        QByteArray d = good;
        d.replace(at, bytes.size(), bytes);
        return d;
    };
    const auto objects = [](std::initializer_list<Value> list) { return Array::create(std::vector<Value>(list)); };
    const Value arrayClass = classRecord("NSArray");
    const Value dictClass = classRecord("NSDictionary");

    // Each array holds the next: deeper than any reader allows.
    const int depth = KeyedUnarchiver::kMaxDepth + 2;
    ArrayRef deepObjects = objects({Value("$null")});
    for (int i = 1; i <= depth; ++i)
        deepObjects->addObject(
            Value(Dictionary::create({{"NS.objects", Value(Array::create({uid(i + 1)}))}, {"$class", uid(depth + 2)}})));
    deepObjects->addObject(Value("leaf"));
    deepObjects->addObject(arrayClass);

    // Each array holds the one before; the root lists them all from the
    // first, so that each is read near the top but the last is as deep as
    // all together.
    ArrayRef stacked = objects({Value("$null")});
    ArrayRef all = Array::create();
    stacked->addObject(Value(Dictionary::create({{"NS.objects", Value(all)}, {"$class", uid(2)}})));
    stacked->addObject(arrayClass);
    stacked->addObject(Value("leaf"));
    for (int i = 0; i < depth; ++i) {
        const qint64 self = stacked->count();
        stacked->addObject(Value(Dictionary::create({{"NS.objects", Value(Array::create({uid(self - 1)}))}, {"$class", uid(2)}})));
        all->addObject(uid(self));
    }

    return {
        {"empty", "malformed", QByteArray()},
        {"text", "malformed", QByteArray("not a property list at all")},
        {"magic only", "not a binary property list", QByteArray("bplist00")},
        {"other version", "not a binary property list", QByteArray("bplist01") + good.mid(8)},
        {"truncated", "integer sizes", good.left(good.size() - 1)},
        {"offset size zero", "integer sizes", patched(trailer + 6, QByteArray(1, '\0'))},
        {"offset size nine", "integer sizes", patched(trailer + 6, QByteArray(1, '\x09'))},
        {"reference size zero", "integer sizes", patched(trailer + 7, QByteArray(1, '\0'))},
        {"object count huge", "object count", patched(trailer + 8, QByteArray::fromHex("7fffffffffffffff"))},
        {"object count zero", "object count", patched(trailer + 8, QByteArray(8, '\0'))},
        {"root out of range", "root out of range", patched(trailer + 16, QByteArray::fromHex("00000000000000ff"))},
        {"offset table past the end", "offset table", patched(trailer + 24, QByteArray::fromHex("00000000ffffffff"))},
        {"offset table in the header", "offset table", patched(trailer + 24, QByteArray::fromHex("0000000000000002"))},
        {"xml not an archive", "version 100000", QByteArray("<plist><dict><key>a</key><string>b</string></dict></plist>")},
        {"wrong archiver", "version 100000",
         plistBytes(Value(Dictionary::create({{"$archiver", Value("Other")}, {"$version", Value::int64(100000)},
                                              {"$top", Value(Dictionary::create({{"root", uid(0)}}))},
                                              {"$objects", Value(strings({"$null"}))}})))},
        {"wrong version", "version 100000",
         plistBytes(Value(Dictionary::create({{"$archiver", Value("NSKeyedArchiver")}, {"$version", Value::int64(99999)},
                                              {"$top", Value(Dictionary::create({{"root", uid(0)}}))},
                                              {"$objects", Value(strings({"$null"}))}})))},
        {"no objects", "no object table", plistBytes(Value(Dictionary::create({{"$archiver", Value("NSKeyedArchiver")},
                                                            {"$version", Value::int64(100000)},
                                                            {"$top", Value(Dictionary::create({{"root", uid(0)}}))}})))},
        {"no root", "no root object", archiveWithObjects(strings({"$null"}), Value())},
        {"root not a reference", "root is not a reference", archiveWithObjects(strings({"$null", "x"}), Value::int64(1))},
        {"dangling root", "reference to object 7", archiveWithObjects(strings({"$null", "x"}), uid(7))},
        {"dangling element", "reference to object 9",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NS.objects", Value(Array::create({uid(9)}))}, {"$class", uid(2)}})),
                                     arrayClass}))},
        {"element not a reference", "other than a reference",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NS.objects", Value(strings({"x"}))}, {"$class", uid(2)}})),
                                     arrayClass}))},
        {"array contains itself", "contains itself",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NS.objects", Value(Array::create({uid(1)}))}, {"$class", uid(2)}})),
                                     arrayClass}))},
        {"nested too deeply", "too deeply", archiveWithObjects(deepObjects)},
        {"nested too deeply in steps", "too deeply", archiveWithObjects(stacked)},
        {"unknown class", "class NSURL",
         archiveWithObjects(objects({Value("$null"), Value(Dictionary::create({{"$class", uid(2)}})), classRecord("NSURL")}))},
        {"class without name", "no name",
         archiveWithObjects(objects({Value("$null"), Value(Dictionary::create({{"$class", uid(2)}})),
                                     Value(Dictionary::create({{"$classes", Value(strings({"NSArray"}))}}))}))},
        {"class reference to the null object", "invalid class reference",
         archiveWithObjects(objects({Value("$null"), Value(Dictionary::create({{"$class", uid(0)}}))}))},
        {"object without class", "no class",
         archiveWithObjects(objects({Value("$null"), Value(Dictionary::create({{"NS.objects", Value(Array::create())}}))}))},
        {"more keys than values", "1 keys for 0 values",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NS.keys", Value(Array::create({uid(3)}))},
                                                               {"NS.objects", Value(Array::create())},
                                                               {"$class", uid(2)}})),
                                     dictClass, Value("k")}))},
        {"key not a string", "key is not a string",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NS.keys", Value(Array::create({uid(3)}))},
                                                               {"NS.objects", Value(Array::create({uid(3)}))},
                                                               {"$class", uid(2)}})),
                                     dictClass, Value::int64(5)}))},
        {"date without time", "no time",
         archiveWithObjects(objects({Value("$null"), Value(Dictionary::create({{"NS.time", Value("soon")}, {"$class", uid(2)}})),
                                     classRecord("NSDate")}))},
        {"string object without string", "no string",
         archiveWithObjects(objects({Value("$null"), Value(Dictionary::create({{"NS.string", Value::int64(1)}, {"$class", uid(2)}})),
                                     classRecord("NSMutableString")}))},
        {"colour of unknown space", "colour space 9",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NSColorSpace", Value::int64(9)}, {"$class", uid(2)}})),
                                     classRecord("NSColor")}))},
        {"colour without components", "no components",
         archiveWithObjects(objects({Value("$null"),
                                     Value(Dictionary::create({{"NSColorSpace", Value::int64(1)}, {"$class", uid(2)}})),
                                     classRecord("NSColor")}))},
        {"object table entry is an array", "is not an object", archiveWithObjects(objects({Value("$null"), Value(strings({"x"}))}))},
    };
}

TEST(KeyedArchiveMalformed, EveryCaseFailsWithAMessage)
{
    for (const Malformed& m : malformedArchives()) {
        SCOPED_TRACE(m.name);
        QString error;
        Value out = Value("stale");
        EXPECT_FALSE(KeyedUnarchiver::unarchive(m.data, out, &error));
        EXPECT_TRUE(out.isNull());
        EXPECT_FALSE(error.isEmpty());
        if (qEnvironmentVariableIsSet("SHOWMSG")) printf("%-40s %s\n", m.name, qPrintable(error));
        EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(m.data).isNull());
    }
}

TEST(KeyedArchiveMalformed, AReferenceFarBeyondTheObjectsCostsNoMemory)
{
    // An XML archive is read through the binary form: writing that form must
    // not size anything by the number a reference names.
    const QByteArray xml = R"(<plist><dict>
<key>$archiver</key><string>NSKeyedArchiver</string>
<key>$version</key><integer>100000</integer>
<key>$top</key><dict><key>root</key><dict><key>CF$UID</key><integer>268435000</integer></dict></dict>
<key>$objects</key><array><string>$null</string></array>
</dict></plist>)";
    QString error;
    Value out;
    {
        AddressSpaceCap cap(256 << 20);
        ASSERT_TRUE(cap.capped());
        EXPECT_FALSE(KeyedUnarchiver::unarchive(xml, out, &error));
    }
    EXPECT_TRUE(error.contains(QLatin1String("reference to object 268435000"))) << error.toStdString();
}

// An object referred to many times counts again at every reference: an
// archive of a megabyte or two that holds one record a million times, or
// thirty arrays each holding the next twice, is refused within a little
// memory and time, while a record shared as often as the bytes allow reads.
TEST(KeyedArchiveMalformed, SharedObjectsCannotMultiplyTheWork)
{
    const Value dictClass = classRecord("NSMutableDictionary");
    const Value arrayClass = classRecord("NSMutableArray");
    // Objects: 1 the root array, 2 a record of 20 fields, 3 and 4 classes, 5.. keys and values.
    const auto archiveOfCopies = [&](qsizetype copies) {
        ArrayRef keys = Array::create(), values = Array::create();
        ArrayRef objects = Array::create({Value("$null"), Value(), Value(), arrayClass, dictClass});
        for (int i = 0; i < 20; ++i) {
            keys->addObject(uid(objects->count()));
            objects->addObject(Value(QStringLiteral("key%1").arg(i)));
            values->addObject(uid(objects->count()));
            objects->addObject(Value(QStringLiteral("value %1").arg(i)));
        }
        objects->replaceObjectAtIndex(2, Value(Dictionary::create({{"NS.keys", Value(keys)}, {"NS.objects", Value(values)}, {"$class", uid(4)}})));
        objects->replaceObjectAtIndex(1, Value(Dictionary::create({{"NS.objects", Value(Array::create(std::vector<Value>(copies, uid(2))))}, {"$class", uid(3)}})));
        return archiveWithObjects(objects);
    };
    // Each level an array holding the one below twice: 2^30 values in all.
    ArrayRef nested = Array::create({Value("$null")});
    for (int level = 1; level <= 30; ++level)
        nested->addObject(Value(Dictionary::create({{"NS.objects", Value(Array::create({uid(level + 1), uid(level + 1)}))}, {"$class", uid(32)}})));
    nested->addObject(Value("leaf"));
    nested->addObject(arrayClass);

    const QByteArray million = archiveOfCopies(1'000'000);
    const QByteArray doubled = archiveWithObjects(nested);
    for (const QByteArray* data : {&million, &doubled}) {
        const int refused = runBounded(512 << 20, 60, [&] {
            QString error;
            Value out;
            return !KeyedUnarchiver::unarchive(*data, out, &error) && error.contains(QLatin1String("more often than its size allows"));
        });
        EXPECT_EQ(refused, 1) << data->size();
    }

    // As many copies as the archive has bytes for each value they hold.
    const QByteArray few = archiveOfCopies(20);
    Value out;
    ASSERT_TRUE(KeyedUnarchiver::unarchive(few, out));
    ASSERT_EQ(out.array()->count(), 20);
    EXPECT_TRUE(out.array()->objectAtIndex(0) == out.array()->objectAtIndex(19));
    EXPECT_EQ(out.array()->objectAtIndex(7).dictionary()->objectForKey("key3").stringValue(), "value 3");
}

TEST(KeyedArchiveMalformed, EveryTruncationAndByteFlipIsHandled)
{
    // Under the sanitizers this walks every bounds check of the reader.
    const QByteArray good = KeyedArchiver::archivedDataWithRootObject(writerSample());
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_FALSE(KeyedUnarchiver::unarchive(good.left(n), *std::make_unique<Value>(), nullptr)) << n;
    for (qsizetype i = 0; i < good.size(); ++i) {
        for (char flip : {'\x01', '\x80', '\xFF'}) {
            QByteArray d = good;
            d[i] = char(d[i] ^ flip);
            Value out;
            QString error;
            if (!KeyedUnarchiver::unarchive(d, out, &error)) {
                EXPECT_FALSE(error.isEmpty());
            }
        }
    }
}

} // namespace
