#pragma once
// Converters between a bound value and what a control shows, and the
// process-wide registry in which interface files find them by name.
//
// Mapping of the framework names: `+transformedValueClass` and
// `+allowsReverseTransformation` are virtual members answered by the class;
// `+setValueTransformer:forName:` and `+valueTransformerForName:` are the
// static members of the same names. Registry use is main-thread only.

#include "platform/Value.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ValueTransformer;
using ValueTransformerRef = std::shared_ptr<const ValueTransformer>;

class ValueTransformer {
public:
    // What the forward transformation yields, for whoever shows it.
    enum class ValueClass { Object, Number, String, Image, Color };

    virtual ~ValueTransformer();

    virtual ValueClass transformedValueClass() const { return ValueClass::Object; }
    virtual bool allowsReverseTransformation() const { return false; }
    // The plain transformer passes the value through.
    virtual Value transformedValue(const Value& value) const { return value; }
    // The absent value means there is no sound answer: a binding then writes
    // nothing back. Transformers that allow the reverse override this.
    virtual Value reverseTransformedValue(const Value& value) const;

    // Registering under a name again replaces the instance; a null reference
    // removes the name.
    static void setValueTransformer(ValueTransformerRef transformer, const QString& name);
    // The instance registered under the name; failing that, a new instance of
    // the transformer class of that name, which is then registered under it.
    // Null when neither exists.
    static ValueTransformerRef valueTransformerForName(const QString& name);
    static QStringList valueTransformerNames();

    // Makes a transformer class findable by its class name.
    using Factory = std::function<ValueTransformerRef()>;
    static void registerValueTransformerClass(const QString& className, Factory factory);
    template <typename T>
    static void registerValueTransformerClass(const QString& className)
    {
        registerValueTransformerClass(className, [] { return std::make_shared<const T>(); });
    }
};
