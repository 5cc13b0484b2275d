#pragma once
// Runs work while the disk refuses any file beyond `bytes`, as a full disk
// refuses one part of the way through.
#include <csignal>
#include <sys/resource.h>

template <typename Work>
void withFileSizeLimit(rlim_t bytes, Work work)
{
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = bytes;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    work();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}
