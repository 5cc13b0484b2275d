#pragma once
// Overwriting buffers that held contacts or passwords in clear before they are
// let go, so that the heap keeps no copy of them.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>
#include <string>

namespace Plaintext {

// Overwrites the contents with zeros in place, unless another holder still
// shares them (then they are not ours to change).
void cleanse(QByteArray& bytes);
void cleanse(QString& text);
// Cleanses, then lets the buffer go.
void wipe(QByteArray& bytes);
void wipe(QString& text);

void wipeBytes(void* bytes, std::size_t size);

// For standard containers of text in clear: every buffer given back is
// wiped first, also the one a growing string leaves behind.
template <typename T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept
    {
        wipeBytes(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    friend bool operator==(const WipingAllocator&, const WipingAllocator&) { return true; }
};
using String = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
// Overwrites the whole buffer, short text kept inside the string included.
void cleanse(String& text);

} // namespace Plaintext
