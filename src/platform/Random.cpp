#include "platform/Random.h"

#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {
std::function<long()>& testGenerator()
{
    static std::function<long()> generator;
    return generator;
}

long drawRandom()
{
    if (testGenerator())
        return testGenerator()();
    // Seeded once per process from the clock in whole seconds.
    static std::once_flag seeded;
    std::call_once(seeded, [] { srandom(static_cast<unsigned>(time(nullptr))); });
    return random();
}
} // namespace

qint64 randomInRange(qint64 min, qint64 max)
{
    // Every call draws, even for a one-value range, so that the sequence of
    // later draws does not depend on the ranges asked for.
    const qint64 r = drawRandom();
    if (max <= min)
        return min;
    // The span is computed unsigned so that the widest ranges do not overflow.
    const quint64 span = static_cast<quint64>(max) - static_cast<quint64>(min) + 1;
    if (span == 0)
        return static_cast<qint64>(static_cast<quint64>(min) + static_cast<quint64>(r));
    return static_cast<qint64>(static_cast<quint64>(min) + static_cast<quint64>(r) % span);
}

void setRandomGeneratorForTesting(std::function<long()> generator)
{
    testGenerator() = std::move(generator);
}
