#include "toolkit/QvValueTransformers.h"

#include "platform/Binding.h"
#include "platform/Clock.h"
#include "platform/KeyedArchive.h"
#include "platform/Defaults.h"

#include "toolkit/QvBookmark.h"
#include "toolkit/QvBookmarkTransformers.h"
#include "toolkit/QvDateTagElaborated.h"
#include "toolkit/QvImgData.h"
#include "toolkit/QvUnarchivieFromDataToText.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

struct Case {
    const char* what;
    ValueTransformerRef transformer;
    Value input;
    Value expected;
};

template <typename T, typename... Args>
ValueTransformerRef make(Args&&... args)
{
    return std::make_shared<const T>(std::forward<Args>(args)...);
}

// The kind counts: an integer number is not a boolean, a float not an integer.
void expectSame(const Value& actual, const Value& expected, const std::string& what)
{
    EXPECT_EQ(actual.kind(), expected.kind()) << what;
    EXPECT_TRUE(actual.isNull() ? expected.isNull() : actual.isEqual(expected))
        << what << ": got " << actual.stringValue().toStdString();
}

const Value kAbsent;
const Value kYes = Value::boolean(true);
const Value kNo = Value::boolean(false);
Value i32(qint32 i) { return Value::int32(i); }

ArrayRef oneAndA()
{
    return Array::create({Value::int32(1), Value("a")});
}

TEST(ValueTransformers, ForwardTable)
{
    const auto intToBool = make<QvIntToBool>();
    const auto negate = make<QvNegateIntToBool>();
    const auto oneIfOne = make<QvOneIfOneInArray>();
    const auto notZero = make<Qv1IfNot0>();
    const auto boolToNum = make<QvNumberBoolToNumberNum>();
    const auto equal3 = make<QvValueIsEqualToRef>(3);
    const auto oneIfEqual3 = make<Qv1IfEqualToRef>(3);
    const auto greater0 = make<QvValueIsGreaterOfRef>(0);
    const auto smaller0 = make<QvValueIsSmallerOfRef>(0);
    const auto notEqual0 = make<QvValueNotEqualToRef>(0);
    const auto initStr = make<QvReturnInitStr>("Hello");
    const auto times = make<QvValueMultipliedBy>(Value::real(2.5));
    const auto height = make<QvHeightForFontSize>();
    const auto isStr = make<QvValueIsEqualToStr>("Open Selected Document");
    const auto inSet = make<QvValueIsInSet>(oneAndA());
    const auto inArray = make<QvValueIsInArray>(oneAndA());
    const auto empty = make<QvEmptyTrimmedString>();
    const auto filled = make<QvFilledTrimmedString>();
    const Value twoToThe32 = Value::int64(qint64(1) << 32);

    const Case cases[] = {
        {"int to bool 5", intToBool, i32(5), kYes},
        {"int to bool 0", intToBool, i32(0), kNo},
        {"int to bool absent", intToBool, kAbsent, kNo},
        {"int to bool 65536", intToBool, i32(65536), kYes},
        {"int to bool 2^32", intToBool, twoToThe32, kYes},
        {"negate 0", negate, i32(0), kYes},
        {"negate absent", negate, kAbsent, kYes},
        {"negate 2^32", negate, twoToThe32, kNo},
        {"one in array: one", oneIfOne, Value(Array::create({Value("x")})), i32(0)},
        {"one in array: two", oneIfOne, Value(Array::create({Value("x"), Value("y")})), i32(1)},
        {"one in array: empty", oneIfOne, Value(Array::create()), i32(0)},
        {"one in array: absent", oneIfOne, kAbsent, i32(0)},
        {"1 if not 0: 7", notZero, i32(7), i32(1)},
        {"1 if not 0: 0", notZero, i32(0), i32(0)},
        {"1 if not 0: absent", notZero, kAbsent, i32(0)},
        {"1 if not 0: 2^32", notZero, twoToThe32, i32(1)},
        {"bool to num yes", boolToNum, kYes, i32(1)},
        {"bool to num absent", boolToNum, kAbsent, i32(0)},
        {"equal 3: 3", equal3, i32(3), i32(1)},
        {"equal 3: 65539", equal3, i32(65539), i32(0)},
        {"equal 3: 3 + 2^32", equal3, Value::int64((qint64(1) << 32) + 3), i32(0)},
        {"equal 3: 3.7", equal3, Value::real(3.7), i32(1)},
        {"equal 3: absent", equal3, kAbsent, kAbsent},
        {"digit class 3", make<QvValueIs3>(), i32(3), i32(1)},
        {"digit class 9", make<QvValueIs9>(), i32(3), i32(0)},
        {"plain init compares with 0", make<QvValueIsEqualToRef>(), i32(0), i32(1)},
        {"1 if equal 3: 3", oneIfEqual3, i32(3), i32(1)},
        {"1 if equal 3: 65539", oneIfEqual3, i32(65539), i32(0)},
        {"greater 0: -1", greater0, i32(-1), i32(0)},
        {"greater 0: 1", greater0, i32(1), i32(1)},
        {"greater 0: 40000", greater0, i32(40000), i32(1)},
        {"greater 0: largest unsigned", greater0, Value::uint64(std::numeric_limits<quint64>::max()), i32(1)},
        {"greater 0: absent", greater0, kAbsent, kAbsent},
        {"smaller 0: -1", smaller0, i32(-1), i32(1)},
        {"smaller 0: 65535", smaller0, i32(65535), i32(0)},
        {"not equal 0: 65536", notEqual0, i32(65536), i32(1)},
        {"not equal 0: 0", notEqual0, i32(0), i32(0)},
        {"not equal 0: absent", notEqual0, kAbsent, kAbsent},
        {"init string: absent", initStr, kAbsent, Value("Hello")},
        {"init string: number", initStr, i32(5), Value("Hello")},
        {"multiplied 3", times, i32(3), Value::real(7.5)},
        {"multiplied 0.1 in single precision", times, Value::real(0.1), Value::real(double(0.1f * 2.5f))},
        {"multiplied absent", times, kAbsent, kAbsent},
        {"height 10", height, Value::real(10), i32(16)},
        {"height 12", height, i32(12), i32(18)},
        {"height 14", height, Value::real(14), i32(21)},
        {"height 85 in single precision", height, i32(85), i32(121)},
        {"height absent", height, kAbsent, kAbsent},
        {"height past any integer", height, Value::real(1e30), i32(std::numeric_limits<qint32>::max())},
        {"height of no number", height, Value::real(std::nan("")), i32(0)},
        {"string equal", isStr, Value("Open Selected Document"), kYes},
        {"string equal is exact", isStr, Value("open selected document"), kNo},
        {"string equal: a number", isStr, i32(0), kNo},
        {"string equal: absent", isStr, kAbsent, kAbsent},
        {"in set: 1.0", inSet, Value::real(1.0), kYes},
        {"in set: b", inSet, Value("b"), kNo},
        {"in set: absent", inSet, kAbsent, kAbsent},
        {"in array: a", inArray, Value("a"), kYes},
        {"in array: \"1\"", inArray, Value("1"), kNo},
        {"empty: blanks", empty, Value("   "), kYes},
        {"empty: tab", empty, Value("\t"), kNo},
        {"empty: absent", empty, kAbsent, kYes},
        {"empty: word", empty, Value(" a "), kNo},
        {"filled: blanks", filled, Value("   "), kNo},
        {"filled: tab", filled, Value("\t"), kYes},
        {"filled: absent", filled, kAbsent, kNo},
    };
    for (const Case& c : cases)
        expectSame(c.transformer->transformedValue(c.input), c.expected, c.what);
}

TEST(ValueTransformers, ReverseTable)
{
    const auto intToBool = make<QvIntToBool>();
    const auto negate = make<QvNegateIntToBool>();
    const auto boolToNum = make<QvNumberBoolToNumberNum>();
    const auto equal3 = make<QvValueIsEqualToRef>(3);
    const auto oneIfOne = make<QvOneIfOneInArray>();
    const Case cases[] = {
        {"int to bool yes", intToBool, kYes, i32(1)},
        {"int to bool no", intToBool, kNo, i32(0)},
        {"negate yes", negate, kYes, i32(0)},
        {"negate no", negate, kNo, i32(1)},
        {"bool to num 1", boolToNum, i32(1), kYes},
        {"bool to num 0", boolToNum, i32(0), kNo},
        {"bool to num 2^32", boolToNum, Value::int64(qint64(1) << 32), kYes},
        {"equal 3 yes", equal3, kYes, i32(3)},
        // No sound answer: absent, which a binding does not write.
        {"equal 3 no", equal3, kNo, kAbsent},
        {"digit class yes", make<QvValueIs7>(), kYes, i32(7)},
        {"one in array", oneIfOne, i32(1), kAbsent},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.transformer->allowsReverseTransformation()) << c.what;
        expectSame(c.transformer->reverseTransformedValue(c.input), c.expected, c.what);
    }
    const ValueTransformerRef oneWay[] = {
        make<Qv1IfNot0>(),         make<Qv1IfEqualToRef>(1),    make<QvValueIsGreaterOfRef>(1),
        make<QvValueIsSmallerOfRef>(1), make<QvValueNotEqualToRef>(1), make<QvReturnInitStr>("x"),
        make<QvValueMultipliedBy>(), make<QvHeightForFontSize>(), make<QvValueIsEqualToStr>("x"),
        make<QvValueIsInSet>(),    make<QvValueIsInArray>(),    make<QvEmptyTrimmedString>(),
        make<QvFilledTrimmedString>(),
    };
    for (const auto& t : oneWay)
        EXPECT_FALSE(t->allowsReverseTransformation());
}

TEST(ValueTransformers, ClassesAreFoundByName)
{
    registerQvValueTransformerClasses();
    const ValueTransformerRef seven = ValueTransformer::valueTransformerForName("QvValueIs7");
    ASSERT_TRUE(seven);
    expectSame(seven->transformedValue(i32(7)), i32(1), "QvValueIs7");
    const ValueTransformerRef height = ValueTransformer::valueTransformerForName("QvHeightForFontSize");
    ASSERT_TRUE(height);
    EXPECT_EQ(height->transformedValueClass(), ValueTransformer::ValueClass::Number);
    expectSame(height->transformedValue(i32(12)), i32(18), "QvHeightForFontSize");
    for (const char* name : {"QvUnarchivieFromDataToText", "QvPathFromBookmark", "QvDictToNSColor", "QvValueIsInSet"})
        EXPECT_TRUE(ValueTransformer::valueTransformerForName(name)) << name;
}

// A check box that stands for one start-up action: unchecking it says which
// action the user does not want, not which one they do, so nothing is written.
TEST(ValueTransformers, BoundCheckBoxWritesOnlySoundAnswers)
{
    QTemporaryDir dir;
    Defaults defaults(dir.filePath("defaults.conf"));
    defaults.registerDefaults(Dictionary::create({{"StartupActionTag", i32(0)}}));
    ValueTransformer::setValueTransformer(make<QvValueIsEqualToRef>(3), "valueIs3");
    QCheckBox box;
    box.setProperty(Binding::kDeclarationProperty, "checked: defaults.values.StartupActionTag | valueIs3");
    ASSERT_TRUE(Binding::bindTree(&box, {{"defaults", &defaults}}));
    EXPECT_FALSE(box.isChecked());

    box.click();
    EXPECT_EQ(defaults.objectForKey("StartupActionTag").kind(), Value::Kind::Int32);
    EXPECT_EQ(defaults.integerForKey("StartupActionTag"), 3);

    box.click();
    EXPECT_EQ(defaults.integerForKey("StartupActionTag"), 3);
    EXPECT_TRUE(box.isChecked());
}

} // namespace

namespace {

// Counts its readings, so that a text is seen to be filled from one of them.
class CountingClock : public Clock {
public:
    explicit CountingClock(QDateTime time) : time(std::move(time)) {}
    QDateTime currentDateTime() const override
    {
        ++readings;
        return time;
    }
    QDateTime time;
    mutable int readings = 0;

private:
    ScopedSeam<Clock> m_install{this};
};

TEST(DateTags, FilledFromOneReadingOfTheClock)
{
    CountingClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    const QvDateTagElaborated tags;
    struct {
        const char* text;
        const char* expected;
    } const cases[] = {
        {"<YY>-<mm>-<dd> <hh>.<ii>.<ss>", "2026-12-08 09.05.07"},
        {"<yy>", "26"},
        {"<MM> <DD> <YYYY> <Yy> <mi>", "<MM> <DD> <YYYY> <Yy> <mi>"},
        {"<dd>/<dd>", "08/08"},
        {"", ""},
    };
    for (const auto& c : cases)
        expectSame(tags.transformedValue(Value(c.text)), Value(c.expected), c.text);
    EXPECT_EQ(clock.readings, int(std::size(cases)));
    expectSame(tags.transformedValue(kAbsent), Value(""), "absent");

    clock.time = QDateTime(QDate(2005, 1, 2), QTime(23, 0, 0));
    expectSame(tags.transformedValue(Value("<yy><mm><dd>-<hh>")), Value("050102-23"), "2005");
}

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(ImageData, PassesOnlyImagesEitherWay)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    const Value png = Value::data(pngOf(image));
    const QvImgData t;
    EXPECT_EQ(t.transformedValueClass(), ValueTransformer::ValueClass::Image);
    expectSame(t.transformedValue(png), png, "an image");
    expectSame(t.transformedValue(kAbsent), Value::data({}), "absent is the empty image");
    expectSame(t.transformedValue(Value::data("no image")), kAbsent, "not an image");
    expectSame(t.transformedValue(Value("text")), kAbsent, "not data");

    const Value back = t.reverseTransformedValue(png);
    ASSERT_TRUE(back.isData());
    const QImage decoded = QImage::fromData(back.dataValue());
    EXPECT_EQ(decoded.size(), image.size());
    EXPECT_EQ(decoded.pixelColor(2, 1), QColor(10, 20, 30));
    expectSame(t.reverseTransformedValue(Value::data({})), Value::data({}), "the empty image");
    expectSame(t.reverseTransformedValue(Value::data("no image")), kAbsent, "no sound answer");
}

TEST(BookmarkTransformers, PathAndNameOfTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Start up.calvorin");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const Value bookmark = Value::data(QvBookmark::bookmarkForURL_RW(QUrl::fromLocalFile(path)));
    ASSERT_FALSE(bookmark.dataValue().isEmpty());
    const QvPathFromBookmark pathOf;
    const QvNameFromBookmark nameOf;
    expectSame(pathOf.transformedValue(bookmark), Value(path), "path");
    expectSame(nameOf.transformedValue(bookmark), Value("Start up.calvorin"), "name");
    expectSame(pathOf.transformedValue(kAbsent), Value(""), "absent path");
    expectSame(nameOf.transformedValue(kAbsent), Value(""), "absent name");
    expectSame(pathOf.transformedValue(Value::data("not a bookmark")), kAbsent, "garbage path");
    ASSERT_TRUE(QFile::remove(path));
    expectSame(pathOf.transformedValue(bookmark), kAbsent, "file gone");
    expectSame(nameOf.transformedValue(bookmark), kAbsent, "file gone");
}

QByteArray sharedFixture(const char* name)
{
    QFile f(QStringLiteral(CALVORIN_SHARED_FIXTURES "/keyed-archive/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ArchivedText, OnlyTextComesOut)
{
    const QvUnarchivieFromDataToText t;
    const QByteArray archivedText = KeyedArchiver::archivedDataWithRootObject(Value("Hello, world"));
    ASSERT_FALSE(archivedText.isEmpty());
    const QByteArray arrayArchive = sharedFixture("array-xml.plist");
    const QByteArray foreignClasses = sharedFixture("complex-binary.plist");
    ASSERT_FALSE(arrayArchive.isEmpty());
    ASSERT_FALSE(foreignClasses.isEmpty());
    const Case cases[] = {
        {"archived text", nullptr, Value::data(archivedText), Value("Hello, world")},
        {"archived number", nullptr, Value::data(KeyedArchiver::archivedDataWithRootObject(Value::int32(3))), kAbsent},
        {"archived array", nullptr, Value::data(arrayArchive), kAbsent},
        {"classes we do not decode", nullptr, Value::data(foreignClasses), kAbsent},
        {"damaged archive", nullptr, Value::data(archivedText.left(archivedText.size() / 2)), kAbsent},
        {"no archive", nullptr, Value::data("plain bytes"), kAbsent},
        {"a string, not data", nullptr, Value("Hello"), kAbsent},
        {"absent", nullptr, kAbsent, kAbsent},
    };
    for (const Case& c : cases)
        expectSame(t.transformedValue(c.input), c.expected, c.what);
}

} // namespace
