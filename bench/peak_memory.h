#pragma once
// "peak_MB": the process's peak resident memory so far; "file_MB": the size of what was written.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

inline void reportPeak(benchmark::State& state, long long fileSize)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(fileSize) / (1024.0 * 1024.0);
}
