#pragma once
// The generic importer of delimited text: the user chooses a file with a
// format and an encoding, the file is split into rows and fields, a mapping
// sheet gives every source column a destination, and every row becomes a new
// object of the host through hooks a subclass overrides.
//
// Rows are kept compact, one QStringList a row; arrayImportController holds
// one placeholder a row (its arranged index is the row's number) and
// arrayImportRecord the row on show as {"element": text} dictionaries, the
// "elements" of importedRowAt(). Mapping rows are {"destination": integer,
// "importFlag": "»" or ""}, the content of destFieldArrayController.
//
// Text of every format is read with the usual quoting, as DelimitedTextSplitter
// says: a field that begins with a double quote runs to its closing quote,
// across separators and line breaks, and "" inside it is one quote; a field
// that does not is split at the separator as it is. A line break continues a
// record only while the record holds an odd number of quotes, and a quoted
// field that cannot be closed so is read as its writer meant, never merging
// the rest of its line into one field. Blank lines are no records and count
// in no total of the format detection; a row whose fields are all empty is
// no record and widens no mapping.
//
// Mapping of the framework names (beyond the common rules):
//   initWithDataArray:keyArray:sender:      ->  the constructor
//   loadDataFromFile:usingFileType:usingFileEncoding:
//                                           ->  loadDataFromFile(path, format, encoding): the file
//                                               is read and split on a thread of its own while the
//                                               loading sheet is up, and its rows come back through
//                                               the main queue; a failure is told to the user then
//   componentsOfCsvRow: / ...SemicolonRow:  ->  static members; a record may hold line feeds
//   popupButtonCell / toolsPopUpButton      ->  destinationMenu() / toolsMenu(): the items the
//                                               sheet's pop-up and pull-down show
//   dataLoadingPopUpSelected: (sender)      ->  dataLoadingPopUpSelected(row): the mapping row
//                                               whose pop-up was used
//   adjustContentArrayBeforeProcessing:     ->  takes and gives the lines as views into the text
//   the interface file "Importer"           ->  Importer.ui; its sheets are made on first use
//   DoImport:                               ->  DoImport(): the records are made a slice of rows at
//                                               a time from the main queue, so that the importing
//                                               sheet paints, and go into the host together at the
//                                               end; a run whose sheet is ended by another (a lock,
//                                               a close) adds nothing
//
// The two text hooks run on the reading thread: they touch no widget and no
// document, and a subclass that overrides them waits for the reading
// (waitForReading) in its destructor.
//   "[... createNewObjectToImport] must be subclassed" and other log lines  ->  qWarning

#include "document/DocumentExchange.h"
#include "exchange/QvSmartStringFileReader.h"
#include "platform/Value.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <thread>
#include <vector>

class ArrayController;
class QDialog;
class QWidget;
class ImporterWidgets;

class QvDataImportManager : public QObject, public DocumentImportManager {
    Q_OBJECT
public:
    enum Format { AutomaticFormat = 0, TabFormat = 1, CommaFormat = 2, SemicolonFormat = 3 };
    enum class LoadFailure { None, CannotRead, TooLarge, NotDecodable, TooManyColumns, NoRows, UnknownFormat };
    enum class Tool { Reset, Cascade, AllToNewColumn, FromFirstRow };
    struct ToolItem {
        QString title;
        Tool tool;
    };

    // More columns than this are no table of contacts but damage or an attack.
    static constexpr qsizetype kMaximumColumns = 10000;
    // Fields an import takes between two looks at the events (some tens of milliseconds).
    static constexpr qsizetype kFieldsPerImportSlice = 20000;
    static const QString kDestination; // "destination"
    static const QString kImportFlag;  // "importFlag"
    static const QString kElement;     // "element"
    static const QString kElements;    // "elements"
    static const QString kFlagOn;      // "»"

    QvDataImportManager(const ArrayRef& dataArray, const ArrayRef& keyArray, QvImporter* sender);
    QvDataImportManager();
    ~QvDataImportManager() override;

    void setDataArray(const ArrayRef& dataArray, const ArrayRef& keyArray);
    bool loadMyNibFile();

    // Properties.
    ArrayRef outsideDataArray() const { return m_outsideDataArray; }
    ArrayRef outsideKeyArray() const { return m_outsideKeyArray; }
    QvImporter* requester() const { return m_requester; }
    QWidget* attachToWin() const { return m_attachToWin; }
    int fileFormatToImport() const { return m_fileFormatToImport; }
    void setFileFormatToImport(int format) { m_fileFormatToImport = format; }
    int fileEncodeToImport() const { return m_fileEncodeToImport; }
    void setFileEncodeToImport(int code) { m_fileEncodeToImport = code; }
    bool doNotImportFirstRecord() const { return m_doNotImportFirstRecord; }
    void setDoNotImportFirstRecord(bool skip);
    bool useFirstRecordAsFieldsName() const { return m_useFirstRecordAsFieldsName; }
    void setUseFirstRecordAsFieldsName(bool use);
    DictionaryRef firstRowToImportUsedForColumnNames() const { return m_firstRowToImportUsedForColumnNames; }
    int numberOfImportedFields() const { return m_numberOfImportedFields; }
    int currentRecordIndex() const { return m_currentRecordIndex; }
    bool enableFirstRecAsNameOption() const { return m_enableFirstRecAsNameOption; }
    void setEnableFirstRecAsNameOption(bool enable);
    bool notVisibleFirstRecAsNameOption() const { return m_notVisibleFirstRecAsNameOption; }
    void setNotVisibleFirstRecAsNameOption(bool hidden);
    bool useSettingsPanel() const { return m_useSettingsPanel; }
    void setUseSettingsPanel(bool use) { m_useSettingsPanel = use; }
    int rowToStartCascadeAssignment() const { return m_rowToStartCascadeAssignment; }
    void setRowToStartCascadeAssignment(int index) { m_rowToStartCascadeAssignment = index; }

    // The record factory hook: the base makes none.
    virtual DictionaryRef createNewObjectToImport();

    // State of the last load.
    const QStringList& ImportFieldKeyArray() const { return m_ImportFieldKeyArray; }
    ArrayRef destFieldArray() const { return m_destFieldArray; }
    qint64 numOfMaxFieldInImportedData() const { return m_numOfMaxFieldInImportedData; }
    QStringList& innerKeyFinalDestinationArray() { return m_innerKeyFinalDestinationArray; }
    ArrayController* arrayImportController() const { return m_arrayImportController; }
    ArrayController* arrayImportRecord() const { return m_arrayImportRecord; }
    ArrayController* destFieldArrayController() const { return m_destFieldArrayController; }
    qsizetype importedRowCount() const { return qsizetype(m_rows.size()); }
    // The fields of an arranged row; empty out of range.
    QStringList fieldsOfRow(qsizetype row) const;
    // {"elements": [{"element": text}, ...]} of an arranged row; null out of range.
    DictionaryRef importedRowAt(qsizetype row) const;
    // Items of the destination pop-up (item 1, empty, is a separator) and of the tools menu.
    const QStringList& destinationMenu() const { return m_destinationMenu; }
    QStringList& destinationMenu() { return m_destinationMenu; }
    const QList<ToolItem>& toolsMenu() const { return m_toolsMenu; }
    QList<ToolItem>& toolsMenu() { return m_toolsMenu; }

    // The sheets' widgets, made with the first sheet (null before).
    QDialog* importSettingsPanel() const;
    QWidget* importPanelAccessoryView() const;
    QDialog* loadingFileSheet() const;
    QDialog* importingFileSheet() const;

    // Entry and loading.
    void loadDataForWin(QWidget* window) override;
    void loadDataFromFile(const QString& path, QWidget* window);
    void loadDataFromFile(const QString& path, int fileType, int fileEncoding);
    bool isReading() const { return bool(m_reading); }
    // For callers without an event loop: returns once the reading thread is
    // done; its rows then wait in the main queue.
    void waitForReading();
    static QStringList componentsOfCsvRow(const QString& line);
    static QStringList componentsOfCsvUsingSemicolonRow(const QString& line);
    // The format the automatic choice takes for these lines.
    static int detectFormat(const QStringList& lines);
    static int detectFormat(const QList<QStringView>& lines);
    // Rows of the lines in a format; false (and no rows) beyond kMaximumColumns.
    // widest is the largest field count of any row kept.
    static bool rowsOfLines(const QStringList& lines, int format, std::vector<QStringList>* rows, qsizetype* widest);
    static bool rowsOfLines(const QList<QStringView>& lines, int format, std::vector<QStringList>* rows,
                            qsizetype* widest);

    // Mapping lookup.
    QString fromElementInRowToFieldKey(qsizetype column) const;
    QString fromIndexNumberToFieldKey(qsizetype index) const;

    // Import. The rows go once they are records: a second run imports nothing.
    void DoImport();
    bool isImporting() const { return m_importing; }

    // The mapping sheet.
    void ImportSettings();
    void CancelImportSetting();
    void dataLoadingPopUpSelected(qsizetype row);
    void manageDataLoadingPopUpSelected(qsizetype row);
    void calcNumberOfImportedFields();
    void ResetImportFields();
    void AssignCascadeImportFields();
    void AllImportFieldsToCreateNewColumn();
    void tryAssignFromFirstRow();
    void applyTool(Tool tool);
    void showNextRecord();
    void showPrevRecord();
    void firstRowSetFieldsNameSelected();
    // Sets a mapping row's destination as its pop-up does, then applies it.
    void chooseDestination(qsizetype row, int destination);

    // Progress sheets.
    void showLoadingFileSheet();
    void showImportingFileSheet();
    void closeLoadingFileSheet();
    void closeImportingFileSheet();

    // Population deviation of the values read as integers; NaN for none.
    static double standardDeviation(const std::vector<Value>& values);

signals:
    // The mapping, the option or the record on show changed.
    void settingsChanged();

protected:
    // Hooks, in the order they are called.
    virtual QString adjustContentStringBeforeProcessing(const QString& text) { return text; }
    // The lines are views into the text; a subclass that changes them keeps the new text itself.
    virtual QList<QStringView> adjustContentArrayBeforeProcessing(const QList<QStringView>& lines) { return lines; }
    virtual void preImportSettings() {}
    virtual void willImport() {}
    virtual void recordIsGoingToBeInserted(const DictionaryRef&) {}
    virtual void addRecordToDestination(const DictionaryRef& record);
    // A record that was made for a row but is not added (the heading row).
    virtual void recordWasLeftOut(const DictionaryRef&) {}
    virtual void didImport() {}

    QStringList m_ImportFieldKeyArray;

private:
    void setMappingRow(const DictionaryRef& row, int destination, bool flagged);
    void showRecordOnShow();
    void tellLoadFailure(LoadFailure failure, const QString& path);
    void clearRows();
    void releaseRows();
    ImporterWidgets& widgets();
    struct Reading;
    void beginProgressSheet(QDialog* sheet, void (QvDataImportManager::*endedByOther)());
    void finishLoading(Reading& reading);
    void stopReading();
    void importSomeRows();
    void stopImport();

    ArrayRef m_outsideDataArray;
    ArrayRef m_outsideKeyArray;
    QvImporter* m_requester = nullptr;
    QPointer<QWidget> m_attachToWin;
    int m_fileFormatToImport = 0;
    int m_fileEncodeToImport = 0;
    int m_lastEncoding = 0;
    bool m_doNotImportFirstRecord = false;
    bool m_useFirstRecordAsFieldsName = false;
    DictionaryRef m_firstRowToImportUsedForColumnNames;
    int m_numberOfImportedFields = 0;
    int m_currentRecordIndex = 0;
    bool m_enableFirstRecAsNameOption = true;
    bool m_notVisibleFirstRecAsNameOption = false;
    bool m_useSettingsPanel = true;
    int m_rowToStartCascadeAssignment = 4;

    ArrayRef m_destFieldArray;
    qint64 m_numOfMaxFieldInImportedData = 0;
    QStringList m_innerKeyFinalDestinationArray;
    std::vector<QStringList> m_rows;
    ArrayController* m_arrayImportController = nullptr;
    ArrayController* m_arrayImportRecord = nullptr;
    ArrayController* m_destFieldArrayController = nullptr;
    QStringList m_destinationMenu;
    QList<ToolItem> m_toolsMenu;
    std::unique_ptr<ImporterWidgets> m_widgets;

    std::shared_ptr<Reading> m_reading;
    std::thread m_readingThread;
    bool m_importing = false;
    qsizetype m_importRow = 0;
    QStringList m_columnKeys;
    std::vector<DictionaryRef> m_imported;
};
