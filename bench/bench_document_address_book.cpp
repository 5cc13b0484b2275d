// The address-book import at scale: the sheet filled with 10,000 people, and
// 10,000 people imported into a document of 100,000 records while a category
// filter hides them (each new record goes into a category the list does not
// show), beside the same import with no filter.
#include "document/AddressBookImport.h"
#include "document/FilteringArrayController.h"
#include "document/MyDocument.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/AddressBook.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include "widget_bench_main.h"

namespace {

QList<AddressBookPerson> people(int count)
{
    QList<AddressBookPerson> list;
    for (int i = 0; i < count; ++i) {
        AddressBookPerson p;
        p.firstName = QStringLiteral("First%1").arg(i);
        p.lastName = QStringLiteral("Last%1").arg(i);
        p.organization = QStringLiteral("Company %1").arg(i % 500);
        p.phones = {{AddressBook::kPhoneMobileLabel, QStringLiteral("+41 79 %1").arg(i)},
                    {AddressBook::kPhoneWorkLabel, QStringLiteral("+41 44 %1").arg(i)}};
        p.emails = {{AddressBook::kEmailWorkLabel, QStringLiteral("p%1@example.org").arg(i)}};
        p.addresses = {{AddressBook::kAddressHomeLabel,
                        {QStringLiteral("%1 Main Street").arg(i), QStringLiteral("8000"), QStringLiteral("Zürich"), {},
                         QStringLiteral("Switzerland")}}};
        p.note = QStringLiteral("Imported");
        list.append(p);
    }
    return list;
}

struct Document {
    explicit Document(int records)
    {
        document.setPlainPassword(QStringLiteral("secret-1"));
        ArrayRef groups = Array::create();
        document.setMyCategoryArray(groups);
        QvColoredCategoryArrayController* categories = document.myCategoryArrayController();
        for (int i = 0; i < 10; ++i)
            categories->addWithName(QStringLiteral("Group %1").arg(i));
        FilteringArrayController* list = document.myArrayController();
        ArrayRef content = Array::create();
        content->reserve(records + 10000);
        for (int i = 0; i < records; ++i) {
            categories->setSelectionIndex(i % 10);
            DictionaryRef record = list->newObject();
            list->assignCategory(categories->firstSelectedObject(), record);
            record->setObject(Value(QStringLiteral("Name%1").arg(i)), QStringLiteral("firstName"));
            content->addObject(Value(record));
        }
        document.setMyArray(content);
        categories->setSelectionIndex(-1); // new records go into the last category
    }
    MyDocument document;
};

void BM_FillSheet10000(benchmark::State& state)
{
    MemoryAddressBook book(people(10000));
    Document d(0);
    for (auto _ : state) {
        d.document.importFromAddressBook();
        state.PauseTiming();
        if (!d.document.abPanel() || d.document.abPeopleArray()->count() != 10000) {
            state.SkipWithError("no sheet");
            break;
        }
        d.document.importFromAddressBookCancel();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FillSheet10000)->Unit(benchmark::kMillisecond);

// Baseline: the sheet's 10,000 rows made, nothing shown.
void BM_BaselineRows10000(benchmark::State& state)
{
    const QList<AddressBookPerson> list = people(10000);
    for (auto _ : state) {
        ArrayRef rows = Array::create();
        for (const AddressBookPerson& p : list)
            rows->addObject(Value(AddressBookMapping::rowFor(p)));
        benchmark::DoNotOptimize(rows->count());
    }
}
BENCHMARK(BM_BaselineRows10000)->Unit(benchmark::kMillisecond);

void importInto100000(benchmark::State& state, const QString& filter, bool window = false)
{
    MemoryAddressBook book(people(10000));
    Document d(100000);
    if (window) {
        d.document.makeWindowControllers();
        d.document.showWindows();
        QCoreApplication::processEvents();
    }
    FilteringArrayController* list = d.document.myArrayController();
    d.document.setCategoryString(filter);
    list->rearrangeObjects();
    for (auto _ : state) {
        state.PauseTiming();
        d.document.importFromAddressBook();
        state.ResumeTiming();
        d.document.addressBookImportAll();
        state.PauseTiming();
        if (d.document.myArray()->count() != 110000) {
            state.SkipWithError("not imported");
            break;
        }
        std::vector<DictionaryRef> added;
        for (qsizetype i = 100000; i < d.document.myArray()->count(); ++i)
            added.push_back(d.document.myArray()->objectAtIndex(i).dictionary());
        list->removeObjects(added);
        list->setSelectionIndex(-1);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["shown"] = static_cast<double>(list->arrangedCount());
}

void BM_Import10000Into100000Filtered(benchmark::State& state) { importInto100000(state, QStringLiteral("Group 3")); }
BENCHMARK(BM_Import10000Into100000Filtered)->Unit(benchmark::kMillisecond);

// Baseline: the same import into the list shown whole.
void BM_BaselineImport10000Into100000(benchmark::State& state) { importInto100000(state, QString()); }
BENCHMARK(BM_BaselineImport10000Into100000)->Unit(benchmark::kMillisecond);

// The same with the document's window showing the list.
void BM_Import10000Into100000InTheWindow(benchmark::State& state) { importInto100000(state, QString(), true); }
BENCHMARK(BM_Import10000Into100000InTheWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
