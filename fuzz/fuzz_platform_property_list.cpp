// Property lists from outside bytes, binary or XML. What the reader accepts
// must write again in the binary form and read back.
#include "platform/PropertyList.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Value value;
    QString error;
    if (!PropertyList::read(bytes, value, &error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    QByteArray again;
    // Absent values (a binary null) have no written form; anything else does.
    if (!PropertyList::write(value, PropertyList::Format::Binary, again, &error))
        return 0;
    Value back;
    if (!PropertyList::read(again, back, &error))
        std::abort();
    // The XML form may refuse texts and dates it cannot carry, never crash.
    PropertyList::write(value, PropertyList::Format::Xml, again, &error);
    return 0;
}
