// Keyed archives from outside bytes, binary or XML. Whatever the reader
// accepts must archive again and read back: it holds nothing the writer
// cannot write, however the bytes nest or share their objects.
#include "platform/KeyedArchive.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Value value;
    QString error;
    if (!KeyedUnarchiver::unarchive(bytes, value, &error)) {
        if (error.isEmpty())
            std::abort(); // a failure always says why
        return 0;
    }
    QByteArray again;
    if (!KeyedArchiver::archive(value, again, &error))
        std::abort();
    Value back;
    if (!KeyedUnarchiver::unarchive(again, back, &error))
        std::abort();
    return 0;
}
