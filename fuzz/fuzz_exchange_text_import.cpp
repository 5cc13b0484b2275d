// Feeds arbitrary bytes to the text import: every encoding code and format,
// through the reader, the rows, the mapping rows, the tools and the run.
#include "exchange/QvDataImportManager.h"
#include "platform/Alert.h"
#include "platform/MainQueue.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

class Importer : public QvDataImportManager {
public:
    Importer() : QvDataImportManager(Array::create(), fieldTable(), nullptr)
    {
        m_ImportFieldKeyArray = {QStringLiteral("NO_IMPORT"), QStringLiteral(""), QStringLiteral("a"),
                                 QStringLiteral("b"), QStringLiteral("c")};
        setRowToStartCascadeAssignment(2);
        setUseSettingsPanel(false);
    }
    DictionaryRef createNewObjectToImport() override { return Dictionary::create(); }

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
    }
    QApplication* app;
    ScriptedResponder* responder;
    ManualMainQueue* queue;
    QTemporaryDir dir;
    QString path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
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
    Importer importer;
    importer.loadDataFromFile(setup.path, format, code);
    const qsizetype columns = importer.destFieldArray()->count();
    importer.tryAssignFromFirstRow();
    importer.AssignCascadeImportFields();
    importer.AllImportFieldsToCreateNewColumn();
    if (columns > 0)
        importer.chooseDestination(columns - 1, 3);
    importer.showNextRecord();
    importer.showPrevRecord();
    setup.queue->runAll();
    const qsizetype rows = importer.importedRowCount();
    importer.DoImport();
    if (importer.outsideDataArray()->count() > rows || importer.importedRowCount() != 0)
        __builtin_trap();
    setup.queue->runAll();
    return 0;
}
