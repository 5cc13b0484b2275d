#include "toolkit/QvDictToColorTransformer.h"

#include "toolkit/QvColorUtilOSX.h"

Value QvDictToNSColor::transformedValue(const Value& value) const
{
    return QvColorUtilOSX::NSColorFromDict(value).toValue();
}

Value QvDictToNSColor::reverseTransformedValue(const Value& value) const
{
    return Value(QvColorUtilOSX::dictFromNSColor(value));
}

void registerQvDictToNSColorClass()
{
    ValueTransformer::registerValueTransformerClass<QvDictToNSColor>(QStringLiteral("QvDictToNSColor"));
}
