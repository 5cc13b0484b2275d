#pragma once
// An image held as its encoded bytes: forward the bytes pass only when they
// decode as an image (a binding then shows them), absent data is the empty
// image; reverse, an image is stored as TIFF where a TIFF writer is installed
// and as PNG otherwise, so that it always reads back.

#include "platform/ValueTransformer.h"

class QvImgData : public ValueTransformer {
public:
    ValueClass transformedValueClass() const override { return ValueClass::Image; }
    bool allowsReverseTransformation() const override { return true; }
    Value transformedValue(const Value& value) const override;
    Value reverseTransformedValue(const Value& value) const override;
};
