// The record pane of the document window: selecting a contact whose note holds
// 10 MB of text, beside selecting one with a short note, in view and in edit mode.
#include "document/FilteringArrayController.h"
#include "document/MyDocument.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/DocumentWindow.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include "widget_bench_main.h"

namespace {

// Words and line breaks, as a long pasted text has them; `lineLength` 0 makes one line.
QString longText(qsizetype size, int lineLength)
{
    static const char* const words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon "};
    QString text;
    text.reserve(size + 16);
    qsizetype column = 0;
    for (int i = 0; text.size() < size; ++i) {
        const QLatin1String word(words[i % 5]);
        text += word;
        column += word.size();
        if (lineLength > 0 && column >= lineLength) {
            text += u'\n';
            column = 0;
        }
    }
    text.truncate(size);
    return text;
}

struct Window {
    Window()
    {
        document.setPlainPassword(QStringLiteral("secret-1"));
        document.makeWindowControllers();
        document.showWindows();
        FilteringArrayController* list = document.myArrayController();
        ArrayRef content = Array::create();
        for (int i = 0; i < 4; ++i) {
            DictionaryRef record = list->newObject();
            record->setObject(Value(QStringLiteral("Name%1").arg(i)), QStringLiteral("firstName"));
            record->setObject(Value(QStringLiteral("A short note %1").arg(i)), QStringLiteral("note"));
            content->addObject(Value(record));
        }
        content->objectAtIndex(kOneLine).dictionary()->setObject(Value(longText(kNoteSize, 0)), QStringLiteral("note"));
        content->objectAtIndex(kLines).dictionary()->setObject(Value(longText(kNoteSize, 80)), QStringLiteral("note"));
        document.setMyArray(content);
        list->rearrangeObjects();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // Selects a record as a click in the list does, and lets the window lay out and paint.
    void select(qsizetype row)
    {
        document.myArrayController()->setSelectionIndex(row);
        settle();
        document.window()->repaint();
    }

    static constexpr qsizetype kNoteSize = 10 * 1000 * 1000;
    static constexpr qsizetype kShort = 0, kOtherShort = 1, kOneLine = 2, kLines = 3;
    MyDocument document;
};

// Made once and never freed: its widgets must not outlive the application.
Window& window()
{
    static Window* shared = new Window;
    return *shared;
}

void selectRecord(benchmark::State& state, qsizetype row, int mode)
{
    Window& w = window();
    w.document.setSelectedView(mode);
    w.settle();
    for (auto _ : state) {
        state.PauseTiming();
        w.select(Window::kOtherShort);
        state.ResumeTiming();
        w.select(row);
    }
}

void BM_ViewShortNote(benchmark::State& state) { selectRecord(state, Window::kShort, MyDocument::ViewModeView); }
BENCHMARK(BM_ViewShortNote)->Unit(benchmark::kMillisecond);
void BM_View10MBNoteOneLine(benchmark::State& state) { selectRecord(state, Window::kOneLine, MyDocument::ViewModeView); }
BENCHMARK(BM_View10MBNoteOneLine)->Unit(benchmark::kMillisecond);
void BM_View10MBNoteInLines(benchmark::State& state) { selectRecord(state, Window::kLines, MyDocument::ViewModeView); }
BENCHMARK(BM_View10MBNoteInLines)->Unit(benchmark::kMillisecond);

void BM_EditShortNote(benchmark::State& state) { selectRecord(state, Window::kShort, MyDocument::EditModeView); }
BENCHMARK(BM_EditShortNote)->Unit(benchmark::kMillisecond);
void BM_Edit10MBNoteOneLine(benchmark::State& state) { selectRecord(state, Window::kOneLine, MyDocument::EditModeView); }
BENCHMARK(BM_Edit10MBNoteOneLine)->Unit(benchmark::kMillisecond);
void BM_Edit10MBNoteInLines(benchmark::State& state) { selectRecord(state, Window::kLines, MyDocument::EditModeView); }
BENCHMARK(BM_Edit10MBNoteInLines)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runWidgetBenchmarks(argc, argv); }
