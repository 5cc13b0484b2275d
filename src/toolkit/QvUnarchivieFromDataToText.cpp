#include "toolkit/QvUnarchivieFromDataToText.h"

#include "platform/KeyedArchive.h"

Value QvUnarchivieFromDataToText::transformedValue(const Value& value) const
{
    if (!value.isData())
        return {};
    const Value text = KeyedUnarchiver::unarchiveObjectWithData(value.dataValue());
    return text.isString() ? text : Value();
}
