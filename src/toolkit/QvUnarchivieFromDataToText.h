#pragma once
// The text of a keyed archive of a string. The bytes are read only by our
// keyed unarchiver, which knows a fixed set of value classes and refuses
// anything else; an archive of anything but text, or bytes that are no
// archive, give absent.

#include "platform/ValueTransformer.h"

class QvUnarchivieFromDataToText : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    Value transformedValue(const Value& value) const override;
};
