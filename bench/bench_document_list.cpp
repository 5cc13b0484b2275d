// The contact list at 100,000 records: one keystroke of the search field
// (the list arranged again) and adding a record as the Add command does it.
#include "document/FilteringArrayController.h"
#include "document/QvColoredCategoryArrayController.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kRecords = 100000;

class Document : public ControllerDocument {
public:
    QString searchText() const override { return search; }
    void showSearchInfoView(bool) override {}
    void markChangeDone() override {}
    QString search;
};

// A document's list filled with varied contacts in ten categories.
struct List {
    List()
    {
        categories.setMyDoc(&document);
        records.setMyDoc(&document);
        records.setMyCategoryArrayController(&categories);
        categories.setContent(Array::create());
        for (int i = 0; i < 10; ++i)
            categories.addWithName(QStringLiteral("Group %1").arg(i));

        std::mt19937 random(20240305);
        const auto word = [&random](int length) {
            static const char* const syllables[] = {"an", "be", "ca", "do", "el", "fi", "go", "ha", "in", "jo",
                                                    "ka", "lu", "ma", "ne", "or", "pi", "qu", "ri", "sa", "tu"};
            QString text;
            for (int i = 0; i < length; ++i)
                text += QLatin1String(syllables[random() % 20]);
            text[0] = text[0].toUpper();
            return text;
        };
        const auto digits = [&random](int length) {
            QString text;
            for (int i = 0; i < length; ++i)
                text += QChar(static_cast<char16_t>(u'0' + random() % 10));
            return text;
        };

        ArrayRef content = Array::create();
        content->reserve(kRecords);
        records.setContent(content);
        for (int i = 0; i < kRecords; ++i) {
            categories.setSelectionIndex(static_cast<qsizetype>(random() % 10));
            DictionaryRef record = records.newObject();
            records.assignCategory(categories.firstSelectedObject(), record);
            const QString first = word(2), last = word(3);
            record->setObject(Value(first), QStringLiteral("firstName"));
            record->setObject(Value(last), QStringLiteral("lastName"));
            record->setObject(Value(word(2) + QStringLiteral(" Ltd")), QStringLiteral("company"));
            record->setObject(Value(QStringLiteral("+41 ") + digits(9)), QStringLiteral("phoneWork"));
            record->setObject(Value(first.toLower() + u'@' + word(2).toLower() + QStringLiteral(".com")),
                              QStringLiteral("emailWork"));
            record->setObject(Value(digits(2) + u' ' + word(3) + QStringLiteral(" Street, ") + digits(4)),
                              QStringLiteral("addressPersonal"));
            record->setObject(Value(QStringLiteral("+41 ") + digits(9)), QStringLiteral("mobile"));
            if (i % 4 == 0)
                record->setObject(Value(QStringLiteral("Met at ") + word(4)), QStringLiteral("note"));
            content->addObject(Value(record));
        }
        records.rearrangeObjects();
    }

    Document document;
    QvColoredCategoryArrayController categories;
    FilteringArrayController records;
};

List& list()
{
    static List shared;
    return shared;
}

void typeAndClear(benchmark::State& state, const QString& category, const QStringList& keystrokes)
{
    List& l = list();
    l.records.setCategoryString(category);
    // The first search reads every record once; the keystrokes after it are what is measured.
    l.document.search = keystrokes.front();
    l.records.search();
    std::size_t next = 0, shown = 0;
    for (auto _ : state) {
        l.document.search = keystrokes[static_cast<qsizetype>(next++ % keystrokes.size())];
        l.records.search();
        shown = static_cast<std::size_t>(l.records.arrangedCount());
    }
    state.counters["shown"] = static_cast<double>(shown);
    l.document.search.clear();
    l.records.setCategoryString(QString());
    l.records.search();
}

void BM_SearchKeystroke(benchmark::State& state)
{
    typeAndClear(state, QString(), {"m", "ma", "mar", "ma", "m", "an", "ann", "41 5"});
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond);

void BM_SearchKeystrokeInCategory(benchmark::State& state)
{
    typeAndClear(state, QStringLiteral("group 3"), {"m", "ma", "mar", "ma", "m", "an", "ann", "41 5"});
}
BENCHMARK(BM_SearchKeystrokeInCategory)->Unit(benchmark::kMillisecond);

// The first search after the list was loaded, when no record has been read yet.
void BM_FirstSearch(benchmark::State& state)
{
    List& l = list();
    const ArrayRef content = l.records.content();
    for (auto _ : state) {
        state.PauseTiming();
        // An empty list (as after a lock) drops what was read of the records.
        l.document.search.clear();
        l.records.search();
        l.records.setContent(Array::create());
        l.records.setContent(content);
        state.ResumeTiming();
        l.document.search = QStringLiteral("ann");
        l.records.search();
    }
    l.document.search.clear();
    l.records.search();
}
BENCHMARK(BM_FirstSearch)->Unit(benchmark::kMillisecond);

// Adding a record as the Add command does: a new record, added, the list
// arranged again; and the step undone.
void BM_AddRecord(benchmark::State& state)
{
    List& l = list();
    for (auto _ : state) {
        DictionaryRef record = l.records.newObject();
        l.records.addObject(record);
        l.records.rearrangeObjects();
        state.PauseTiming();
        l.records.removeObject(record);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddRecord)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
