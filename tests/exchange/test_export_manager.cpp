// The exporter's settings, its sheets and the file it writes, driven without a person.
#include "common/file_size_limit.h"

#include <cerrno>
#include <cstring>
#include "document/MyDocument.h"
#include "exchange/QvDataExportManager.h"
#include "platform/Alert.h"
#include "platform/FileChooser.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"
#include "test_printers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Tells in which order the hooks ran.
class RecordingExporter : public QvDataExportManager {
public:
    using QvDataExportManager::QvDataExportManager;
    QStringList calls;

protected:
    void preExportSettings() override { calls << "preExportSettings"; }
    void willExport() override { calls << "willExport"; }
    void didExport() override { calls << "didExport"; }
};

class ExportManagerTest : public ::testing::Test {
public:
    void SetUp() override
    {
        records = Array::create();
        for (const char* name : {"Ann", "Bob"})
            records->addObject(Value(Dictionary::create({{"firstName", Value(name)}, {"lastName", Value("Lee")}})));
        exporter = std::make_unique<RecordingExporter>(records, MyDocument::exportFieldTable(), &window);
    }
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            queue.runAll();
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    static QStringList captions(const ArrayRef& fields)
    {
        QStringList list;
        for (const Value& f : *fields)
            list << f.valueForKey("publicKey").stringValue();
        return list;
    }
    static QStringList allCaptions() { return captions(MyDocument::exportFieldTable()); }
    // Chooses the fields by caption, as a click on each would.
    void choose(const QStringList& names)
    {
        select(exporter->leftKeyArrayController(), names);
        exporter->addSelectedToRight();
    }
    static void select(ArrayController* controller, const QStringList& names)
    {
        std::vector<DictionaryRef> objects;
        for (const DictionaryRef& f : controller->arrangedObjects())
            if (names.contains(f->objectForKey("publicKey").stringValue()))
                objects.push_back(f);
        controller->setSelectedObjects(objects);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    static QByteArray bytesOf(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    static void writeFile(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // The settings sheet's Export… button, then the chooser's answer.
    void exportTo(const QString& file)
    {
        chooser.answerWith(file);
        exporter->run(nullptr);
        exporter->DoExportSetting();
        settle();
    }

    ManualMainQueue queue;
    ScriptedResponder responder;
    ScriptedFileChooser chooser;
    QTemporaryDir dir;
    QWidget window;
    ArrayRef records;
    std::unique_ptr<RecordingExporter> exporter;
};

} // namespace

TEST_F(ExportManagerTest, ANewManagerOffersEveryFieldAndHasChosenNone)
{
    EXPECT_EQ(captions(exporter->leftKeyArray()), allCaptions());
    EXPECT_EQ(exporter->rightKeyArray()->count(), 0);
    EXPECT_EQ(exporter->leftKeyArrayController()->content(), exporter->leftKeyArray());
    EXPECT_EQ(exporter->rightKeyArrayController()->content(), exporter->rightKeyArray());
    EXPECT_EQ(exporter->dataArray(), records) << "the caller's own array, not a copy";
    EXPECT_EQ(exporter->suggestedFileName(), "Export");
    EXPECT_TRUE(exporter->fileFormatToSave().isEqual(Value::int32(1)));
    EXPECT_TRUE(exporter->useFieldNamesAsFirstRow().isNull());
    for (const QString& key : QvDataExportManager::customStringKeys().mid(0, 7))
        EXPECT_TRUE(exporter->valueForKeyPath(key).isEqual(Value(""))) << key.toStdString();
    EXPECT_TRUE(exporter->valueForKeyPath("use_end_of_record_in_last_record").isNull());
    EXPECT_EQ(exporter->savePanel(), nullptr);
    EXPECT_EQ(exporter->topLevelObjectsOfNib().size(), 2);
    EXPECT_NE(exporter->exportSettingsPanel(), nullptr);
    EXPECT_NE(exporter->exportPanelAccessoryView(), nullptr);

    // Exporting without choosing a field writes empty rows.
    exportTo(path("none.tsv"));
    EXPECT_EQ(bytesOf(path("none.tsv")), "\n");
}

TEST_F(ExportManagerTest, FieldChooserActions)
{
    const struct {
        const char* name;
        QStringList chosen;                            // chosen first, in this order
        std::function<void(ExportManagerTest&)> act;
        QStringList expectedChosen;
        QStringList expectedOffered;                  // empty: every field not chosen, in table order
    } cases[] = {
        {"add selected", {}, [](ExportManagerTest& t) { t.choose({"Last name", "First name"}); },
         {"First name", "Last name"}, {}},
        {"add all after chosen fields", {"Note"}, [](ExportManagerTest& t) { t.exporter->addAllToRight(); },
         QStringList{"Note"} + allCaptions().mid(0, 16), {}},
        {"remove selected", {"Company", "Note", "Fax work"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Note"});
             t.exporter->removeSelectedFromRight();
         },
         {"Company", "Fax work"}, {}},
        {"remove all after the fields left", {"Company", "Note"},
         [](ExportManagerTest& t) { t.exporter->removeAllFromRight(); }, {},
         [] {
             QStringList left = allCaptions();
             left.removeAll("Company");
             left.removeAll("Note");
             return left << "Company" << "Note";
         }()},
        {"move up the first", {"Company", "Note", "Fax work"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Company"});
             t.exporter->moveUp();
         },
         {"Company", "Note", "Fax work"}, {}},
        {"move down the last", {"Company", "Note", "Fax work"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Fax work"});
             t.exporter->moveDown();
         },
         {"Company", "Note", "Fax work"}, {}},
        {"move up", {"Company", "Note", "Fax work"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Fax work"});
             t.exporter->moveUp();
         },
         {"Company", "Fax work", "Note"}, {}},
        {"move down", {"Company", "Note", "Fax work"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Company"});
             t.exporter->moveDown();
         },
         {"Note", "Company", "Fax work"}, {}},
        {"several selected: move up takes the last above the first", {"Company", "Note", "Fax work", "Category"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Note", "Category"});
             t.exporter->moveUp();
         },
         {"Category", "Company", "Note", "Fax work"}, {}},
        {"several selected: move down takes the last below the first", {"Company", "Note", "Fax work", "Category"},
         [](ExportManagerTest& t) {
             select(t.exporter->rightKeyArrayController(), {"Company", "Fax work"});
             t.exporter->moveDown();
         },
         {"Company", "Fax work", "Note", "Category"}, {}},
        {"nothing selected", {"Company", "Note"},
         [](ExportManagerTest& t) {
             t.exporter->rightKeyArrayController()->setSelectionIndex(-1);
             t.exporter->leftKeyArrayController()->setSelectionIndex(-1);
             t.exporter->moveUp();
             t.exporter->moveDown();
             t.exporter->addSelectedToRight();
             t.exporter->removeSelectedFromRight();
         },
         {"Company", "Note"}, {}},
    };
    for (const auto& c : cases) {
        SetUp();
        for (const QString& name : c.chosen)
            choose({name});
        c.act(*this);
        QStringList offered = c.expectedOffered;
        if (offered.isEmpty())
            for (const QString& name : allCaptions())
                if (!c.expectedChosen.contains(name))
                    offered << name;
        EXPECT_EQ(captions(exporter->rightKeyArray()), c.expectedChosen) << c.name;
        EXPECT_EQ(captions(exporter->leftKeyArray()), offered) << c.name;
    }
}

TEST_F(ExportManagerTest, PresetsFillTheCustomStringsAndLeaveTheFormat)
{
    const char* page = R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head><body><table>)";
    const struct {
        int tag;
        QStringList strings;
    } cases[] = {
        {1, {"", "", "", "\\n", "", "", "\\t", "NO"}},
        {2, {"", "", "", "\\n", "\"", "\"", ",", "NO"}},
        {3, {"<table>", "</table>", "<tr>", "</tr>", "<td>", "</td>", "", "YES"}},
        {4, {page, "</table></body></html>", "<tr>", "</tr>", "<td>", "</td>", "", "YES"}},
        {5, {"", "", "", "\\n", "", "", ",", "NO"}},
        {0, {"", "", "", "", "", "", "", "YES"}},
        {6, {"", "", "", "", "", "", "", "YES"}},
        {-1, {"", "", "", "", "", "", "", "YES"}},
    };
    exporter->setFileFormatToSave(Value::int32(3));
    for (const auto& c : cases) {
        exporter->setCustomFields(3); // something else first
        exporter->setCustomFields(c.tag);
        QStringList strings;
        for (const QString& key : QvDataExportManager::customStringKeys())
            strings << exporter->valueForKeyPath(key).stringValue();
        EXPECT_EQ(strings, c.strings) << c.tag;
        EXPECT_TRUE(exporter->fileFormatToSave().isEqual(Value::int32(3))) << c.tag;
    }
}

TEST_F(ExportManagerTest, PresetFourInTheCustomFormatWritesTheSamePageAsFormatFour)
{
    choose({"First name"});
    exporter->setUseFieldNamesAsFirstRow(Value::boolean(true));
    exporter->setFileFormatToSave(Value::int32(4));
    exportTo(path("fixed.html"));
    exporter->setCustomFields(4);
    exporter->setFileFormatToSave(Value::int32(0));
    exportTo(path("custom.txt"));
    EXPECT_EQ(bytesOf(path("custom.txt")), bytesOf(path("fixed.html")));
    EXPECT_TRUE(bytesOf(path("fixed.html")).startsWith("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"));
}

TEST_F(ExportManagerTest, TheChooserAsksForTheFormatsExtensionAndFollowsAFormatChangedWhileItIsUp)
{
    // Before any export there is no chooser to change.
    exporter->adjustFileType();
    exporter->selectFileType("html");
    EXPECT_TRUE(chooser.requests.isEmpty());

    for (int format : {-1, 0, 1, 2, 3, 4, 5, 6}) {
        exporter->setFileFormatToSave(Value::int32(format));
        chooser.cancelNext();
        exporter->exportToTextFile();
        ASSERT_FALSE(chooser.requests.isEmpty());
        const FileChooserOptions& options = chooser.requests.last().options;
        EXPECT_EQ(options.allowedExtensions, QStringList{ExportWriter::extensionFor(format)}) << format;
        EXPECT_TRUE(options.allowsOtherFileTypes);
        EXPECT_EQ(options.accessory, exporter->exportPanelAccessoryView());
        EXPECT_EQ(options.suggestedName, "Export");
        EXPECT_EQ(chooser.requests.last().window, &window);
        settle();
    }

    choose({"First name"});
    chooser.answerWith(path("changed.html"));
    exporter->setFileFormatToSave(Value::int32(1));
    exporter->exportToTextFile();
    exporter->setFileFormatToSave(Value::int32(2));
    exporter->adjustFileType();
    exporter->selectFileType("html");
    settle();
    exporter->adjustFileType(); // the chooser is gone
    EXPECT_EQ(chooser.requests.last().allowedTypeChanges, (QList<QStringList>{{"csv"}, {"html"}}));
    EXPECT_TRUE(bytesOf(path("changed.html")).startsWith("\"")) << "written in the format chosen last";
}

TEST_F(ExportManagerTest, HooksRunInOrderAndCancelWritesNothing)
{
    exportTo(path("done.tsv"));
    EXPECT_EQ(exporter->calls, (QStringList{"preExportSettings", "willExport", "didExport"}));
    EXPECT_TRUE(QFile::exists(path("done.tsv")));

    // Cancel on the sheet.
    exporter->calls.clear();
    exporter->run(nullptr);
    ASSERT_EQ(Sheet::attachedSheet(&window), exporter->exportSettingsPanel());
    exporter->CancelExportSetting();
    settle();
    EXPECT_EQ(Sheet::attachedSheet(&window), nullptr);
    EXPECT_EQ(exporter->calls, QStringList{"preExportSettings"});

    // Cancel in the chooser.
    exporter->calls.clear();
    const int requests = chooser.requests.size();
    chooser.cancelNext();
    exporter->run(nullptr);
    exporter->DoExportSetting();
    settle();
    EXPECT_EQ(chooser.requests.size(), requests + 1);
    EXPECT_EQ(exporter->calls, (QStringList{"preExportSettings", "willExport"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"done.tsv"});
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(ExportManagerTest, AFailedWriteIsReportedAndKeepsTheOldFile)
{
    choose({"First name", "Note"});
    records->removeAllObjects();
    for (int i = 0; i < 2000; ++i)
        records->addObject(Value(Dictionary::create({{"firstName", Value("Someone")}, {"note", Value(QString(100, 'x'))}})));
    writeFile(path("old.tsv"), "the old export\n");

    withFileSizeLimit(64 * 1024, [this] { exportTo(path("old.tsv")); });

    EXPECT_EQ(bytesOf(path("old.tsv")), "the old export\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.tsv"}) << "no partial file is left";
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(responder.alerts()[0].messageText, "The export “old.tsv” could not be saved.");
    EXPECT_EQ(responder.alerts()[0].informativeText, QString::fromLocal8Bit(std::strerror(EFBIG)))
        << "the system's reason, not \"Unknown error\"";
    EXPECT_TRUE(responder.alerts()[0].asSheet);
    EXPECT_EQ(responder.alerts()[0].window, &window);
    EXPECT_FALSE(exporter->calls.contains("didExport"));

    // A folder that went away while the chooser was up.
    exporter->calls.clear();
    ASSERT_TRUE(QDir(dir.path()).mkdir("gone"));
    chooser.answerWith(path("gone/new.tsv"));
    exporter->run(nullptr);
    exporter->DoExportSetting();
    ASSERT_TRUE(QDir(path("gone")).removeRecursively());
    settle();
    ASSERT_EQ(responder.alerts().size(), 2);
    EXPECT_EQ(responder.alerts()[1].messageText, "The export “new.tsv” could not be saved.");
    EXPECT_FALSE(responder.alerts()[1].informativeText.isEmpty());
    EXPECT_FALSE(exporter->calls.contains("didExport"));
    EXPECT_FALSE(QFile::exists(path("gone/new.tsv")));
}

TEST_F(ExportManagerTest, WritesExactlyThePathTheChooserGaveAsUtf8WithoutMark)
{
    records->addObject(Value(Dictionary::create({{"firstName", Value("Zoë")}, {"lastName", Value("Ångström")}})));
    choose({"First name", "Last name"});
    exporter->setFileFormatToSave(Value::int32(5));
    exportTo(path("contacts")); // no extension: none is added
    EXPECT_EQ(bytesOf(path("contacts")), "Ann,Lee\nBob,Lee\nZo\xc3\xab,\xc3\x85ngstr\xc3\xb6m");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"contacts"});
}
