// Exporting from a document's window, as a person does it, and what a lock or
// a close in the middle of it leaves behind.
#include "exchange_fixture.h"
#include "exchange/QvDataExportManager.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"
#include "platform/Sheet.h"
#include "test_printers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ExportDocumentTest : public ExchangeDocumentTest {
protected:
    // A document saved as `name` with contacts in two categories, opened again and unlocked as a
    // person does: the password typed into the locked window.
    MyDocument* unlockedDocument(const QString& name = QStringLiteral("Family.calvorin"))
    {
        MyDocument* draft = newDocument();
        settle();
        const DictionaryRef family = categories(draft)->addWithName("Family");
        const DictionaryRef work = categories(draft)->addWithName("Work");
        const struct {
            const char* first;
            const char* last;
            const char* note;
            DictionaryRef category;
        } people[] = {
            {"Ann", "Lee", "12\" pizza, large", family},
            {"Bob", "Ray", "line one\r\nline two", work},
            {"Zoë", "Ångström", "<b>bold</b> & more", family},
        };
        for (const auto& p : people) {
            const DictionaryRef record = records(draft)->newObject();
            record->setObject(Value(p.first), "firstName");
            record->setObject(Value(p.last), "lastName");
            record->setObject(Value(p.note), "note");
            records(draft)->assignCategory(p.category, record);
            draft->myArray()->addObject(Value(record));
        }
        const QUrl url = QUrl::fromLocalFile(dir.filePath(name));
        QString why;
        EXPECT_TRUE(draft->writeToURL(url, "calvorin", &why)) << why.toStdString();
        draft->close();
        settle();

        MyDocument* opened = nullptr;
        controller.openDocumentWithContentsOfURL(url, true, [&opened](Document* d, bool) {
            opened = static_cast<MyDocument*>(d);
        });
        settle();
        EXPECT_TRUE(opened && opened->isEncrypted());
        window = opened->window();
        window->resize(1000, 680);
        QTest::keyClicks(opened->passwordToDecryptField(), kPassword);
        QTest::keyClick(opened->passwordToDecryptField(), Qt::Key_Return);
        settle();
        EXPECT_TRUE(opened->isDecrypted());
        return opened;
    }
    QvDataExportManager* exporter(MyDocument* document) const
    {
        return dynamic_cast<QvDataExportManager*>(document->myExportManager());
    }
    // File ▸ Export Text File…
    void chooseExportFromTheFileMenu()
    {
        QAction* item = window->command("exportToText");
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(window->fileMenu()->actions().contains(item));
        window->validateCommands();
        ASSERT_TRUE(item->isEnabled());
        EXPECT_EQ(item->text(), "&Export Text File…");
        item->trigger();
        settle();
    }
    template <typename T>
    T* inSheet(const char* name) const
    {
        T* widget = sheet ? sheet->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void click(const char* button)
    {
        auto* widget = inSheet<QPushButton>(button);
        ASSERT_TRUE(widget && widget->isEnabled()) << button;
        QTest::mouseClick(widget, Qt::LeftButton);
        settle();
    }
    void clickRow(const char* table, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        auto* view = inSheet<QTableView>(table);
        ASSERT_TRUE(view);
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        ASSERT_TRUE(cell.isValid()) << table << " row " << row;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, cell.center());
        settle();
    }
    QStringList rows(const char* table) const
    {
        QStringList list;
        if (auto* view = inSheet<QTableView>(table))
            for (int row = 0; row < view->model()->rowCount(); ++row)
                list << view->model()->index(row, 0).data().toString();
        return list;
    }
    QList<int> selectedRows(const char* table) const
    {
        QList<int> list;
        if (auto* view = inSheet<QTableView>(table))
            for (const QModelIndex& index : view->selectionModel()->selectedRows())
                list << index.row();
        std::sort(list.begin(), list.end());
        return list;
    }
    void typeInto(const char* field, const QString& text)
    {
        auto* edit = inSheet<QLineEdit>(field);
        ASSERT_TRUE(edit);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        settle();
    }
    void picture(QWidget* widget, const char* name) const
    {
        widget->grab().save(QStringLiteral("%1/calvorin-export-%2.png").arg(QDir::tempPath(), QLatin1String(name)));
    }
    QByteArray bytesOf(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QStringList filesBeside() const
    {
        QStringList files = QDir(dir.path()).entryList(QDir::Files);
        files.removeAll("Family.calvorin");
        return files;
    }
    // Everything a lock must let go of.
    struct Held {
        QPointer<QObject> manager;
        std::vector<std::weak_ptr<Dictionary>> records;
    };
    static Held held(MyDocument* document)
    {
        Held h;
        h.manager = dynamic_cast<QObject*>(document->myExportManager());
        for (const Value& r : *document->myArray())
            h.records.push_back(r.dictionary());
        return h;
    }
    static void expectLetGo(const Held& h)
    {
        EXPECT_TRUE(h.manager.isNull()) << "the exporter is gone";
        for (const auto& record : h.records)
            EXPECT_TRUE(record.expired()) << "no record is kept in clear";
    }

    QTemporaryDir dir;
    DocumentWindow* window = nullptr;
    QPointer<QDialog> sheet;
};

} // namespace

TEST_F(ExportDocumentTest, APersonExportsEveryContactAsCsvThenAsACustomPage)
{
    ScriptedFileChooser chooser;
    MyDocument* document = unlockedDocument();
    document->doSelectCatMenu("Family");
    ASSERT_EQ(records(document)->arrangedCount(), 2) << "the list shows one category";

    // Escape leaves the sheet without writing anything.
    chooseExportFromTheFileMenu();
    sheet = Sheet::attachedSheet(window);
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet, exporter(document)->exportSettingsPanel());
    picture(sheet, "sheet-empty");
    QTest::keyClick(sheet, Qt::Key_Escape);
    settle();
    EXPECT_EQ(Sheet::attachedSheet(window), nullptr);
    EXPECT_TRUE(chooser.requests.isEmpty());

    chooseExportFromTheFileMenu();
    sheet = Sheet::attachedSheet(window);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(rows("rightTable"), QStringList{});
    ASSERT_EQ(rows("leftTable").mid(0, 3), (QStringList{"Category", "First name", "Last name"}));
    EXPECT_FALSE(inSheet<QPushButton>("moveUpButton")->isEnabled());
    clickRow("leftTable", 1);
    clickRow("leftTable", 2, Qt::ControlModifier);
    click("addButton");
    EXPECT_EQ(rows("rightTable"), (QStringList{"First name", "Last name"}));
    EXPECT_EQ(rows("leftTable").mid(0, 2), (QStringList{"Category", "Company"}));
    EXPECT_EQ(selectedRows("rightTable"), (QList<int>{0, 1})) << "both fields just chosen are shown selected";
    picture(sheet, "sheet-two-selected");
    EXPECT_FALSE(inSheet<QPushButton>("moveUpButton")->isEnabled()) << "the first chosen field is selected";
    EXPECT_TRUE(inSheet<QPushButton>("moveDownButton")->isEnabled());
    clickRow("rightTable", 1);
    click("moveUpButton");
    EXPECT_EQ(rows("rightTable"), (QStringList{"Last name", "First name"}));
    auto* header = inSheet<QCheckBox>("fieldNamesCheck");
    QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(8, header->height() / 2)); // on the box
    EXPECT_TRUE(header->isChecked());
    EXPECT_TRUE(exporter(document)->useFieldNamesAsFirstRow().boolValue());
    auto* format = inSheet<QComboBox>("formatPopup");
    format->setFocus();
    QTest::keyClick(format, Qt::Key_Down);
    settle();
    EXPECT_EQ(format->currentText(), "CSV with quotes (.csv)");
    chooser.answerWith(dir.filePath("Family Export.csv"));
    click("exportButton");

    ASSERT_EQ(chooser.requests.size(), 1);
    EXPECT_EQ(chooser.requests[0].options.suggestedName, "Family Export");
    EXPECT_EQ(chooser.requests[0].options.allowedExtensions, QStringList{"csv"});
    EXPECT_EQ(chooser.requests[0].window, window);
    // Every record, in the document's order, whatever the list shows.
    EXPECT_EQ(bytesOf("Family Export.csv"), "\"Last name\",\"First name\"\n"
                                            "\"Lee\",\"Ann\"\n"
                                            "\"Ray\",\"Bob\"\n"
                                            "\"\xc3\x85ngstr\xc3\xb6m\",\"Zo\xc3\xab\"");

    // A new export starts afresh: the custom format filled from the page preset, each record on its line.
    chooseExportFromTheFileMenu();
    sheet = Sheet::attachedSheet(window);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(rows("rightTable"), QStringList{});
    clickRow("leftTable", 1);
    click("addButton");
    clickRow("leftTable", 15);
    ASSERT_EQ(rows("leftTable").value(15), "Note");
    click("addButton");
    format = inSheet<QComboBox>("formatPopup");
    format->setFocus();
    QTest::keyClick(format, Qt::Key_Home);
    auto* presets = inSheet<QComboBox>("presetPopup");
    presets->setFocus();
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(presets, Qt::Key_Down);
    settle();
    EXPECT_EQ(presets->currentText(), "HTML page");
    EXPECT_EQ(inSheet<QLineEdit>("edit_end_of_record")->text(), "</tr>");
    typeInto("edit_end_of_record", "</tr>\\n");
    EXPECT_EQ(inSheet<QLineEdit>("edit_end_of_record")->text(), "</tr>\\n") << "shown as typed";
    picture(sheet, "sheet-filled");
    chooser.answerWith(dir.filePath("page.txt"));
    QTest::keyClick(inSheet<QLineEdit>("edit_end_of_record"), Qt::Key_Return);
    settle();

    ASSERT_EQ(chooser.requests.size(), 2);
    EXPECT_EQ(chooser.requests[1].options.allowedExtensions, QStringList{"txt"});
    EXPECT_EQ(bytesOf("page.txt"), "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><table>"
                                   "<tr><td>Ann</td><td>12\" pizza, large</td></tr>\n"
                                   "<tr><td>Bob</td><td>line one\r\nline two</td></tr>\n"
                                   "<tr><td>Zo\xc3\xab</td><td><b>bold</b> & more</td></tr>\n"
                                   "</table></body></html>");
}

TEST_F(ExportDocumentTest, TheListsShowEveryFieldTheirControllersSelect)
{
    MyDocument* document = unlockedDocument();
    chooseExportFromTheFileMenu();
    sheet = Sheet::attachedSheet(window);
    ASSERT_TRUE(sheet);
    ArrayController* chosen = exporter(document)->rightKeyArrayController();
    click("addAllButton");
    const QStringList all = rows("rightTable");
    ASSERT_GE(all.size(), 6);

    // A selection made by the controller, in two runs, is shown whole.
    chosen->setSelectionIndexes({1, 3, 4});
    EXPECT_EQ(selectedRows("rightTable"), (QList<int>{1, 3, 4}));
    EXPECT_TRUE(inSheet<QPushButton>("moveUpButton")->isEnabled());
    EXPECT_TRUE(inSheet<QPushButton>("moveDownButton")->isEnabled());
    // Moving up takes the last selected field to just above the first selected position; the
    // list shows where it went.
    click("moveUpButton");
    EXPECT_EQ(rows("rightTable").mid(0, 5), (QStringList{all[4], all[0], all[1], all[2], all[3]}));
    const std::vector<qsizetype>& afterMove = chosen->selectionIndexes();
    EXPECT_EQ(selectedRows("rightTable"), QList<int>(afterMove.begin(), afterMove.end())) << "the list shows the moved field";

    // What the user selects in the list is what Remove takes.
    clickRow("rightTable", 2);
    clickRow("rightTable", 3, Qt::ShiftModifier);
    EXPECT_EQ(chosen->selectionIndexes(), (std::vector<qsizetype>{2, 3}));
    click("removeButton");
    EXPECT_EQ(rows("rightTable").mid(0, 4), (QStringList{all[4], all[0], all[3], all[5]}));
    EXPECT_EQ(rows("leftTable"), (QStringList{all[1], all[2]}));
    EXPECT_EQ(selectedRows("leftTable"), (QList<int>{0, 1})) << "the fields given back stay selected";

    chosen->setSelectionIndexes({});
    EXPECT_EQ(selectedRows("rightTable"), QList<int>{});
    EXPECT_FALSE(inSheet<QPushButton>("moveUpButton")->isEnabled());
    EXPECT_FALSE(inSheet<QPushButton>("removeButton")->isEnabled());
}

TEST_F(ExportDocumentTest, TheSuggestedNameIsTheDocumentsNameWithoutItsExtension)
{
    ScriptedFileChooser chooser;
    const struct {
        QString fileName; // empty: a new document
        QString suggested;
    } cases[] = {{"Family.calvorin", "Family Export"}, {"Family", "Family Export"}, {"", "Untitled Export"}};
    for (const auto& c : cases) {
        MyDocument* document = newDocument();
        settle();
        if (!c.fileName.isEmpty())
            document->setFileURL(QUrl::fromLocalFile(dir.filePath(c.fileName)));
        document->exportToText();
        ASSERT_NE(exporter(document), nullptr);
        EXPECT_EQ(exporter(document)->suggestedFileName(), c.suggested);
        EXPECT_EQ(exporter(document)->attachToWin(), document->window());
        EXPECT_EQ(exporter(document)->dataArray(), document->myArray());
        document->close();
        settle();
    }
}

TEST_F(ExportDocumentTest, ALockWhileTheSheetOrTheChooserIsUpWritesNothingAndKeepsNothing)
{
    MyDocument* document = unlockedDocument();

    // The settings sheet is up.
    document->exportToText();
    ASSERT_EQ(Sheet::attachedSheet(window), exporter(document)->exportSettingsPanel());
    Held h = held(document);
    document->lockAutomatically();
    settle();
    ASSERT_TRUE(document->isEncrypted());
    EXPECT_EQ(document->myExportManager(), nullptr);
    expectLetGo(h);
    EXPECT_EQ(Sheet::attachedSheet(window), nullptr);
    window->validateCommands();
    EXPECT_FALSE(window->command("exportToText")->isEnabled());

    // The chooser itself is up (the real one, with the format in its accessory).
    QTest::keyClicks(document->passwordToDecryptField(), kPassword);
    QTest::keyClick(document->passwordToDecryptField(), Qt::Key_Return);
    settle();
    ASSERT_TRUE(document->isDecrypted());
    document->exportToText();
    QvDataExportManager* manager = exporter(document);
    manager->setFileFormatToSave(Value::int32(4));
    manager->DoExportSetting();
    settle();
    auto* dialog = qobject_cast<QFileDialog*>(Sheet::attachedSheet(window));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isAncestorOf(manager->exportPanelAccessoryView()));
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"HTML Page (*.html)", "All Files (*)"}));
    EXPECT_EQ(dialog->defaultSuffix(), "html");
    auto* accessoryFormat = manager->exportPanelAccessoryView()->findChild<QComboBox*>("accessoryFormatPopup");
    ASSERT_NE(accessoryFormat, nullptr);
    EXPECT_EQ(accessoryFormat->currentText(), "HTML page (.html)");
    dialog->resize(820, 520);
    picture(dialog, "chooser");
    // The format changed in the accessory changes the chooser's type.
    accessoryFormat->setFocus();
    QTest::keyClick(accessoryFormat, Qt::Key_Down);
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"Comma-Separated Text (*.csv)", "All Files (*)"}));
    EXPECT_EQ(dialog->defaultSuffix(), "csv");
    dialog->selectFile(dir.filePath("never.csv"));

    h = held(document);
    document->lockAutomatically();
    settle();
    ASSERT_TRUE(document->isEncrypted());
    expectLetGo(h);
    EXPECT_EQ(filesBeside(), QStringList{});
}

TEST_F(ExportDocumentTest, ClosingTheDocumentWhileTheSheetOrTheChooserIsUpWritesNothing)
{
    ScriptedFileChooser chooser;
    MyDocument* document = unlockedDocument();
    document->exportToText();
    ASSERT_TRUE(Sheet::attachedSheet(window));
    QPointer<MyDocument> alive(document);
    document->close();
    settle();
    EXPECT_TRUE(alive.isNull());

    document = unlockedDocument();
    document->exportToText();
    chooser.answerWith(dir.filePath("never.tsv"));
    exporter(document)->DoExportSetting(); // the chooser's answer is on its way
    document->close();
    settle();
    EXPECT_EQ(filesBeside(), QStringList{});
}
