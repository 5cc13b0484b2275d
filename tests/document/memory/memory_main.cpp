// The memory tests look at the process as the application runs it: with its
// allocator filling what it frees, which needs the same restart.
#include "common/TestRun.h"
#include "platform/FreedMemory.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
// The sanitizer's allocator stands in for the application's: it fills what
// it frees (and keeps in quarantine) in the same way.
extern "C" const char* __asan_default_options() { return "max_free_fill_size=1073741824"; }
#endif
#endif

int main(int argc, char** argv)
{
    FreedMemory::restartWiping(argv);
    return runAllTests(argc, argv);
}
