#include "platform/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr quint64 kUInt64Max = std::numeric_limits<quint64>::max();

TEST(Value, KindsAreKeptApart)
{
    EXPECT_EQ(Value().kind(), Value::Kind::Null);
    EXPECT_EQ(Value::boolean(true).kind(), Value::Kind::Bool);
    EXPECT_EQ(Value::int32(1).kind(), Value::Kind::Int32);
    EXPECT_EQ(Value::int64(1).kind(), Value::Kind::Int64);
    EXPECT_EQ(Value::uint64(1).kind(), Value::Kind::UInt64);
    EXPECT_EQ(Value::real(1).kind(), Value::Kind::Real);
    EXPECT_EQ(Value("x").kind(), Value::Kind::String);
    EXPECT_EQ(Value::data({}).kind(), Value::Kind::Data);
    EXPECT_EQ(Value::date(0).kind(), Value::Kind::Date);
    EXPECT_EQ(Value(Dictionary::create()).kind(), Value::Kind::Dictionary);
    EXPECT_EQ(Value(Array::create()).kind(), Value::Kind::Array);
    EXPECT_EQ(Value(ArchivedColor::white(0.5)).kind(), Value::Kind::Color);
    EXPECT_TRUE(Value(DictionaryRef()).isNull());
    EXPECT_TRUE(Value(static_cast<const char*>(nullptr)).isNull());
    // An empty string is a string, not the absent value.
    EXPECT_TRUE(Value(QString()).isString());
}

TEST(Value, StringLengthIsInUtf16Units)
{
    const Value v(QString::fromUtf8("a\xF0\x9F\x98\x80")); // a + U+1F600
    EXPECT_EQ(v.stringValue().size(), 3);
}

struct StringReading {
    const char* text;
    int intValue;
    qint64 longLongValue;
    bool boolValue;
    double doubleValue;
};

TEST(Value, StringsReadLikeTheFramework)
{
    const StringReading table[] = {
        {"", 0, 0, false, 0},
        {"42", 42, 42, true, 42},
        {"  \t\n-17abc", -17, -17, true, -17},
        {"+8", 8, 8, true, 8},
        {"abc", 0, 0, false, 0},
        {"99999999999", std::numeric_limits<int>::max(), 99999999999LL, true, 99999999999.0},
        {"-99999999999", std::numeric_limits<int>::min(), -99999999999LL, true, -99999999999.0},
        {"99999999999999999999999", std::numeric_limits<int>::max(), kInt64Max, true, 1e23},
        {"-99999999999999999999999", std::numeric_limits<int>::min(), kInt64Min, true, -1e23},
        {"Yes", 0, 0, true, 0},
        {"no", 0, 0, false, 0},
        {"true", 0, 0, true, 0},
        {"false", 0, 0, false, 0},
        {"  -00t", 0, 0, true, 0},
        {"000", 0, 0, false, 0},
        {"0.5", 0, 0, false, 0.5},
        {"3.75e2x", 3, 3, true, 375},
        {".5", 0, 0, false, 0.5},
        {"1e", 1, 1, true, 1},
        {"1e400", 1, 1, true, HUGE_VAL},
        {"-1e400", -1, -1, true, -HUGE_VAL},
        {"1e-400", 1, 1, true, 0},
    };
    for (const StringReading& row : table) {
        SCOPED_TRACE(row.text);
        const Value v(row.text);
        EXPECT_EQ(v.intValue(), row.intValue);
        EXPECT_EQ(v.longLongValue(), row.longLongValue);
        EXPECT_EQ(v.longValue(), row.longLongValue);
        EXPECT_EQ(v.boolValue(), row.boolValue);
        EXPECT_EQ(v.doubleValue(), row.doubleValue);
    }
    EXPECT_EQ(Value("18446744073709551615").unsignedLongLongValue(), kUInt64Max);
    EXPECT_EQ(Value("99999999999999999999").unsignedLongLongValue(), kUInt64Max);
    EXPECT_EQ(Value("-5").unsignedLongLongValue(), 0u);
    EXPECT_FLOAT_EQ(Value("2.5").floatValue(), 2.5f);
}

TEST(Value, StringsBeyondTheRangeOfARealSaturateByTheirSize)
{
    // Whether a number is too large or too small for a double depends on where
    // its first digit stands, not on the sign of its exponent.
    const QString zeros(400, u'0');
    const struct {
        QString text;
        double doubleValue;
    } cases[] = {
        {QStringLiteral("0.") + zeros + QStringLiteral("1"), 0.0},
        {QStringLiteral("-0.") + zeros + QStringLiteral("1"), -0.0},
        {QStringLiteral("0.") + zeros + QStringLiteral("1e5"), 0.0},
        {QStringLiteral("1") + zeros + QStringLiteral("e-50"), HUGE_VAL},
        {QStringLiteral("-1") + zeros, -HUGE_VAL},
        {QStringLiteral("1e-99999999999999999999"), 0.0},
        {QStringLiteral("1e99999999999999999999"), HUGE_VAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const double d = Value(c.text).doubleValue();
        EXPECT_EQ(d, c.doubleValue);
        EXPECT_EQ(std::signbit(d), std::signbit(c.doubleValue));
    }
}

TEST(Value, StringsParseWithoutTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(Value("0,5").doubleValue(), 0.0);
    EXPECT_EQ(Value("0.25").doubleValue(), 0.25);
    QLocale::setDefault(saved);
}

TEST(Value, NumbersReadWithoutUndefinedBehaviour)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Value::real(1e300).intValue(), std::numeric_limits<int>::max());
    EXPECT_EQ(Value::real(-1e300).intValue(), std::numeric_limits<int>::min());
    EXPECT_EQ(Value::real(1e300).longLongValue(), kInt64Max);
    EXPECT_EQ(Value::real(-1e300).longLongValue(), kInt64Min);
    EXPECT_EQ(Value::real(9223372036854775808.0).longLongValue(), kInt64Max);
    EXPECT_EQ(Value::real(-9223372036854775808.0).longLongValue(), kInt64Min);
    EXPECT_EQ(Value::real(1e300).unsignedLongLongValue(), kUInt64Max);
    EXPECT_EQ(Value::real(-3).unsignedLongLongValue(), 0u);
    EXPECT_EQ(Value::real(-3).unsignedIntValue(), 0u);
    EXPECT_EQ(Value::real(nan).intValue(), 0);
    EXPECT_EQ(Value::real(nan).longLongValue(), 0);
    EXPECT_EQ(Value::real(2.9).intValue(), 2);
    EXPECT_EQ(Value::real(-2.9).intValue(), -2);
    EXPECT_TRUE(std::isinf(Value::real(1e300).floatValue()));
    EXPECT_EQ(Value::real(0.25).boolValue(), true);
    EXPECT_EQ(Value::real(0).boolValue(), false);

    // Integers narrow as C casts do.
    EXPECT_EQ(Value::int64(0x100000005LL).intValue(), 5);
    EXPECT_EQ(Value::int32(-1).unsignedLongLongValue(), kUInt64Max);
    EXPECT_EQ(Value::uint64(kUInt64Max).longLongValue(), -1);
    EXPECT_EQ(Value::uint64(kUInt64Max).unsignedLongLongValue(), kUInt64Max);
    EXPECT_EQ(Value::int64(kInt64Min).longLongValue(), kInt64Min);
    EXPECT_EQ(Value::boolean(true).intValue(), 1);
    EXPECT_EQ(Value::int32(7).doubleValue(), 7.0);

    // Absent and non-numbers read as zero.
    for (const Value& v : {Value(), Value::data("12"), Value::date(5), Value(Array::create())}) {
        EXPECT_EQ(v.intValue(), 0);
        EXPECT_EQ(v.longLongValue(), 0);
        EXPECT_FALSE(v.boolValue());
        EXPECT_EQ(v.doubleValue(), 0);
        EXPECT_TRUE(v.stringValue().isEmpty());
    }
}

TEST(Value, NumbersDescribeThemselves)
{
    EXPECT_EQ(Value::int32(-12).stringValue(), "-12");
    EXPECT_EQ(Value::int64(kInt64Min).stringValue(), "-9223372036854775808");
    EXPECT_EQ(Value::uint64(kUInt64Max).stringValue(), "18446744073709551615");
    EXPECT_EQ(Value::boolean(true).stringValue(), "1");
    EXPECT_EQ(Value::real(0.1).stringValue(), "0.1");
    EXPECT_EQ(Value::real(2).stringValue(), "2");
}

TEST(Value, DatesKeepTheExactDouble)
{
    const double t = 123456789.123456789;
    EXPECT_EQ(Value::date(t).dateValue(), t);
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(Value::dateFromDateTime(reference).dateValue(), 0.0);
    EXPECT_EQ(Value::date(86400.5).toDateTime(), reference.addMSecs(86400500));
    EXPECT_FALSE(Value::date(1e300).toDateTime().isValid());
    EXPECT_FALSE(Value::date(std::nan("")).toDateTime().isValid());
    EXPECT_FALSE(Value::real(3).toDateTime().isValid());
}

TEST(Value, IdentityAndDeepEquality)
{
    EXPECT_TRUE(Value::int32(1).isEqual(Value::real(1.0)));
    EXPECT_TRUE(Value::boolean(true).isEqual(Value::int64(1)));
    EXPECT_TRUE(Value::uint64(kUInt64Max).isEqual(Value::real(18446744073709551616.0)) == false);
    EXPECT_FALSE(Value::uint64(kUInt64Max).isEqual(Value::int64(-1)));
    EXPECT_TRUE(Value::int64(kInt64Max).isEqual(Value::uint64(quint64(kInt64Max))));
    // 2^63 as a real equals the unsigned integer but not the largest signed one.
    EXPECT_TRUE(Value::real(9223372036854775808.0).isEqual(Value::uint64(1ULL << 63)));
    EXPECT_FALSE(Value::real(9223372036854775808.0).isEqual(Value::int64(kInt64Max)));
    EXPECT_FALSE(Value::int32(1).isEqual(Value("1")));
    EXPECT_FALSE(Value("1").isEqual(Value::int32(1)));
    EXPECT_FALSE(Value::real(1.5).isEqual(Value::int32(1)));
    EXPECT_FALSE(Value::date(1).isEqual(Value::real(1)));
    EXPECT_TRUE(Value::data("ab").isEqual(Value::data("ab")));
    EXPECT_TRUE(Value().isEqual(Value()));

    // `==` keeps kinds apart and compares references by identity.
    EXPECT_FALSE(Value::int32(1) == Value::int64(1));
    EXPECT_TRUE(Value("a") == Value("a"));
    DictionaryRef a = Dictionary::create({{"k", Value("v")}});
    DictionaryRef b = Dictionary::create({{"k", Value("v")}});
    EXPECT_TRUE(Value(a) == Value(a));
    EXPECT_FALSE(Value(a) == Value(b));
    EXPECT_TRUE(Value(a).isEqual(Value(b)));
    b->setObject(Value::int32(2), "k");
    EXPECT_FALSE(Value(a).isEqual(Value(b)));

    ArrayRef x = Array::create({Value::int32(1), Value(a)});
    ArrayRef y = Array::create({Value::real(1), Value(a->mutableCopy())});
    EXPECT_TRUE(x->isEqualToArray(*y));
    y->addObject(Value());
    EXPECT_FALSE(x->isEqualToArray(*y));
}

TEST(Value, CyclicStructuresCompareWithoutRunningAway)
{
    DictionaryRef a = Dictionary::create();
    DictionaryRef b = Dictionary::create();
    a->setObject(Value(a), "self");
    b->setObject(Value(b), "self");
    EXPECT_FALSE(Value(a).isEqual(Value(b)));
    EXPECT_TRUE(Value(a).isEqual(Value(a)));
    a->removeObjectForKey("self"); // break the cycles so they are freed
    b->removeObjectForKey("self");
}

TEST(Dictionary, KeepsInsertionOrderAndReplacesInPlace)
{
    DictionaryRef d = Dictionary::create();
    for (const char* key : {"firstName", "lastName", "company", "note"})
        d->setObject(Value(""), key);
    d->setObject(Value("Ada"), "firstName");
    EXPECT_EQ(d->allKeys(), QStringList({"firstName", "lastName", "company", "note"}));
    EXPECT_EQ(d->objectForKey("firstName").stringValue(), "Ada");
    d->setValue(Value(), "lastName"); // absent removes
    EXPECT_EQ(d->allKeys(), QStringList({"firstName", "company", "note"}));
    d->removeObjectForKey("missing");
    EXPECT_EQ(d->count(), 3);
    EXPECT_TRUE(d->objectForKey("missing").isNull());

    QStringList seen;
    for (const auto& [key, value] : *d)
        seen << key;
    EXPECT_EQ(seen, d->allKeys());
}

TEST(Dictionary, LargeDictionariesFindEveryKeyAfterEdits)
{
    DictionaryRef d = Dictionary::create();
    for (int i = 0; i < 100; ++i)
        d->setObject(Value::int32(i), QString::number(i));
    for (int i = 0; i < 100; i += 3)
        d->removeObjectForKey(QString::number(i));
    d->setObject(Value("new"), "new");
    d->setObject(Value::int32(-1), "50");
    for (int i = 0; i < 100; ++i) {
        const Value v = d->objectForKey(QString::number(i));
        if (i % 3 == 0)
            EXPECT_TRUE(v.isNull()) << i;
        else
            EXPECT_EQ(v.intValue(), i == 50 ? -1 : i) << i;
    }
    EXPECT_EQ(d->allKeys().last(), "new");
    EXPECT_EQ(d->objectForKey("new").stringValue(), "new");
}

namespace {
// {"0": 0, "1": 1, ...} of this many keys.
DictionaryRef numbered(int size)
{
    DictionaryRef d = Dictionary::create();
    for (int i = 0; i < size; ++i)
        d->setObject(Value::int32(i), QString::number(i));
    return d;
}
} // namespace

TEST(Dictionary, CopiesAreIndependentWhateverTheirSize)
{
    for (int size : {3, 40}) {
        SCOPED_TRACE(size);
        DictionaryRef original = numbered(size);
        DictionaryRef copy = original->mutableCopy();
        DictionaryRef other = original->mutableCopy();
        copy->setObject(Value("new"), "new");
        copy->removeObjectForKey("1");
        copy->setObject(Value("changed"), "0");
        other->removeAllObjects();
        original->removeObjectForKey("2");

        EXPECT_EQ(original->count(), size - 1);
        EXPECT_EQ(original->objectForKey("0").intValue(), 0);
        EXPECT_EQ(original->objectForKey("1").intValue(), 1);
        EXPECT_TRUE(original->objectForKey("new").isNull());
        EXPECT_EQ(copy->count(), size);
        EXPECT_EQ(copy->objectForKey("0").stringValue(), "changed");
        EXPECT_TRUE(copy->objectForKey("1").isNull());
        EXPECT_EQ(copy->objectForKey("2").intValue(), 2);
        EXPECT_EQ(copy->allKeys().last(), "new");
        EXPECT_EQ(other->count(), 0);
        for (int i = 3; i < size; ++i) {
            EXPECT_EQ(original->objectForKey(QString::number(i)).intValue(), i);
            EXPECT_EQ(copy->objectForKey(QString::number(i)).intValue(), i);
        }
    }
}

// Copies that gain the same key share the longer list of keys; one that then
// changes its keys on its own must not change what the next copy gains.
TEST(Dictionary, CopiesGainingKeysStayIndependent)
{
    for (int size : {3, 40}) {
        SCOPED_TRACE(size);
        DictionaryRef original = numbered(size);
        DictionaryRef a = original->mutableCopy();
        DictionaryRef b = original->mutableCopy();
        a->setObject(Value("a"), "link");
        b->setObject(Value("b"), "link");
        // `a` alone holds its list now that `b` gets another one.
        b->removeObjectForKey("0");
        a->setObject(Value("more"), "extra");
        a->removeObjectForKey("1");
        DictionaryRef c = original->mutableCopy();
        c->setObject(Value("c"), "link");

        const auto keysOf = [](const DictionaryRef& d) { return d->allKeys(); };
        QStringList expected = original->allKeys();
        expected << "link";
        EXPECT_EQ(keysOf(c), expected);
        EXPECT_EQ(c->objectForKey("link").stringValue(), "c");
        EXPECT_EQ(c->objectForKey("1").intValue(), 1);
        EXPECT_EQ(keysOf(b).size(), size);
        EXPECT_EQ(b->objectForKey("link").stringValue(), "b");
        EXPECT_TRUE(b->objectForKey("0").isNull());
        EXPECT_EQ(a->allKeys().last(), "extra");
        EXPECT_TRUE(a->objectForKey("1").isNull());
        EXPECT_EQ(a->objectForKey("link").stringValue(), "a");
        EXPECT_EQ(original->count(), size);
        EXPECT_TRUE(original->objectForKey("link").isNull());
    }
}

// Copies that lose the key they gained (records of an import losing their
// category name) go back to the shorter keys and stay independent of each
// other and of the dictionary they came from.
TEST(Dictionary, CopiesLosingTheKeyTheyGainedStayIndependent)
{
    for (int size : {3, 40}) {
        SCOPED_TRACE(size);
        DictionaryRef original = numbered(size);
        const QStringList keys = original->allKeys();
        DictionaryRef a = original->mutableCopy();
        DictionaryRef b = original->mutableCopy();
        DictionaryRef c = original->mutableCopy();
        for (const DictionaryRef& d : {a, b, c})
            d->setObject(Value("linked"), "link");
        a->removeObjectForKey("link");
        b->removeObjectForKey("link");
        EXPECT_EQ(a->allKeys(), keys);
        // Each changes on its own from here.
        a->setObject(Value("a"), "0");
        b->setObject(Value("b"), "extra");
        original->setObject(Value("o"), "own");
        c->removeObjectForKey("link");
        c->removeObjectForKey("1");

        EXPECT_EQ(a->objectForKey("0").stringValue(), "a");
        EXPECT_EQ(a->allKeys(), keys);
        EXPECT_EQ(b->objectForKey("0").intValue(), 0);
        EXPECT_EQ(b->allKeys(), keys + QStringList{"extra"});
        EXPECT_EQ(original->objectForKey("0").intValue(), 0);
        EXPECT_EQ(original->allKeys(), keys + QStringList{"own"});
        EXPECT_EQ(c->count(), size - 1);
        EXPECT_TRUE(c->objectForKey("1").isNull());
        EXPECT_EQ(c->objectForKey(QString::number(size - 1)).intValue(), size - 1);
        for (const DictionaryRef& d : {a, b, c, original})
            EXPECT_TRUE(d->objectForKey("link").isNull());

        // The shorter keys changed meanwhile (their one holder gained a key): not taken back.
        DictionaryRef alone = numbered(size);
        DictionaryRef d = alone->mutableCopy();
        DictionaryRef e = alone->mutableCopy();
        d->setObject(Value("linked"), "link");
        e->setObject(Value("linked"), "link");
        alone->setObject(Value("o"), "own");
        d->removeObjectForKey("link");
        EXPECT_EQ(d->allKeys(), keys);
        EXPECT_FALSE(d->containsKey("own"));
        EXPECT_EQ(e->allKeys(), keys + QStringList{"link"});
        EXPECT_EQ(alone->allKeys(), keys + QStringList{"own"});
    }
}

TEST(Dictionary, RecordsShareTheirCategory)
{
    DictionaryRef category = Dictionary::create({{"cat_category", Value("Generic")}, {"cat_uniqueID", Value::int32(1)}});
    DictionaryRef first = Dictionary::create({{"firstName", Value("Ada")}, {"categoryPtr", Value(category)}});
    DictionaryRef second = Dictionary::create({{"firstName", Value("Bob")}, {"categoryPtr", Value(category)}});

    second->setValueForKeyPath(Value("Friends"), "categoryPtr.cat_category");
    EXPECT_EQ(first->valueForKeyPath("categoryPtr.cat_category").stringValue(), "Friends");
    EXPECT_TRUE(first->objectForKey("categoryPtr") == second->objectForKey("categoryPtr"));

    // A copy is a new dictionary that still refers to the same category.
    DictionaryRef copy = first->mutableCopy();
    copy->setObject(Value("Cy"), "firstName");
    EXPECT_EQ(first->objectForKey("firstName").stringValue(), "Ada");
    EXPECT_TRUE(copy->objectForKey("categoryPtr") == Value(category));

    EXPECT_TRUE(first->valueForKeyPath("categoryPtr.missing.deeper").isNull());
    EXPECT_TRUE(first->valueForKeyPath("firstName.length").isNull());
    first->setValueForKeyPath(Value("x"), "firstName.inner"); // through a string: nothing happens
    EXPECT_EQ(first->objectForKey("firstName").stringValue(), "Ada");

    // On an array the key is asked of every element.
    ArrayRef records = Array::create({Value(first), Value(second), Value("text")});
    const Value names = Value(records).valueForKey("firstName");
    ASSERT_TRUE(names.isArray());
    ASSERT_EQ(names.array()->count(), 3);
    EXPECT_EQ(names.array()->objectAtIndex(1).stringValue(), "Bob");
    EXPECT_TRUE(names.array()->objectAtIndex(2).isNull());
    const Value categories = Value(records).valueForKeyPath("categoryPtr.cat_category");
    EXPECT_EQ(categories.array()->objectAtIndex(0).stringValue(), "Friends");
}

TEST(Array, OutOfRangeIndexesChangeNothing)
{
    ArrayRef a = Array::create({Value("a"), Value("b")});
    EXPECT_TRUE(a->objectAtIndex(-1).isNull());
    EXPECT_TRUE(a->objectAtIndex(2).isNull());
    a->removeObjectAtIndex(2);
    a->removeObjectAtIndex(-1);
    a->replaceObjectAtIndex(5, Value("x"));
    a->insertObject(Value("x"), 3);
    a->insertObject(Value("x"), -1);
    EXPECT_EQ(a->count(), 2);
    a->insertObject(Value("c"), 2);
    a->insertObject(Value("0"), 0);
    EXPECT_EQ(Value(a).valueForKey("x").array()->count(), 4);
    EXPECT_EQ(a->objectAtIndex(0).stringValue(), "0");
    EXPECT_EQ(a->objectAtIndex(3).stringValue(), "c");
}

TEST(Array, SearchesByEqualityOrIdentity)
{
    DictionaryRef d = Dictionary::create({{"k", Value::int32(1)}});
    DictionaryRef twin = Dictionary::create({{"k", Value::real(1)}});
    ArrayRef a = Array::create({Value("x"), Value(twin), Value(d), Value(d)});
    EXPECT_EQ(a->indexOfObject(Value(d)), 1);
    EXPECT_EQ(a->indexOfObjectIdenticalTo(Value(d)), 2);
    EXPECT_EQ(a->indexOfObject(Value::int32(1)), -1);
    EXPECT_TRUE(a->containsObject(Value("x")));
    a->removeObjectIdenticalTo(Value(d));
    EXPECT_EQ(a->count(), 2);
    EXPECT_EQ(a->indexOfObjectIdenticalTo(Value(d)), -1);

    ArrayRef copy = a->mutableCopy();
    copy->removeAllObjects();
    EXPECT_EQ(a->count(), 2);
    EXPECT_TRUE(Value(a).mutableCopy().array()->objectAtIndex(1) == Value(twin));
}

} // namespace
