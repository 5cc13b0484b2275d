#pragma once
// A ColorDictionary shown as a colour (a colour well bound to a category's
// colour), by the rules of QvColorUtilOSX. Absent input gives the colour of
// four zero components; the reverse makes a new mutable dictionary of the
// colour, or answers absent for a value that is no colour.

#include "platform/ValueTransformer.h"

class QvDictToNSColor : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Color; }
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& value) const override;
    Value reverseTransformedValue(const Value& value) const override;
};

// Makes QvDictToNSColor findable by its class name; call at start-up beside
// registerQvValueTransformerClasses(). Calling again does no harm.
void registerQvDictToNSColorClass();
