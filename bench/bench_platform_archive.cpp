// Archiving and unarchiving 100,000 records of 20 short strings each, beside
// Python's plistlib.loads on the very same bytes, measured in the same run.
#include "platform/KeyedArchive.h"

#include <QProcess>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 100000;
constexpr int kKeys = 20;

Value records()
{
    QStringList keys;
    for (int k = 0; k < kKeys; ++k)
        keys << QStringLiteral("field%1").arg(k, 2, 10, QLatin1Char('0'));
    ArrayRef all = Array::create();
    all->reserve(kRecords);
    for (int r = 0; r < kRecords; ++r) {
        DictionaryRef record = Dictionary::create();
        record->reserve(kKeys);
        for (int k = 0; k < kKeys; ++k)
            record->setObject(Value(QStringLiteral("v%1.%2").arg(r).arg(k)), keys[k]);
        all->addObject(Value(record));
    }
    return Value(all);
}

const Value& sampleRecords()
{
    static const Value v = records();
    return v;
}

const QByteArray& sampleArchive()
{
    static const QByteArray data = KeyedArchiver::archivedDataWithRootObject(sampleRecords());
    return data;
}

void BM_Archive100kRecords(benchmark::State& state)
{
    const Value& v = sampleRecords();
    for (auto _ : state) {
        QByteArray data = KeyedArchiver::archivedDataWithRootObject(v);
        benchmark::DoNotOptimize(data.data());
    }
    state.counters["bytes"] = double(sampleArchive().size());
}
BENCHMARK(BM_Archive100kRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Unarchive100kRecords(benchmark::State& state)
{
    const QByteArray& data = sampleArchive();
    for (auto _ : state) {
        QString error;
        Value v;
        if (!KeyedUnarchiver::unarchive(data, v, &error) || v.array()->count() != kRecords) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(v);
        // Freeing the records is not timed, as Python's figure leaves it out too.
        state.PauseTiming();
        v = Value();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Unarchive100kRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

// The time Python's plistlib.loads takes for the same bytes, as Python itself
// measures it (interpreter start and file reading left out).
void BM_PythonPlistlibLoads100kRecords(benchmark::State& state)
{
    QTemporaryFile file;
    if (!file.open() || file.write(sampleArchive()) != sampleArchive().size() || !file.flush()) {
        state.SkipWithError("cannot write the archive for Python");
        return;
    }
    const QString script = QStringLiteral(
        "import plistlib, sys, time\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "t = time.perf_counter(); p = plistlib.loads(data); t = time.perf_counter() - t\n"
        "assert len(p['$objects']) > 100000\n"
        "print(t)\n");
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, file.fileName()});
        if (!python.waitForFinished(600000) || python.exitCode() != 0) {
            state.SkipWithError("python3 with plistlib is not available");
            return;
        }
        bool ok = false;
        const double seconds = python.readAllStandardOutput().trimmed().toDouble(&ok);
        if (!ok) {
            state.SkipWithError("python3 gave no time");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_PythonPlistlibLoads100kRecords)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
