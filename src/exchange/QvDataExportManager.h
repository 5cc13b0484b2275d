#pragma once
// The text exporter: records of any kind (dictionaries read by key path), the
// table of fields they offer, and a window for its sheets. The user picks the
// fields and their order, the format and, for the custom format, the
// delimiters in the settings sheet; a save chooser asks where the text goes.
//
// Mapping of the framework names:
//   initWithDataArray:keyArray:window:      ->  the constructor
//   outlets exportSettingsPanel, exportPanelAccessoryView, leftTable and the two array controllers
//                                           ->  accessors of the same name, made from the form
//                                              "Exporter" (compiled in, so its load cannot fail)
//   savePanel                               ->  the SaveChooserType of the running save chooser;
//                                              null before the first exportToTextFile
//   topLevelObjectsOfNib                    ->  the settings sheet and the accessory
//   start_of_file ... use_end_of_record_in_last_record, useFieldNamesAsFirstRow, fileFormatToSave
//                                           ->  accessors of the same names, and the same keys
//                                              for bindings (an unset string is a null QString)
//   setCustomFields: / selectFileType: (sender)
//                                           ->  setCustomFields(tag) / selectFileType(title)
//   actions with a sender                   ->  the same names without the sender

#include "document/ArrayController.h"
#include "document/DocumentExchange.h"
#include "exchange/ExportWriter.h"
#include "platform/Observable.h"
#include "platform/Value.h"

#include "platform/FileChooser.h"

#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTableView>

class QvDataExportManager : public Observable, public DocumentExportManager {
    Q_OBJECT
public:
    // Keys of the settings, for bindings.
    static constexpr const char* kFileFormatToSave = "fileFormatToSave";
    static constexpr const char* kUseFieldNamesAsFirstRow = "useFieldNamesAsFirstRow";
    static constexpr const char* kUseEndOfRecordInLastRecord = "use_end_of_record_in_last_record";
    // The custom strings, in the order of the presets.
    static const QStringList& customStringKeys();
    // The row of setCustomFields for a tag: the eight custom strings as typed.
    static ExportWriter::CustomStrings preset(int tag);

    QvDataExportManager(const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window);
    ~QvDataExportManager() override;

    // DocumentExportManager
    void setSuggestedFileName(const QString& name) override;
    void run(QObject* sender) override;

    // The settings sheet.
    void ExportSettings();
    void DoExportSetting();
    void CancelExportSetting();
    void setCustomFields(int tag);
    // The save chooser's type, while it is up.
    void adjustFileType();
    void selectFileType(const QString& title);
    // The field chooser.
    void addSelectedToRight();
    void addAllToRight();
    void removeSelectedFromRight();
    void removeAllFromRight();
    void moveUp();
    void moveDown();
    // Asks where to write, then writes.
    void exportToTextFile();

    // Fields.
    SaveChooserType* savePanel() const { return m_savePanel; }
    QDialog* exportSettingsPanel() const { return m_exportSettingsPanel; }
    QWidget* exportPanelAccessoryView() const { return m_exportPanelAccessoryView; }
    ArrayController* leftKeyArrayController() const { return m_leftKeyArrayController; }
    ArrayController* rightKeyArrayController() const { return m_rightKeyArrayController; }
    QTableView* leftTable() const { return m_leftTable; }
    QTableView* rightTable() const { return m_rightTable; }
    QList<QObject*> topLevelObjectsOfNib() const;
    QString suggestedFileName() const { return m_suggestedFileName; }
    ArrayRef dataArray() const { return m_dataArray; }
    ArrayRef leftKeyArray() const { return m_leftKeyArray; }
    ArrayRef rightKeyArray() const { return m_rightKeyArray; }
    ArrayRef allKeyArray() const { return m_allKeyArray; }
    QWidget* attachToWin() const { return m_attachToWin; }
    ExportWriter::CustomStrings customStrings() const { return m_custom; }
    QString start_of_file() const { return m_custom.startOfFile; }
    QString end_of_file() const { return m_custom.endOfFile; }
    QString start_of_record() const { return m_custom.startOfRecord; }
    QString end_of_record() const { return m_custom.endOfRecord; }
    QString field_open_tag() const { return m_custom.fieldOpenTag; }
    QString field_close_tag() const { return m_custom.fieldCloseTag; }
    QString field_separator() const { return m_custom.fieldSeparator; }
    QString use_end_of_record_in_last_record() const { return m_custom.useEndOfRecordInLastRecord; }
    Value useFieldNamesAsFirstRow() const { return m_useFieldNamesAsFirstRow; }
    Value fileFormatToSave() const { return m_fileFormatToSave; }
    void setStart_of_file(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("start_of_file")); }
    void setEnd_of_file(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("end_of_file")); }
    void setStart_of_record(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("start_of_record")); }
    void setEnd_of_record(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("end_of_record")); }
    void setField_open_tag(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("field_open_tag")); }
    void setField_close_tag(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("field_close_tag")); }
    void setField_separator(const QString& s) { setValueForKeyPath(Value(s), QStringLiteral("field_separator")); }
    void setUse_end_of_record_in_last_record(const QString& s)
    {
        setValueForKeyPath(Value(s), QLatin1String(kUseEndOfRecordInLastRecord));
    }
    void setUseFieldNamesAsFirstRow(const Value& v) { setValueForKeyPath(v, QLatin1String(kUseFieldNamesAsFirstRow)); }
    void setFileFormatToSave(const Value& v) { setValueForKeyPath(v, QLatin1String(kFileFormatToSave)); }

    Value valueForKeyPath(const QString& keyPath) const override;
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override;

protected:
    // For subclasses: before the settings sheet opens, when its export button
    // is pressed (before it closes), and after the file is written.
    virtual void preExportSettings() {}
    virtual void willExport() {}
    virtual void didExport() {}

private:
    void buildSheets();
    // The custom string of a key, or null.
    const QString* customString(const QString& key) const;
    void transfer(ArrayController* from, ArrayController* to, std::vector<DictionaryRef> fields);
    // Builds the text and writes it to path; false, with the reason, when it could not be written.
    bool writeExport(const QString& path, const ExportWriter::DateStyle& dates, QString* why);

    QPointer<SaveChooserType> m_savePanel;
    QPointer<QDialog> m_exportSettingsPanel;
    QPointer<QWidget> m_exportPanelAccessoryView;
    ArrayController* m_leftKeyArrayController = nullptr;
    ArrayController* m_rightKeyArrayController = nullptr;
    QPointer<QTableView> m_leftTable;
    QPointer<QTableView> m_rightTable;
    QString m_suggestedFileName;
    ArrayRef m_dataArray;
    ArrayRef m_leftKeyArray;
    ArrayRef m_rightKeyArray;
    ExportWriter::CustomStrings m_custom;
    Value m_useFieldNamesAsFirstRow;
    Value m_fileFormatToSave;
    QPointer<QWidget> m_attachToWin;
    ArrayRef m_allKeyArray;
};
