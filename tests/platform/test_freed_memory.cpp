// The allocator settings the application restarts with: the user's own
// settings are kept, ours take the place of theirs for the same names.
#include "platform/FreedMemory.h"

#include <gtest/gtest.h>

TEST(FreedMemory, MergesItsAllocatorSettingsIntoTheUsers)
{
    const QByteArray ours = "glibc.malloc.perturb=90:glibc.malloc.tcache_count=0";
    const struct {
        const char* user;
        QByteArray expected;
    } cases[] = {
        {"", ours},
        {"glibc.malloc.arena_max=2", "glibc.malloc.arena_max=2:" + ours},
        {"glibc.malloc.perturb=1:glibc.rtld.nns=8:glibc.malloc.tcache_count=7", "glibc.rtld.nns=8:" + ours},
        {"::glibc.malloc.perturb", ours},
        {"glibc.malloc.perturbation=3", "glibc.malloc.perturbation=3:" + ours},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FreedMemory::tunables(c.user), c.expected) << c.user;
}
