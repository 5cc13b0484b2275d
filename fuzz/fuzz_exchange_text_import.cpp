// Feeds arbitrary bytes to the text import: every encoding code and format,
// through the reader, the rows, the mapping rows, the tools and the run.
#include "exchange/QvDataImportManager.h"
#include "platform/Alert.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define CALVORIN_LSAN 1
#endif
#endif

namespace {

class Importer : public QvDataImportManager {
public:
    Importer() : QvDataImportManager(Array::create(), fieldTable(), nullptr)
    {
        m_ImportFieldKeyArray = {QStringLiteral("NO_IMPORT"), QStringLiteral(""), QStringLiteral("a"),
                                 QStringLiteral("b"), QStringLiteral("c")};
        setRowToStartCascadeAssignment(2);
        // Straight to the run, whose first hook works the mapping as the sheet's tools do.
        setUseSettingsPanel(false);
    }
    DictionaryRef createNewObjectToImport() override { return Dictionary::create(); }

    void willImport() override
    {
        rows = importedRowCount();
        const qsizetype columns = destFieldArray()->count();
        tryAssignFromFirstRow();
        AssignCascadeImportFields();
        AllImportFieldsToCreateNewColumn();
        if (columns > 0) {
            destFieldArray()->objectAtIndex(columns - 1).dictionary()->setObject(Value::int32(3), kDestination);
            manageDataLoadingPopUpSelected(columns - 1);
        }
        showNextRecord();
        showPrevRecord();
    }
    qsizetype rows = 0;

    static ArrayRef fieldTable()
    {
        ArrayRef table = Array::create();
        for (const char* caption : {"A", "B", "C"})
            table->addObject(Value(Dictionary::create({{QStringLiteral("publicKey"), Value(caption)}})));
        return table;
    }
};

constexpr int kCodes[] = {0, 1, 10, 11, 12, 20, 21, 22, 30, 50, 7};

struct Setup {
    Setup()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        responder = new ScriptedResponder;
        queue = new ManualMainQueue;
        path = dir.filePath(QStringLiteral("input.csv"));
        importer = new Importer;
    }
    QApplication* app;
    ScriptedResponder* responder;
    ManualMainQueue* queue;
    Importer* importer = nullptr;
    QTemporaryDir dir;
    QString path;
};

Setup& setup()
{
    static Setup shared;
    return shared;
}

} // namespace

// Qt and the font library load what they keep for the process with the first
// sheet and alert: that happens here, not in an input.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
#ifdef CALVORIN_LSAN
    // The font library's own set-up never frees what it keeps.
    __lsan_disable();
#endif
    Importer& warmUp = *setup().importer;
    warmUp.showLoadingFileSheet();
    warmUp.closeLoadingFileSheet();
    // Every alert once (their texts need fonts of their own) and a mapping sheet.
    const QString path = setup().path;
    for (const auto& [bytes, code] : {std::pair<QByteArray, int>{"a,\xC3", 1}, {"", 0}, {"a,b\nc,d\n", 0}}) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        file.close();
        warmUp.loadDataFromFile(path, 0, code);
        warmUp.waitForReading();
        setup().queue->runAll();
    }
    warmUp.loadDataFromFile(setup().dir.filePath(QStringLiteral("missing.csv")), 0, 0);
    warmUp.waitForReading();
    setup().queue->runAll();
#ifdef CALVORIN_LSAN
    __lsan_enable();
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Setup& setup = ::setup();
    if (size < 1)
        return 0;
    const int code = kCodes[data[0] % std::size(kCodes)];
    const int format = (data[0] / std::size(kCodes)) % 5; // 4 is no format
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    // Bytes in memory, in every code.
    if (std::optional<QString> text = QvSmartStringFileReader::autoReadFromData(bytes, code))
        QvSmartStringFileReader::replaceStringWithNewline(&*text);

    {
        QFile file(setup.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }
    // One manager loads again and again, as the same manager may.
    Importer& importer = *setup.importer;
    importer.outsideDataArray()->removeAllObjects();
    importer.rows = 0;
    importer.loadDataFromFile(setup.path, format, code);
    importer.waitForReading();
    setup.queue->runAll();
    if (importer.outsideDataArray()->count() > importer.rows || importer.importedRowCount() != 0)
        __builtin_trap();
    Sheet::endAll(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
