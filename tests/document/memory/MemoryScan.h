#pragma once
// Searches every readable mapping of the process itself for byte strings,
// through /proc/self/maps and /proc/self/mem (so unreadable or guard pages end
// a region's read instead of the process).

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace MemoryScan {

struct Hit {
    std::uintptr_t address = 0;
    int needle = -1;
    QString region;    // the mapping's name, or "anonymous"
    QByteArray around; // up to 24 bytes either side
};

// `needles` are searched for in place, and their own bytes are not reported.
std::vector<Hit> scan(const std::vector<QByteArray>& needles);

} // namespace MemoryScan
