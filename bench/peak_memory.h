#pragma once
// "peak_MB": the process's peak resident memory since the last resetPeak (or since it
// started); "file_MB": the size of what was written.
#include <benchmark/benchmark.h>

#include <QFile>

#include <malloc.h>

// Forgets the peak resident memory so far, so that the next reportPeak gives
// the peak of what runs in between (the data already held included). Memory
// freed before (the content a file was made from) is given back first.
inline void resetPeak()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

inline void reportPeak(benchmark::State& state, long long fileSize)
{
    QFile status(QStringLiteral("/proc/self/status"));
    double peakKB = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peakKB = line.mid(6).trimmed().split(' ').value(0).toDouble();
        }
    }
    state.counters["peak_MB"] = peakKB / 1024.0;
    state.counters["file_MB"] = static_cast<double>(fileSize) / (1024.0 * 1024.0);
}
