#include "platform/FreedMemory.h"

#include <QList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define FREED_MEMORY_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FREED_MEMORY_OWN_ALLOCATOR 1
#endif

namespace {

// Freed blocks are filled with this byte, blocks handed out with its
// complement; neither is a byte that text or fresh pages begin with.
constexpr unsigned char kFreedFill = 0x5a;
constexpr const char* kPerturb = "glibc.malloc.perturb";
constexpr const char* kCacheCount = "glibc.malloc.tcache_count";
// Set for the restarted program: it is never restarted again.
constexpr const char* kRestarted = "CALVORIN_FREED_MEMORY_RESTARTED";
// The user's own settings, kept across the restart to be given back.
constexpr const char* kUserTunables = "CALVORIN_USER_GLIBC_TUNABLES";
constexpr const char* kTunables = "GLIBC_TUNABLES";

void restoreUserEnvironment()
{
    if (const char* user = std::getenv(kUserTunables))
        ::setenv(kTunables, user, 1);
    else
        ::unsetenv(kTunables);
    ::unsetenv(kUserTunables);
    ::unsetenv(kRestarted);
}

} // namespace

QByteArray FreedMemory::tunables(const QByteArray& userTunables)
{
    QList<QByteArray> kept;
    for (const QByteArray& setting : userTunables.split(':')) {
        const qsizetype equals = setting.indexOf('=');
        const QByteArray name = equals < 0 ? setting : setting.left(equals);
        if (!setting.isEmpty() && name != kPerturb && name != kCacheCount)
            kept << setting;
    }
    kept << QByteArray(kPerturb).append('=').append(QByteArray::number(int(kFreedFill)));
    kept << QByteArray(kCacheCount).append("=0");
    return kept.join(':');
}

bool FreedMemory::wiping()
{
#ifdef FREED_MEMORY_OWN_ALLOCATOR
    return false;
#else
    // A block from the heap's free space would be zeros, a reused one would
    // hold what it held; only a filling allocator gives the complement.
    constexpr std::size_t kSize = 200;
    auto* block = static_cast<volatile unsigned char*>(std::malloc(kSize));
    if (!block)
        return false;
    bool filled = true;
    for (std::size_t i = 0; i < kSize; ++i)
        filled = filled && block[i] == static_cast<unsigned char>(~kFreedFill);
    std::free(const_cast<unsigned char*>(block));
    return filled;
#endif
}

void FreedMemory::restartWiping(char** argv)
{
#ifdef FREED_MEMORY_OWN_ALLOCATOR
    (void)argv;
#else
    if (std::getenv(kRestarted)) {
        restoreUserEnvironment();
        return;
    }
    if (!argv || !argv[0] || wiping())
        return;
    const char* user = std::getenv(kTunables);
    const QByteArray settings = tunables(QByteArray(user));
    if (user)
        ::setenv(kUserTunables, user, 1);
    ::setenv(kTunables, settings.constData(), 1);
    ::setenv(kRestarted, "1", 1);
    ::execv("/proc/self/exe", argv);
    // Not restarted: the program runs on as it is, with freed blocks unfilled.
    std::fprintf(stderr, "calvorin: could not restart with freed memory filled: %s\n", std::strerror(errno));
    restoreUserEnvironment();
#endif
}
