// The text import of 100,000 rows of 17 columns (about 19 MB): loading the
// file (read, decode, detect the format, split) and the import run with the
// document filing the records into 10,000 new categories. Each has a baseline
// measured in the same run: reading the file's bytes, and making the records
// alone. "peak_MB" is the peak resident memory of each benchmark, the file's
// text that makes its fixture not included.
//
// BM_ImportIntoDocument/<contacts> imports 10,000 rows into a shown document
// window that holds 0 or 100,000 contacts already: the end of an import should
// cost what the import costs, so the two should differ little.
#include "document/FilteringArrayController.h"
#include "document/MyDocument.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/DocumentWindow.h"
#include "exchange/MyDataImportManager.h"
#include "platform/Alert.h"
#include "platform/MainQueue.h"
#include "peak_memory.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kRows = 100000;
constexpr int kCategories = 10000;

struct Fixture {
    explicit Fixture(int rows = kRows, int groups = kCategories)
    {
        path = dir.filePath(QStringLiteral("contacts.csv"));
        std::mt19937 random(20261210);
        const auto word = [&random](int length) {
            static const char* const syllables[] = {"an", "be", "ca", "do", "el", "fi", "go", "ha", "in", "jo",
                                                    "ka", "lu", "ma", "ne", "or", "pi", "qu", "ri", "sa", "tu"};
            QByteArray text;
            for (int i = 0; i < length; ++i)
                text += syllables[random() % 20];
            text[0] = char(text[0] - 32);
            return text;
        };
        QByteArray csv;
        QStringList heading;
        const ArrayRef fields = MyDocument::importFieldTable();
        for (const Value& row : *fields)
            heading << row.valueForKey(QStringLiteral("publicKey")).stringValue();
        csv += heading.join(u',').toUtf8() + '\n';
        for (int i = 0; i < rows; ++i) {
            QList<QByteArray> fields;
            fields << "Group " + QByteArray::number(i % groups);
            for (int j = 1; j < 17; ++j)
                fields << word(2 + int(random() % 7));
            fields[8] = "\"" + word(3) + ", " + word(2) + "\""; // a quoted field with a comma
            csv += fields.join(',') + '\n';
        }
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(csv);
        size = csv.size();
    }
    QTemporaryDir dir;
    QString path;
    qint64 size = 0;
};

Fixture& fixture()
{
    static Fixture shared;
    return shared;
}

void reportPeak(benchmark::State& state)
{
    ::reportPeak(state, fixture().size);
}

void BM_Baseline_ReadFileBytes(benchmark::State& state)
{
    fixture();
    resetPeak();
    for (auto _ : state) {
        QFile file(fixture().path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.data());
    }
    reportPeak(state);
}
BENCHMARK(BM_Baseline_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_LoadFile(benchmark::State& state)
{
    fixture();
    resetPeak();
    ManualMainQueue queue;
    qsizetype rows = 0;
    {
        // The application has shown windows before: the first sheet of the process is not measured.
        MyDataImportManager warmUp(Array::create(), MyDocument::importFieldTable(), nullptr, nullptr, nullptr);
        warmUp.showLoadingFileSheet();
        warmUp.closeLoadingFileSheet();
    }
    for (auto _ : state) {
        // One manager an import, made with the command.
        auto manager = std::make_unique<MyDataImportManager>(Array::create(), MyDocument::importFieldTable(), nullptr,
                                                             nullptr, nullptr);
        manager->loadDataFromFile(fixture().path, 0, 0);
        manager->waitForReading();
        queue.runAll();
        state.PauseTiming();
        rows = manager->importedRowCount();
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(rows);
    reportPeak(state);
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Baseline_MakeRecords(benchmark::State& state)
{
    fixture();
    resetPeak();
    ManualMainQueue queue;
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<MyDocument>();
        document->myCategoryArrayController()->addDefault();
        state.ResumeTiming();
        for (int i = 0; i < kRows; ++i)
            document->myArray()->addObject(Value(document->myArrayController()->newObject()));
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    reportPeak(state);
}
BENCHMARK(BM_Baseline_MakeRecords)->Unit(benchmark::kMillisecond);

void BM_ImportRunAndFiling(benchmark::State& state)
{
    fixture();
    resetPeak();
    ManualMainQueue queue;
    qsizetype categories = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<MyDocument>();
        document->myCategoryArrayController()->addDefault();
        MyDataImportManager manager(document->myArray(), document->arrayForImport(), nullptr,
                                    document->myArrayController(), document.get());
        manager.loadDataFromFile(fixture().path, 0, 0);
        manager.waitForReading();
        queue.runAll();
        manager.tryAssignFromFirstRow();
        queue.runAll();
        state.ResumeTiming();
        manager.DoImport();
        queue.runAll();
        state.PauseTiming();
        categories = document->myCategoryArrayController()->arrangedCount();
        if (document->myArray()->count() != kRows)
            state.SkipWithError("not every row was imported");
        manager.CancelImportSetting();
        document.reset();
        state.ResumeTiming();
    }
    state.counters["categories"] = double(categories);
    reportPeak(state);
}
BENCHMARK(BM_ImportRunAndFiling)->Unit(benchmark::kMillisecond)->Iterations(1);

constexpr int kSmallImportRows = 10000;

Fixture& smallFixture()
{
    // Ten of its groups are in the document already, ten are new.
    static Fixture shared(kSmallImportRows, 20);
    return shared;
}

void settleWindow()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A shown document window holding `contacts` varied contacts in ten categories.
std::unique_ptr<MyDocument> documentWithContacts(int contacts)
{
    auto document = std::make_unique<MyDocument>();
    document->setPlainPassword(QStringLiteral("secret-1"));
    document->makeWindowControllers();
    document->showWindows();
    QvColoredCategoryArrayController* categories = document->myCategoryArrayController();
    for (int i = 0; i < 10; ++i)
        categories->addWithName(QStringLiteral("Group %1").arg(i));
    FilteringArrayController* list = document->myArrayController();
    ArrayRef content = Array::create();
    content->reserve(contacts);
    for (int i = 0; i < contacts; ++i) {
        categories->setSelectionIndex(i % 10);
        DictionaryRef record = list->newObject();
        record->setObject(Value(QStringLiteral("Name%1").arg(i)), QStringLiteral("firstName"));
        content->addObject(Value(record));
    }
    document->setMyArray(content);
    list->rearrangeObjects();
    settleWindow();
    return document;
}

void BM_ImportIntoDocument(benchmark::State& state)
{
    smallFixture();
    const int contacts = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<MyDocument> document = documentWithContacts(contacts);
        {
            ManualMainQueue queue;
            MyDataImportManager manager(document->myArray(), document->arrayForImport(), document->myWindow(),
                                        document->myArrayController(), document.get());
            manager.loadDataFromFile(smallFixture().path, document->myWindow());
            manager.waitForReading();
            queue.runAll();
            manager.tryAssignFromFirstRow();
            queue.runAll();
            settleWindow();
            state.ResumeTiming();
            // The run, the document's filing and the window following it, up to its next paint.
            manager.DoImport();
            queue.runAll();
            settleWindow();
            document->myWindow()->repaint();
            state.PauseTiming();
            if (document->myArray()->count() != contacts + kSmallImportRows)
                state.SkipWithError("not every row was imported");
        }
        document->close();
        settleWindow();
        document.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportIntoDocument)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedResponder responder;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
