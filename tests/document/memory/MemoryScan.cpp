#include "MemoryScan.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Region {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    QString name;
};

// Mappings that can hold what the process made: writable ones and anonymous
// ones. Read-only file mappings hold only the files' own bytes. Mappings far
// larger than any heap (the sanitizer's shadow) are left out.
std::vector<Region> regions()
{
    std::vector<Region> out;
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return out;
    const QList<QByteArray> lines = maps.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5)
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        const QByteArray perms = fields[1];
        const QString name = fields.size() > 5 ? QString::fromLocal8Bit(fields.mid(5).join(' ')) : QStringLiteral("anonymous");
        if (range.size() != 2 || perms.size() < 2 || perms[0] != 'r')
            continue;
        if (name == QLatin1String("[vvar]") || name == QLatin1String("[vsyscall]"))
            continue;
        if (perms[1] != 'w' && fields.size() > 5 && !name.startsWith(u'['))
            continue;
        Region r;
        r.begin = range[0].toULongLong(nullptr, 16);
        r.end = range[1].toULongLong(nullptr, 16);
        r.name = name;
        if (r.end - r.begin > (std::uintptr_t(16) << 30))
            continue;
        out.push_back(r);
    }
    return out;
}

} // namespace

std::vector<MemoryScan::Hit> MemoryScan::scan(const std::vector<QByteArray>& needles)
{
    std::vector<Hit> hits;
    const int mem = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (mem < 0)
        return hits;
    std::size_t longest = 1;
    for (const QByteArray& n : needles)
        longest = std::max<std::size_t>(longest, std::size_t(n.size()));
    constexpr std::size_t kChunk = 1 << 20;
    const std::size_t overlap = longest - 1;
    std::vector<char> buffer(kChunk + overlap);
    // The needles' own bytes and the scan's buffer; a match that overlaps
    // them at all is theirs (as UTF-16BE text one byte before UTF-16LE text).
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> own;
    for (const QByteArray& n : needles)
        own.emplace_back(reinterpret_cast<std::uintptr_t>(n.constData()),
                         reinterpret_cast<std::uintptr_t>(n.constData()) + std::uintptr_t(n.size()));
    own.emplace_back(reinterpret_cast<std::uintptr_t>(buffer.data()),
                     reinterpret_cast<std::uintptr_t>(buffer.data()) + buffer.size());
    const auto isOwn = [&own](std::uintptr_t address, std::size_t size) {
        for (const auto& [begin, end] : own)
            if (address < end && address + size > begin)
                return true;
        return false;
    };
    // Found matches are only noted during the scan: a copy of their bytes
    // made now would be found again further on.
    hits.reserve(1024);

    for (const Region& region : regions()) {
        std::size_t kept = 0; // bytes carried over from the previous chunk
        for (std::uintptr_t at = region.begin; at < region.end;) {
            const std::size_t want = std::min<std::uintptr_t>(kChunk, region.end - at);
            const ssize_t got = ::pread(mem, buffer.data() + kept, want, off_t(at));
            if (got <= 0)
                break;
            const std::size_t filled = kept + std::size_t(got);
            const std::uintptr_t base = at - kept; // address of buffer[0]
            for (int i = 0; i < int(needles.size()); ++i) {
                const QByteArray& n = needles[i];
                for (const char* from = buffer.data();;) {
                    const char* found = static_cast<const char*>(
                        memmem(from, std::size_t(buffer.data() + filled - from), n.constData(), std::size_t(n.size())));
                    if (!found)
                        break;
                    from = found + 1;
                    const std::size_t offset = std::size_t(found - buffer.data());
                    // Found whole in the carried-over part means found before.
                    if (offset + std::size_t(n.size()) <= kept)
                        continue;
                    const std::uintptr_t address = base + offset;
                    if (isOwn(address, std::size_t(n.size())) || hits.size() == hits.capacity())
                        continue;
                    Hit hit;
                    hit.address = address;
                    hit.needle = i;
                    hit.region = region.name;
                    hits.push_back(hit);
                }
            }
            at += std::size_t(got);
            kept = std::min(overlap, filled);
            std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
        }
    }
    for (Hit& hit : hits) {
        hit.around.resize(qsizetype(needles[hit.needle].size()) + 48);
        const ssize_t got = ::pread(mem, hit.around.data(), size_t(hit.around.size()), off_t(hit.address - 24));
        hit.around.resize(std::max<qsizetype>(got, 0));
    }
    ::close(mem);
    return hits;
}
