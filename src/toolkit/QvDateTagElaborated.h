#pragma once
// Fills the date tags of a text with the current date and time, all from one
// reading of the clock, in the user's time zone:
//   <yy> year modulo 100, <YY> year, <mm> month, <dd> day,
//   <hh> hour (24-hour), <ii> minute, <ss> second
// Only these exact spellings are tags. Absent text gives "".

#include "platform/ValueTransformer.h"

class QvDateTagElaborated : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    Value transformedValue(const Value& value) const override;
};
