// Exporting 100,000 records of 17 fields as tab-separated text (1), quoted CSV
// (2) and an HTML page (4), with the header row: the text alone, and the whole
// export from the confirmed chooser to the file on disk.
//
// Baselines of the same run: every value read and appended once, with no
// delimiters, flattening or escaping; and writing bytes of the same size.
// "peak_MB" is the process's peak resident memory so far: run one benchmark
// alone (--benchmark_filter=...) to read its own peak.
#include "document/MyDocument.h"
#include "exchange/QvDataExportManager.h"
#include "platform/FileChooser.h"
#include "platform/MainQueue.h"
#include "peak_memory.h"

#include <QApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 100000;

// Records as a user fills them in, every field of the export table set, a few with line breaks.
ArrayRef records()
{
    static const ArrayRef shared = [] {
        ArrayRef categories = Array::create();
        for (int i = 1; i <= 12; ++i)
            categories->addObject(Value(Dictionary::create({{"cat_category", Value(QStringLiteral("Group %1").arg(i))}})));
        ArrayRef all = Array::create();
        all->reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            const DictionaryRef r = Dictionary::create();
            r->setObject(Value(QStringLiteral("First%1").arg(i)), "firstName");
            r->setObject(Value(QStringLiteral("Last%1").arg(i)), "lastName");
            r->setObject(Value(QStringLiteral("Company %1 GmbH").arg(i % 977)), "company");
            r->setObject(Value(QStringLiteral("+49 30 %1").arg(1000000 + i)), "phoneWork");
            r->setObject(Value(QStringLiteral("+49 30 %1").arg(2000000 + i)), "faxWork");
            r->setObject(Value(QStringLiteral("Hauptstraße %1\n10115 Berlin").arg(i)), "addressWork");
            r->setObject(Value(QStringLiteral("first%1@example.com").arg(i)), "emailWork");
            r->setObject(Value(QStringLiteral("https://example.com/%1").arg(i)), "webWork");
            r->setObject(Value(QStringLiteral("+49 40 %1").arg(3000000 + i)), "phonePersonal");
            r->setObject(Value(QStringLiteral("+49 40 %1").arg(4000000 + i)), "faxPersonal");
            r->setObject(Value(QStringLiteral("+49 170 %1").arg(5000000 + i)), "mobile");
            r->setObject(Value(QStringLiteral("+49 171 %1").arg(6000000 + i)), "pager");
            r->setObject(Value(QStringLiteral("me%1@example.org").arg(i)), "emailPersonal");
            r->setObject(Value(QStringLiteral("https://example.org/~%1").arg(i)), "webPersonal");
            r->setObject(Value(QStringLiteral("Gartenweg %1, 20095 Hamburg").arg(i % 300)), "addressPersonal");
            r->setObject(Value(i % 10 == 0 ? QStringLiteral("Met at the fair,\r\ncall back in spring \"soon\"")
                                           : QStringLiteral("Customer")),
                         "note");
            r->setObject(categories->objectAtIndex(i % 12), "categoryPtr");
            all->addObject(Value(r));
        }
        return all;
    }();
    return shared;
}

const ExportWriter::DateStyle& dates()
{
    static const ExportWriter::DateStyle style{QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc()};
    return style;
}

void BM_BaselineEveryValueOnce(benchmark::State& state)
{
    const ArrayRef all = records();
    const ArrayRef fields = MyDocument::exportFieldTable();
    QStringList paths;
    for (const Value& f : *fields)
        paths << f.valueForKey("innerKey").stringValue();
    qsizetype size = 0;
    for (auto _ : state) {
        QString text;
        for (const Value& record : *all)
            for (const QString& path : paths)
                text.append(record.valueForKeyPath(path).stringValue());
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    reportPeak(state, size);
}
BENCHMARK(BM_BaselineEveryValueOnce)->Unit(benchmark::kMillisecond);

void BM_ExportText(benchmark::State& state)
{
    const ArrayRef all = records();
    const ArrayRef fields = MyDocument::exportFieldTable();
    const int format = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QString text = ExportWriter::exportText(*all, *fields, format, {}, true, dates());
        benchmark::DoNotOptimize(text.data());
    }
    reportPeak(state, ExportWriter::exportText(*all, *fields, format, {}, true, dates()).toUtf8().size());
}
BENCHMARK(BM_ExportText)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_BaselineWriteBytes(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray bytes(static_cast<qsizetype>(state.range(0)) * 1024 * 1024, 'x');
    for (auto _ : state) {
        QSaveFile file(dir.filePath("bytes.txt"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size() || !file.commit())
            state.SkipWithError("write failed");
    }
    reportPeak(state, bytes.size());
}
BENCHMARK(BM_BaselineWriteBytes)->Arg(40)->Unit(benchmark::kMillisecond);

// From the chooser's answer to the file on disk, as the exporter does it.
void BM_ExportToFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("export.txt");
    ManualMainQueue queue;
    ScriptedFileChooser chooser;
    QvDataExportManager exporter(records(), MyDocument::exportFieldTable(), nullptr);
    exporter.addAllToRight();
    exporter.setFileFormatToSave(Value::int32(static_cast<int>(state.range(0))));
    exporter.setUseFieldNamesAsFirstRow(Value::boolean(true));
    for (auto _ : state) {
        state.PauseTiming();
        chooser.answerWith(path);
        exporter.exportToTextFile();
        state.ResumeTiming();
        queue.runAll();
    }
    reportPeak(state, QFileInfo(path).size());
}
BENCHMARK(BM_ExportToFile)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // the exporter builds its sheet
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    records();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
