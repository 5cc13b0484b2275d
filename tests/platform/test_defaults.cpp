#include "platform/Defaults.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Same kinds all the way down: isEqual alone takes 1 for 1.0 and true.
bool sameKindsAndValues(const Value& a, const Value& b)
{
    if (a.kind() != b.kind() || !a.isEqual(b))
        return false;
    if (a.isDictionary()) {
        for (const auto& [key, v] : *a.dictionary())
            if (!sameKindsAndValues(v, b.dictionary()->objectForKey(key)))
                return false;
        return a.dictionary()->allKeys() == b.dictionary()->allKeys();
    }
    if (a.isArray()) {
        for (qsizetype i = 0; i < a.array()->count(); ++i)
            if (!sameKindsAndValues(a.array()->objectAtIndex(i), b.array()->objectAtIndex(i)))
                return false;
    }
    return true;
}

class DefaultsTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("defaults.conf")); }
    // A copy of the file under another name, so that a new reader parses it
    // from disk instead of sharing the first reader's cache.
    QString copyOfFile(const QString& name) const
    {
        const QString copy = dir.filePath(name);
        QFile::copy(path(), copy);
        return copy;
    }
    QByteArray fileContents(const QString& file = {}) const
    {
        QFile f(file.isEmpty() ? path() : file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    DictionaryRef registered() const
    {
        return Dictionary::create({{"notifyUpdate", Value::boolean(true)},
                                   {"StartupActionTag", Value::int32(0)},
                                   {"tableFontFamily", Value("Lucida Grande")},
                                   {"tableFontSize", Value::real(12.0)}});
    }

    QTemporaryDir dir;
};

TEST_F(DefaultsTest, RegisteredValuesAreReadButNeverWritten)
{
    Defaults defaults(path());
    defaults.registerDefaults(registered());
    EXPECT_TRUE(defaults.boolForKey("notifyUpdate"));
    EXPECT_EQ(defaults.integerForKey("StartupActionTag"), 0);
    EXPECT_EQ(defaults.stringForKey("tableFontFamily"), "Lucida Grande");
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("tableFontSize"), 12.0);
    EXPECT_EQ(defaults.objectForKey("tableFontSize").kind(), Value::Kind::Real);
    EXPECT_FALSE(defaults.hasUserValueForKey("tableFontSize"));

    ASSERT_TRUE(defaults.setObject(Value("Courier"), "tableFontFamily"));
    const QByteArray file = fileContents();
    EXPECT_TRUE(file.contains("Courier"));
    EXPECT_FALSE(file.contains("notifyUpdate"));
    EXPECT_FALSE(file.contains("tableFontSize"));
}

TEST_F(DefaultsTest, UserValueOverridesPersistsAndFallsBackWhenRemoved)
{
    {
        Defaults defaults(path());
        defaults.registerDefaults(registered());
        ASSERT_TRUE(defaults.setObject(Value::int32(3), "StartupActionTag"));
        EXPECT_EQ(defaults.integerForKey("StartupActionTag"), 3);
    }
    const QString copy = copyOfFile("reopened.conf");
    Defaults reopened(copy);
    reopened.registerDefaults(registered());
    EXPECT_EQ(reopened.objectForKey("StartupActionTag").kind(), Value::Kind::Int32);
    EXPECT_EQ(reopened.integerForKey("StartupActionTag"), 3);

    ASSERT_TRUE(reopened.removeObjectForKey("StartupActionTag"));
    EXPECT_EQ(reopened.integerForKey("StartupActionTag"), 0);
    EXPECT_FALSE(fileContents(copy).contains("StartupActionTag"));
    // Setting the absent value removes as well.
    ASSERT_TRUE(reopened.setObject(Value("x"), "StartupSelectedDoc"));
    ASSERT_TRUE(reopened.setObject(Value(), "StartupSelectedDoc"));
    EXPECT_FALSE(reopened.hasUserValueForKey("StartupSelectedDoc"));
}

TEST_F(DefaultsTest, EveryKindReadsBackAsItself)
{
    auto nested = Dictionary::create({{"r", Value::real(0.75)}, {"name", Value("grey")}});
    auto list = Array::create({Value::int32(1), Value::int64(1), Value::boolean(true), Value::real(1), Value("1"),
                               Value(), Value(nested)});
    auto named = std::make_shared<ArchivedColor>();
    named->colorSpace = 6;
    named->catalogName = "System";
    named->colorName = "controlTextColor";
    named->fallback = ArchivedColor::white(0, 1);
    const Value table[] = {
        Value::boolean(false),
        Value::int32(std::numeric_limits<qint32>::min()),
        Value::int64(std::numeric_limits<qint64>::max()),
        Value::uint64(std::numeric_limits<quint64>::max()),
        Value::real(0.1),
        Value::real(-1e-300),
        Value::real(std::numeric_limits<double>::infinity()),
        Value(""),
        Value("@ByteArray(not really), with a comma\nand a line\t\"quoted\" ; = [x]"),
        Value(QString::fromUtf8("Zürich \xF0\x9F\x98\x80")),
        Value::data(QByteArray("\0\x01\xff bytes", 9)),
        Value::data({}),
        Value::date(-31536000.123456789),
        Value(list),
        Value(Dictionary::create({{"z", Value::int32(1)}, {"a", Value(list)}, {"m", Value(Array::create())}})),
        Value(ArchivedColor::rgb(0.25, 0.5, 1.0 / 3.0, 0.9)),
        Value(ColorRef(named)),
    };
    {
        Defaults defaults(path());
        for (std::size_t i = 0; i < std::size(table); ++i)
            ASSERT_TRUE(defaults.setObject(table[i], QStringLiteral("k%1").arg(i))) << i;
        ASSERT_TRUE(defaults.setObject(Value::real(std::nan("")), "nan"));
    }
    Defaults reopened(copyOfFile("reopened.conf"));
    for (std::size_t i = 0; i < std::size(table); ++i) {
        const Value back = reopened.objectForKey(QStringLiteral("k%1").arg(i));
        EXPECT_TRUE(sameKindsAndValues(table[i], back)) << i << " " << back.stringValue().toStdString();
    }
    EXPECT_TRUE(std::isnan(reopened.doubleForKey("nan")));
}

TEST_F(DefaultsTest, TypedReadingsFollowTheFramework)
{
    Defaults defaults(path());
    defaults.registerDefaults(Dictionary::create({{"text", Value(" 42abc")},
                                                  {"number", Value::real(2.5)},
                                                  {"bytes", Value::data("xy")},
                                                  {"date", Value::date(10)}}));
    EXPECT_EQ(defaults.integerForKey("text"), 42);
    EXPECT_TRUE(defaults.boolForKey("text"));
    EXPECT_EQ(defaults.stringForKey("number"), "2.5");
    EXPECT_TRUE(defaults.stringForKey("date").isNull());
    EXPECT_TRUE(defaults.dataForKey("text").isNull());
    EXPECT_EQ(defaults.dataForKey("bytes"), "xy");
    EXPECT_TRUE(defaults.objectForKey("missing").isNull());
    EXPECT_EQ(defaults.integerForKey("missing"), 0);
    EXPECT_FALSE(defaults.boolForKey("missing"));
    EXPECT_TRUE(defaults.stringForKey("missing").isNull());
}

TEST_F(DefaultsTest, HandWrittenAndDamagedEntriesReadSafely)
{
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\ntableFontSize=14\nnotifyUpdate=@ByteArray([\"b\",\"not a bool\"])\n"
                "StartupActionTag=@ByteArray([\"D\",[\"odd\"]])\n");
    }
    Defaults defaults(path());
    defaults.registerDefaults(registered());
    EXPECT_FLOAT_EQ(defaults.floatForKey("tableFontSize"), 14.0f);
    // What this program did not write falls back to the registered value.
    EXPECT_TRUE(defaults.boolForKey("notifyUpdate"));
    EXPECT_EQ(defaults.objectForKey("StartupActionTag").kind(), Value::Kind::Int32);
}

TEST_F(DefaultsTest, ASwitchTypedByHandReadsAsTheBooleanItsDefaultIs)
{
    const struct {
        const char* text;
        bool value;
    } cases[] = {{"true", true}, {"YES", true}, {"1", true}, {"false", false}, {"no", false}, {"0", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString file = dir.filePath(QStringLiteral("switch-%1.conf").arg(QLatin1String(c.text)));
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("[General]\nnotifyUpdate=") + c.text + "\ntableFontFamily=" + c.text + "\n");
        }
        Defaults defaults(file);
        defaults.registerDefaults(registered());
        const Value read = defaults.objectForKey("notifyUpdate");
        EXPECT_EQ(read.kind(), Value::Kind::Bool);
        EXPECT_EQ(read.boolValue(), c.value);
        EXPECT_EQ(read.intValue(), c.value ? 1 : 0) << "a comparison with 0 sees the switch";
        EXPECT_EQ(defaults.valueForKeyPath("values.notifyUpdate").kind(), Value::Kind::Bool);
        EXPECT_EQ(defaults.objectForKey("tableFontFamily"), Value(QString::fromLatin1(c.text))) << "text stays text";
    }
}

TEST_F(DefaultsTest, UnstorableValuesChangeNothing)
{
    Defaults defaults(path());
    DictionaryRef cyclic = Dictionary::create();
    cyclic->setObject(Value(cyclic), "self");
    EXPECT_FALSE(defaults.setObject(Value(cyclic), "loop"));
    EXPECT_FALSE(defaults.hasUserValueForKey("loop"));
    cyclic->removeAllObjects(); // break the cycle so it is freed
    EXPECT_FALSE(defaults.setObject(Value("x"), ""));
}

TEST_F(DefaultsTest, AFailedWriteChangesNothingAndTheNextOneSucceedsOnceTheFileCanBeWritten)
{
    Defaults defaults(path());
    ASSERT_TRUE(defaults.setObject(Value("kept"), "name"));
    // A folder in the file's place cannot be written, not even by root.
    const QString aside = dir.filePath(QStringLiteral("aside.conf"));
    ASSERT_TRUE(QFile::rename(path(), aside));
    ASSERT_TRUE(QDir().mkpath(path()));
    EXPECT_FALSE(defaults.setObject(Value("lost"), "name"));
    EXPECT_FALSE(defaults.removeObjectForKey("name"));
    EXPECT_EQ(defaults.stringForKey("name"), QStringLiteral("kept"));
    ASSERT_TRUE(QDir(path()).removeRecursively());
    ASSERT_TRUE(QFile::rename(aside, path()));

    EXPECT_TRUE(defaults.setObject(Value("written"), "name"));
    EXPECT_EQ(Defaults(copyOfFile(QStringLiteral("reread.conf"))).stringForKey("name"), QStringLiteral("written"));
}

TEST_F(DefaultsTest, ChangeSignalFiresWhenTheValueReadChanges)
{
    Defaults defaults(path());
    QSignalSpy keys(&defaults, &Defaults::valueChangedForKey);
    QSignalSpy paths(&defaults, &Observable::valueChangedForKeyPath);

    defaults.registerDefaults(registered());
    EXPECT_EQ(keys.count(), 4);
    keys.clear();
    paths.clear();

    ASSERT_TRUE(defaults.setObject(Value::real(14), "tableFontSize"));
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys.at(0).at(0).toString(), "tableFontSize");
    ASSERT_EQ(paths.count(), 1);
    EXPECT_EQ(paths.at(0).at(0).toString(), "values.tableFontSize");

    ASSERT_TRUE(defaults.setObject(Value::real(14), "tableFontSize")); // same value
    // A registered value under a user value is not what is read.
    defaults.registerDefaults(Dictionary::create({{"tableFontSize", Value::real(9)}}));
    EXPECT_EQ(keys.count(), 1);

    ASSERT_TRUE(defaults.removeObjectForKey("tableFontSize")); // back to 9
    ASSERT_TRUE(defaults.removeObjectForKey("tableFontSize")); // nothing left to remove
    EXPECT_EQ(keys.count(), 2);
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("tableFontSize"), 9);
}

TEST_F(DefaultsTest, ValuesKeyPathsReachEveryKey)
{
    Defaults defaults(path());
    defaults.registerDefaults(
        Dictionary::create({{"colour", Value(Dictionary::create({{"r", Value::real(0.5)}}))}}));
    EXPECT_DOUBLE_EQ(defaults.valueForKeyPath("values.colour.r").doubleValue(), 0.5);
    EXPECT_TRUE(defaults.valueForKeyPath("colour").isNull());

    EXPECT_TRUE(defaults.setValueForKeyPath(Value::int32(2), "values.StartupActionTag"));
    EXPECT_EQ(defaults.integerForKey("StartupActionTag"), 2);
    EXPECT_FALSE(defaults.setValueForKeyPath(Value::int32(2), "StartupActionTag"));
    EXPECT_FALSE(defaults.setValueForKeyPath(Value::real(1), "values.colour.r"));
    EXPECT_FALSE(defaults.setValueForKeyPath(Value::real(1), "values."));
}

} // namespace
