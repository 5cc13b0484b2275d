// Opening 300 MB that is no document: reading the file and refusing its bytes,
// beside reading the same file whole with QFile and one pass over the bytes.
#include "document/DocumentFile.h"
#include "platform/FileRead.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

constexpr qint64 kSize = qint64(300) << 20;

QByteArray noise(char first)
{
    QByteArray bytes(kSize, Qt::Uninitialized);
    quint64 state = 0x9e3779b97f4a7c15ull;
    for (char& c : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        c = char(state >> 56);
    }
    bytes[0] = first;
    return bytes;
}

// Bytes that open like XML ("<") and bytes that do not.
void BM_RefuseNoise(benchmark::State& state)
{
    const QByteArray bytes = noise(state.range(0) ? '<' : '\x9c');
    for (auto _ : state) {
        StoredDocument stored;
        benchmark::DoNotOptimize(DocumentFile::read(bytes, stored));
    }
}

// Baseline: one pass over the same bytes.
void BM_PassOverNoise(benchmark::State& state)
{
    const QByteArray bytes = noise('<');
    for (auto _ : state)
        benchmark::DoNotOptimize(std::count(bytes.begin(), bytes.end(), '<'));
}

struct NoiseFile {
    NoiseFile()
    {
        QFile file(dir.filePath(QStringLiteral("noise.calvorin")));
        if (file.open(QIODevice::WriteOnly))
            file.write(noise('<'));
        path = file.fileName();
    }
    QTemporaryDir dir;
    QString path;
};

void BM_FileReadNoise(benchmark::State& state)
{
    static NoiseFile file;
    for (auto _ : state) {
        QByteArray bytes;
        benchmark::DoNotOptimize(FileRead::readRegularFile(file.path, qint64(1) << 30, bytes));
    }
}

// Baseline: QFile reading the same file whole.
void BM_QFileReadAllNoise(benchmark::State& state)
{
    static NoiseFile file;
    for (auto _ : state) {
        QFile f(file.path);
        f.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(f.readAll());
    }
}

} // namespace

BENCHMARK(BM_RefuseNoise)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PassOverNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileReadNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QFileReadAllNoise)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
