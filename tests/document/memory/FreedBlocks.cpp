#include "FreedBlocks.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <malloc.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WATCH_WITH_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define WATCH_WITH_SANITIZER 1
#endif

#ifdef WATCH_WITH_SANITIZER
#include <sanitizer/allocator_interface.h>
#endif

namespace {

constexpr int kMaxNeedles = 64;
constexpr int kMaxFindings = 4096;

std::atomic<bool> armed{false};
FreedBlocks::Needle needles[kMaxNeedles];
int needleCount = 0;
FreedBlocks::Finding stored[kMaxFindings];
std::atomic<int> storedCount{0};
thread_local bool inside = false;

std::size_t sizeOf(void* block)
{
#ifdef WATCH_WITH_SANITIZER
    return __sanitizer_get_allocated_size(block);
#else
    return malloc_usable_size(block);
#endif
}

// Needles by their first two bytes, one bit each.
std::uint64_t byFirstTwo[1 << 16];

bool startsWith(const unsigned char* at, const unsigned char* end, const char* bytes, std::size_t size)
{
    if (std::size_t(end - at) < size)
        return false;
    for (std::size_t k = 0; k < size; ++k)
        if (at[k] != static_cast<unsigned char>(bytes[k]))
            return false;
    return true;
}

// Called with a block that is about to be freed. Plain loops: the sanitizer's
// own string functions would check bytes it keeps poisoned inside the block.
__attribute__((no_sanitize("address"))) void beforeFree(void* block)
{
    if (!block || !armed.load(std::memory_order_relaxed) || inside)
        return;
    inside = true;
    const std::size_t size = sizeOf(block);
    auto* bytes = static_cast<unsigned char*>(block);
    const unsigned char* end = bytes + size;
    std::uint64_t found = 0;
    for (const unsigned char* at = bytes; at + 1 < end; ++at) {
        const std::uint64_t candidates = byFirstTwo[at[0] | (at[1] << 8)] & ~found;
        if (!candidates)
            continue;
        for (int i = 0; i < needleCount; ++i)
            if ((candidates >> i & 1) && startsWith(at, end, needles[i].bytes, needles[i].size))
                found |= std::uint64_t(1) << i;
    }
    bool archive = false;
    for (const unsigned char* at = bytes; found && at < bytes + std::min<std::size_t>(size, 64); ++at)
        archive = archive || startsWith(at, end, "bplist00", 8);
    for (int i = 0; i < needleCount; ++i) {
        if (!(found >> i & 1))
            continue;
        const int slot = storedCount.fetch_add(1);
        if (slot >= kMaxFindings)
            break;
        FreedBlocks::Finding& f = stored[slot];
        f.blockSize = size;
        f.needle = i;
        f.archive = archive;
        f.depth = backtrace(f.frames, 24);
    }
    inside = false;
}

#ifdef WATCH_WITH_SANITIZER
void mallocHook(const volatile void*, std::size_t) {}
void freeHook(const volatile void* block)
{
    beforeFree(const_cast<void*>(block));
}
#endif

} // namespace

#ifndef WATCH_WITH_SANITIZER
// The allocator's own entry points, under the names that stand in for it.
extern "C" void __libc_free(void*);
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);

extern "C" void free(void* block)
{
    beforeFree(block);
    __libc_free(block);
}

// A moving realloc frees the old block inside the allocator; done here by
// hand so that the old block is watched too.
extern "C" void* realloc(void* block, std::size_t size)
{
    if (!block || !armed.load(std::memory_order_relaxed) || inside)
        return __libc_realloc(block, size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    const std::size_t old = malloc_usable_size(block);
    if (size <= old)
        return block;
    void* moved = __libc_malloc(size);
    if (!moved)
        return nullptr;
    std::memcpy(moved, block, old);
    free(block);
    return moved;
}
#endif

void FreedBlocks::arm(const std::vector<Needle>& list)
{
    // The first backtrace loads what it needs; not from inside free().
    void* warm[4];
    backtrace(warm, 4);
    armed = false;
    needleCount = 0;
    std::fill(std::begin(byFirstTwo), std::end(byFirstTwo), 0);
    for (const Needle& n : list) {
        if (needleCount == kMaxNeedles || n.size < 2)
            continue;
        const auto* b = reinterpret_cast<const unsigned char*>(n.bytes);
        byFirstTwo[b[0] | (b[1] << 8)] |= std::uint64_t(1) << needleCount;
        needles[needleCount++] = n;
    }
    storedCount = 0;
#ifdef WATCH_WITH_SANITIZER
    static bool installed = __sanitizer_install_malloc_and_free_hooks(mallocHook, freeHook) != 0;
    (void)installed;
#endif
    armed = true;
}

void FreedBlocks::disarm()
{
    armed = false;
}

std::vector<FreedBlocks::Finding> FreedBlocks::findings()
{
    const int count = std::min(storedCount.load(), kMaxFindings);
    return std::vector<Finding>(stored, stored + count);
}

std::vector<std::vector<char>> FreedBlocks::describe(const Finding& finding)
{
    std::vector<std::vector<char>> lines;
    char** names = backtrace_symbols(const_cast<void* const*>(finding.frames), finding.depth);
    for (int i = 0; names && i < finding.depth; ++i)
        lines.emplace_back(names[i], names[i] + std::strlen(names[i]) + 1);
    std::free(names);
    return lines;
}
