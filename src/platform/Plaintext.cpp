#include "platform/Plaintext.h"

#include <cstring>

namespace Plaintext {

void cleanse(QByteArray& bytes)
{
    if (!bytes.isEmpty() && bytes.isDetached())
        explicit_bzero(bytes.data(), static_cast<size_t>(bytes.size()));
}

void cleanse(QString& text)
{
    if (!text.isEmpty() && text.isDetached())
        explicit_bzero(text.data(), static_cast<size_t>(text.size()) * sizeof(QChar));
}

void wipe(QByteArray& bytes)
{
    cleanse(bytes);
    bytes.clear();
}

void wipe(QString& text)
{
    cleanse(text);
    text.clear();
}

void wipeBytes(void* bytes, std::size_t size)
{
    if (bytes && size)
        explicit_bzero(bytes, size);
}

void cleanse(String& text)
{
    wipeBytes(text.data(), text.capacity());
}

} // namespace Plaintext
