#pragma once
// The file a bookmark (QvBookmark) stands for, as a path or a file name.
// Absent data gives ""; data that does not resolve gives absent. The stale
// flag of the resolution is not looked at.

#include "platform/ValueTransformer.h"

class QvPathFromBookmark : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    Value transformedValue(const Value& value) const override;
};

class QvNameFromBookmark : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    Value transformedValue(const Value& value) const override;
};
