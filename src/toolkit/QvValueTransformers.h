#pragma once
// The toolkit's value transformers: small, stateless converters that the
// interface files name, either under a registered name or by class name.
//
// `initWithValue:`, `initWithString:`, `initWithSet:` and `initWithArray:` are
// constructors; plain `init` is the default constructor. Integer numbers
// answered here are 32-bit (Int32), booleans Bool, float numbers Real.
//
// Numbers are compared by their full 64-bit reading, so 65539 is not 3 and
// 40000 is greater than 0. A reverse transformation without a sound answer
// answers absent, which a binding does not write back.

#include "platform/ValueTransformer.h"

#include <QString>

// Makes every transformer class of the toolkit findable by its class name
// (`ValueTransformer::valueTransformerForName("QvValueIs3")`), the colour
// transformer included. Call once at start-up; calling again does no harm.
void registerQvValueTransformerClasses();

// Boolean: the number is not 0. Reverse: 1 for YES, else 0.
class QvIntToBool : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& value) const override;
    Value reverseTransformedValue(const Value& value) const override;
};

// Boolean: the number is 0 (absent gives YES). Reverse: 0 for YES, else 1.
class QvNegateIntToBool : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& value) const override;
    Value reverseTransformedValue(const Value& value) const override;
};

// 1 when the array holds more than one object, else 0. A number cannot tell
// which objects the array held, so the reverse has no answer.
class QvOneIfOneInArray : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& value) const override;
};

// 1 when the number is not 0, else 0.
class Qv1IfNot0 : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;
};

// 1 for a true boolean, else 0. Reverse: the number is not 0.
class QvNumberBoolToNumberNum : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& value) const override;
    Value reverseTransformedValue(const Value& value) const override;
};

// The comparisons with a fixed integer: 1 when the comparison holds, else 0;
// absent for an absent input.
class QvRefComparison : public ValueTransformer {
public:
    explicit QvRefComparison(qint32 reference = 0) : m_reference(reference) {}
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;
    qint32 reference() const { return m_reference; }

protected:
    // The input compared with the reference: negative, zero or positive.
    virtual bool holds(int comparison) const = 0;

private:
    qint32 m_reference;
};

class Qv1IfEqualToRef : public QvRefComparison {
public:
    using QvRefComparison::QvRefComparison;

protected:
    bool holds(int comparison) const override { return comparison == 0; }
};

// Reverse: YES gives the reference; NO has no answer.
class QvValueIsEqualToRef : public QvRefComparison {
public:
    using QvRefComparison::QvRefComparison;
    bool allowsReverseTransformation() const override { return true; }
    Value reverseTransformedValue(const Value& value) const override;

protected:
    bool holds(int comparison) const override { return comparison == 0; }
};

// Comparisons with a fixed digit, so that an interface file needs no code.
template <qint32 Digit>
class QvValueIsDigit : public QvValueIsEqualToRef {
public:
    QvValueIsDigit() : QvValueIsEqualToRef(Digit) {}
};
using QvValueIs0 = QvValueIsDigit<0>;
using QvValueIs1 = QvValueIsDigit<1>;
using QvValueIs2 = QvValueIsDigit<2>;
using QvValueIs3 = QvValueIsDigit<3>;
using QvValueIs4 = QvValueIsDigit<4>;
using QvValueIs5 = QvValueIsDigit<5>;
using QvValueIs6 = QvValueIsDigit<6>;
using QvValueIs7 = QvValueIsDigit<7>;
using QvValueIs8 = QvValueIsDigit<8>;
using QvValueIs9 = QvValueIsDigit<9>;

class QvValueIsGreaterOfRef : public QvRefComparison {
public:
    using QvRefComparison::QvRefComparison;

protected:
    bool holds(int comparison) const override { return comparison > 0; }
};

class QvValueIsSmallerOfRef : public QvRefComparison {
public:
    using QvRefComparison::QvRefComparison;

protected:
    bool holds(int comparison) const override { return comparison < 0; }
};

class QvValueNotEqualToRef : public QvRefComparison {
public:
    using QvRefComparison::QvRefComparison;

protected:
    bool holds(int comparison) const override { return comparison != 0; }
};

// The reference string, whatever the input.
class QvReturnInitStr : public ValueTransformer {
public:
    QvReturnInitStr() = default;
    explicit QvReturnInitStr(const QString& reference) : m_reference(Value::string(reference)) {}
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    Value transformedValue(const Value& value) const override;

private:
    Value m_reference;
};

// The input times the reference, in single precision.
class QvValueMultipliedBy : public ValueTransformer {
public:
    QvValueMultipliedBy() = default;
    explicit QvValueMultipliedBy(const Value& reference) : m_reference(reference) {}
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;

private:
    Value m_reference;
};

// The row height for a font size: size × 1.4 + 2, in single precision, the
// fraction cut off. 10, 12 and 14 give 16, 18 and 21.
class QvHeightForFontSize : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;
};

// Boolean: the input is a string equal to the reference.
class QvValueIsEqualToStr : public ValueTransformer {
public:
    QvValueIsEqualToStr() = default;
    explicit QvValueIsEqualToStr(const QString& reference) : m_reference(reference) {}
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;

private:
    QString m_reference;
};

// Boolean: the input equals a member of the reference collection. A set and
// an array answer alike: membership by equality.
class QvValueIsInArray : public ValueTransformer {
public:
    QvValueIsInArray() = default;
    explicit QvValueIsInArray(ArrayRef reference) : m_reference(std::move(reference)) {}
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;

private:
    ArrayRef m_reference;
};

class QvValueIsInSet : public QvValueIsInArray {
public:
    using QvValueIsInArray::QvValueIsInArray;
};

// Boolean: the string is empty once spaces (U+0020 only) are cut from both
// ends; absent counts as empty.
class QvEmptyTrimmedString : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;
};

// The opposite of QvEmptyTrimmedString.
class QvFilledTrimmedString : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    Value transformedValue(const Value& value) const override;
};
