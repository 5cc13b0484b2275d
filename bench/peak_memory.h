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

// A line of /proc/self/status ("VmHWM:", "VmRSS:") in megabytes.
inline double statusMB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    double kB = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(field))
                kB = line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toDouble();
        }
    }
    return kB / 1024.0;
}

inline double residentMB()
{
    return statusMB("VmRSS:");
}

inline void reportPeak(benchmark::State& state, long long fileSize)
{
    state.counters["peak_MB"] = statusMB("VmHWM:");
    state.counters["file_MB"] = static_cast<double>(fileSize) / (1024.0 * 1024.0);
}
