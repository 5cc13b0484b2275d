#include "platform/ValueTransformer.h"

#include <QHash>

namespace {

struct Registry {
    QHash<QString, ValueTransformerRef> instances;
    QHash<QString, ValueTransformer::Factory> classes;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

ValueTransformer::~ValueTransformer() = default;

Value ValueTransformer::reverseTransformedValue(const Value&) const
{
    return {};
}

void ValueTransformer::setValueTransformer(ValueTransformerRef transformer, const QString& name)
{
    if (transformer)
        registry().instances.insert(name, std::move(transformer));
    else
        registry().instances.remove(name);
}

ValueTransformerRef ValueTransformer::valueTransformerForName(const QString& name)
{
    Registry& r = registry();
    if (const auto it = r.instances.constFind(name); it != r.instances.constEnd())
        return *it;
    const auto factory = r.classes.constFind(name);
    if (factory == r.classes.constEnd() || !*factory)
        return nullptr;
    ValueTransformerRef made = (*factory)();
    if (made)
        r.instances.insert(name, made);
    return made;
}

QStringList ValueTransformer::valueTransformerNames()
{
    QStringList names = registry().instances.keys();
    names.sort();
    return names;
}

void ValueTransformer::registerValueTransformerClass(const QString& className, Factory factory)
{
    registry().classes.insert(className, std::move(factory));
}
