#include "platform/Binding.h"
#include "platform/Defaults.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <limits>

namespace {

// Shows twice the value; only an even number has a sound way back.
class Doubling : public ValueTransformer {
public:
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& v) const override
    {
        return v.isNull() ? Value() : Value::int64(v.longLongValue() * 2);
    }
    Value reverseTransformedValue(const Value& v) const override
    {
        return v.longLongValue() % 2 == 0 ? Value::int64(v.longLongValue() / 2) : Value();
    }
};

class Negating : public ValueTransformer {
public:
    Value transformedValue(const Value& v) const override { return Value::boolean(!v.boolValue()); }
};

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        defaults.registerDefaults(Dictionary::create({{"size", Value::int32(6)},
                                                      {"name", Value("Lucida Grande")},
                                                      {"locked", Value::boolean(false)}}));
        ValueTransformer::setValueTransformer(std::make_shared<Doubling>(), "doubled");
    }

    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("defaults.conf"))};
    QHash<QString, Observable*> controllers{{QStringLiteral("defaults"), &defaults}};
};

TEST_F(BindingTest, NamedTransformerMovesValuesBothWays)
{
    QSpinBox spin;
    spin.setRange(-100, 100);
    spin.setProperty(Binding::kDeclarationProperty, "value: defaults.values.size | doubled");
    ASSERT_TRUE(Binding::bindTree(&spin, controllers));
    EXPECT_EQ(spin.value(), 12);

    defaults.setObject(Value::int32(10), "size");
    EXPECT_EQ(spin.value(), 20);

    spin.setValue(30);
    EXPECT_EQ(defaults.objectForKey("size").kind(), Value::Kind::Int64);
    EXPECT_EQ(defaults.integerForKey("size"), 15);
    EXPECT_EQ(spin.value(), 30);
}

TEST_F(BindingTest, EditWithoutSoundReverseWritesNothing)
{
    QSpinBox spin;
    spin.setRange(-100, 100);
    ASSERT_TRUE(Binding::bind(&spin, "value", &defaults, "values.size",
                              ValueTransformer::valueTransformerForName("doubled")));
    spin.setValue(31); // odd: no value doubles to it
    EXPECT_FALSE(defaults.hasUserValueForKey("size"));
    EXPECT_EQ(defaults.integerForKey("size"), 6);
    EXPECT_EQ(spin.value(), 12); // shows the value again

    QCheckBox box;
    ASSERT_TRUE(Binding::bind(&box, "checked", &defaults, "values.locked", std::make_shared<Negating>()));
    EXPECT_TRUE(box.isChecked());
    box.click(); // a transformer without a reverse never writes
    EXPECT_FALSE(defaults.hasUserValueForKey("locked"));
    EXPECT_TRUE(box.isChecked());
}

TEST_F(BindingTest, PlainBindingsFollowTypingAndClicks)
{
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* box = new QCheckBox(&window);
    new QVBoxLayout(&window);
    window.layout()->addWidget(field);
    window.layout()->addWidget(box);
    field->setProperty(Binding::kDeclarationProperty, "text: defaults.values.name");
    box->setProperty(Binding::kDeclarationProperty, "checked: defaults.values.locked;\n enabled: defaults.values.size");
    ASSERT_TRUE(Binding::bindTree(&window, controllers));
    EXPECT_EQ(field->text(), "Lucida Grande");
    EXPECT_FALSE(box->isChecked());

    field->clear();
    QTest::keyClicks(field, "Courier");
    EXPECT_EQ(defaults.stringForKey("name"), "Courier");
    EXPECT_EQ(field->text(), "Courier");

    box->click();
    EXPECT_EQ(defaults.objectForKey("locked").kind(), Value::Kind::Bool);
    EXPECT_TRUE(defaults.boolForKey("locked"));

    defaults.setObject(Value::int32(0), "size");
    EXPECT_FALSE(box->isEnabled());
}

TEST_F(BindingTest, AnIntegerBeyondTheControlShowsSaturatedAndStaysStored)
{
    constexpr int most = std::numeric_limits<int>::max();
    constexpr int least = std::numeric_limits<int>::min();
    const struct {
        Value stored;
        int shown;
    } cases[] = {{Value::int64(4294967306), most},    {Value::int64(-4294967306), least},
                 {Value::uint64(~0ull), most},        {Value("12345678901234567890"), most},
                 {Value::int64(45), 45},              {Value::real(1e300), most}};
    QSpinBox spin;
    spin.setRange(least, most);
    ASSERT_TRUE(Binding::bind(&spin, "value", &defaults, "values.size"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        defaults.setObject(c.stored, "size");
        EXPECT_EQ(spin.value(), c.shown) << "not the low 32 bits";
        EXPECT_EQ(defaults.objectForKey("size"), c.stored) << "showing writes nothing back";
    }
}

TEST_F(BindingTest, ClassNamesFindTransformersToo)
{
    ValueTransformer::registerValueTransformerClass<Negating>("TestNegating");
    const ValueTransformerRef first = ValueTransformer::valueTransformerForName("TestNegating");
    ASSERT_TRUE(first);
    EXPECT_EQ(ValueTransformer::valueTransformerForName("TestNegating"), first); // made once, then registered
    EXPECT_FALSE(ValueTransformer::valueTransformerForName("NoSuchTransformer"));

    // Registering a name again replaces the instance; a binding keeps the one it has.
    QCheckBox box;
    Binding* binding = Binding::bind(&box, "checked", &defaults, "values.locked", first);
    ValueTransformer::setValueTransformer(std::make_shared<Doubling>(), "TestNegating");
    EXPECT_NE(ValueTransformer::valueTransformerForName("TestNegating"), first);
    EXPECT_EQ(binding->transformer(), first);
    ValueTransformer::setValueTransformer(nullptr, "TestNegating");
    EXPECT_FALSE(ValueTransformer::valueTransformerNames().contains("TestNegating"));
}

TEST_F(BindingTest, BadDeclarationsAreReportedAndTheRestBound)
{
    QWidget window;
    auto* good = new QLineEdit(&window);
    auto* bad = new QLineEdit(&window);
    bad->setObjectName("bad");
    good->setProperty(Binding::kDeclarationProperty, "text: defaults.values.name");
    bad->setProperty(Binding::kDeclarationProperty,
                     "text defaults.values.name; text: nowhere.values.name; text: defaults.values.name | nope;"
                     "colour: defaults.values.name; text: defaults; text: defaults.values.name |");
    QString errors;
    EXPECT_FALSE(Binding::bindTree(&window, controllers, &errors));
    EXPECT_EQ(good->text(), "Lucida Grande");
    EXPECT_TRUE(bad->text().isEmpty());
    EXPECT_EQ(errors.count(u'\n'), 5) << errors.toStdString();
    EXPECT_TRUE(errors.contains("no controller named nowhere"));
    EXPECT_TRUE(errors.contains("no value transformer named nope"));
    EXPECT_TRUE(errors.contains("no writable property colour"));
}

TEST_F(BindingTest, ControllerGoneLeavesTheWidgetAlone)
{
    QLineEdit field;
    {
        Defaults shortLived(dir.filePath(QStringLiteral("other.conf")));
        ASSERT_TRUE(Binding::bind(&field, "text", &shortLived, "values.x"));
    }
    QTest::keyClicks(&field, "still works");
    EXPECT_EQ(field.text(), "still works");
}

TEST(ObservableKeyPaths, ChangeReachesOnlyRelatedPaths)
{
    struct Case {
        const char* changed;
        const char* observed;
        bool affects;
    };
    const Case cases[] = {
        {"values.a", "values.a", true},   {"values", "values.a", true},     {"selection.cat", "selection", true},
        {"values.a", "values.ab", false}, {"values.ab", "values.a", false}, {"values.a", "values.b.a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Observable::keyPathAffects(c.changed, c.observed), c.affects) << c.changed << " " << c.observed;
}

} // namespace
