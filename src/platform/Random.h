#pragma once
#include <QtGlobal>
#include <functional>

// The clock-seeded pseudo-random integers that the password-check text and the
// string utilities draw from. Not for keys, salts or vectors: those come from
// the cipher engine's secure source.

// A random integer in [min, max]; max must not be less than min.
qint64 randomInRange(qint64 min, qint64 max);

// Tests replace the generator (a function answering 0 to 2^31 - 1); an empty
// function restores the process generator.
void setRandomGeneratorForTesting(std::function<long()> generator);
