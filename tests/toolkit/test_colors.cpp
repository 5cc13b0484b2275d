#include "toolkit/QvColorUtilOSX.h"
#include "toolkit/QvDictToColorTransformer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

DictionaryRef colorDict(std::initializer_list<Dictionary::Entry> entries)
{
    return Dictionary::create(entries);
}

void expectDoubles(const DictionaryRef& dict, double r, double g, double b, double a)
{
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->allKeys(), QStringList({"r", "g", "b", "a"}));
    const double expected[] = {r, g, b, a};
    int i = 0;
    for (const auto& [key, value] : *dict) {
        EXPECT_EQ(value.kind(), Value::Kind::Real) << key.toStdString();
        EXPECT_EQ(value.doubleValue(), expected[i++]) << key.toStdString();
    }
}

ColorRef archived(int space, std::vector<double> components)
{
    auto c = std::make_shared<ArchivedColor>();
    c->colorSpace = space;
    c->components = std::move(components);
    return c;
}

ColorRef named(ColorRef fallback)
{
    auto c = std::make_shared<ArchivedColor>();
    c->colorSpace = 6;
    c->catalogName = QStringLiteral("System");
    c->colorName = QStringLiteral("controlTextColor");
    c->fallback = std::move(fallback);
    return c;
}

} // namespace

TEST(ColorDictionary, ReadsEachKeyInSinglePrecision)
{
    const auto red = colorDict({{"r", Value::real(1)}, {"g", Value::real(0)}, {"b", Value::real(0)}, {"a", Value::real(1)}});
    EXPECT_EQ(QvColorUtilOSX::NSColorFromDict(red), (QvColor{1, 0, 0, 1}));
    EXPECT_EQ(QvColorUtilOSX::NSColorFromDict(red).toQColor(), QColor(255, 0, 0, 255));

    // A missing key reads as 0: no "a" is fully transparent.
    const auto noAlpha = colorDict({{"r", Value::real(1)}, {"g", Value::real(1)}, {"b", Value::real(1)}});
    EXPECT_EQ(QvColorUtilOSX::NSColorFromDict(noAlpha).alpha, 0.0);

    const auto tenth = colorDict({{"r", Value::real(0.1)}, {"a", Value::int32(1)}});
    const QvColor c = QvColorUtilOSX::NSColorFromDict(tenth);
    EXPECT_EQ(c.red, double(0.1f));
    EXPECT_NE(c.red, 0.1);
    EXPECT_EQ(c.alpha, 1.0); // the new-category defaults store "a" as an integer

    EXPECT_EQ(QvColorUtilOSX::NSColorFromDict(Value()), (QvColor{0, 0, 0, 0}));
    EXPECT_EQ(QvColorUtilOSX::NSColorFromDict(Value("r")), (QvColor{0, 0, 0, 0}));
}

TEST(ColorDictionary, WritesTheComponentsAsExactDoubles)
{
    // Values that a 16-bit channel (QColor) would change.
    const QvColor precise{0.123456789012345, 1.0 / 3.0, 0.75, 0.999999};
    const DictionaryRef dict = QvColorUtilOSX::dictFromNSColor(precise);
    expectDoubles(dict, precise.red, precise.green, precise.blue, precise.alpha);

    // Each call makes a new dictionary.
    EXPECT_NE(QvColorUtilOSX::dictFromNSColor(precise), dict);

    // What was read once comes back unchanged however often it is read and written.
    const QvColor once = QvColorUtilOSX::NSColorFromDict(dict);
    const DictionaryRef again = QvColorUtilOSX::dictFromNSColor(once);
    expectDoubles(again, once.red, once.green, once.blue, once.alpha);
    EXPECT_EQ(QvColorUtilOSX::NSColorFromDict(again), once);
}

TEST(ColorDictionary, PaintingClampsDamagedComponents)
{
    const QColor painted = QvColor{5, -1, std::numeric_limits<double>::quiet_NaN(), 2}.toQColor();
    EXPECT_TRUE(painted.isValid());
    EXPECT_EQ(painted, QColor(255, 0, 0, 255));
    EXPECT_EQ(QvColor::fromQColor(QColor(0, 0, 255)), (QvColor{0, 0, 1, 1}));
}

TEST(ColorDictionary, ConvertsArchivedColours)
{
    struct Case {
        const char* what;
        ColorRef color;
        QvColor expected;
    };
    const Case cases[] = {
        {"calibrated RGB", ArchivedColor::rgb(0.75, 0.75, 0.75, 1.0), {0.75, 0.75, 0.75, 1.0}},
        {"device RGB", ArchivedColor::rgb(0.1, 0.2, 0.3, 0.4, 2), {0.1, 0.2, 0.3, 0.4}},
        {"calibrated white", ArchivedColor::white(1.0), {1, 1, 1, 1}},
        {"device white", ArchivedColor::white(0.25, 0.5, 4), {0.25, 0.25, 0.25, 0.5}},
        {"device CMYK", archived(5, {0.2, 0.5, 1.0, 0.25, 1.0}), {0.55, 0.25, 0.0, 1.0}},
        {"named with fallback", named(ArchivedColor::white(0.0, 1.0)), {0, 0, 0, 1}},
        {"component-based RGB", archived(7, {0.1, 0.2, 0.3, 1.0}), {0.1, 0.2, 0.3, 1.0}},
        {"component-based grey", archived(7, {0.5, 1.0}), {0.5, 0.5, 0.5, 1.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QvColor> rgb = QvColorUtilOSX::calibratedColor(*c.color);
        ASSERT_TRUE(rgb);
        EXPECT_DOUBLE_EQ(rgb->red, c.expected.red);
        EXPECT_DOUBLE_EQ(rgb->green, c.expected.green);
        EXPECT_DOUBLE_EQ(rgb->blue, c.expected.blue);
        EXPECT_DOUBLE_EQ(rgb->alpha, c.expected.alpha);
    }

    // The grey and white of categories migrated from the oldest documents.
    expectDoubles(QvColorUtilOSX::dictFromNSColor(Value(ArchivedColor::rgb(0.75, 0.75, 0.75, 1.0))), 0.75, 0.75, 0.75,
                  1.0);
    expectDoubles(QvColorUtilOSX::dictFromNSColor(Value(ArchivedColor::white(1.0))), 1, 1, 1, 1);
}

TEST(ColorDictionary, ColoursWithoutAnRgbFormGiveNoDictionary)
{
    const ColorRef noRgb[] = {
        named(nullptr),
        archived(7, {0.1, 0.2, 0.3}),
        archived(1, {}),
        archived(9, {0, 0, 0, 1}),
        named(named(named(named(named(ArchivedColor::white(1)))))), // deeper than any real archive
    };
    for (const ColorRef& c : noRgb)
        EXPECT_FALSE(QvColorUtilOSX::dictFromNSColor(*c));
    EXPECT_FALSE(QvColorUtilOSX::dictFromNSColor(Value()));
    EXPECT_FALSE(QvColorUtilOSX::dictFromNSColor(Value(colorDict({{"r", Value::real(1)}}))));
}

TEST(DictToNSColor, ConvertsBothWaysAndIsFoundByName)
{
    registerQvDictToNSColorClass();
    const ValueTransformerRef t = ValueTransformer::valueTransformerForName(QStringLiteral("QvDictToNSColor"));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->transformedValueClass(), ValueTransformer::ValueClass::Color);
    EXPECT_TRUE(t->allowsReverseTransformation());

    const auto dict = colorDict({{"r", Value::real(0.5)}, {"g", Value::real(0.25)}, {"b", Value::real(1)}, {"a", Value::int32(1)}});
    const Value color = t->transformedValue(Value(dict));
    ASSERT_TRUE(color.isColor());
    EXPECT_EQ(*color.color(), *ArchivedColor::rgb(0.5, 0.25, 1, 1));
    EXPECT_EQ(*t->transformedValue(Value()).color(), *ArchivedColor::rgb(0, 0, 0, 0));

    const Value back = t->reverseTransformedValue(color);
    ASSERT_TRUE(back.isDictionary());
    expectDoubles(back.dictionary(), 0.5, 0.25, 1, 1);
    EXPECT_TRUE(t->reverseTransformedValue(Value()).isNull());
}
