#pragma once
// The importer's widgets from the interface file "Importer": the chooser's
// accessory (format and encoding), the mapping sheet and the two progress
// sheets. They show the manager's state and send its actions; no logic here.
// The progress sheets cannot be dismissed: neither Escape nor a close button
// ends them, only the manager when the work is done (or a lock or a close of
// the document, which stops the work).

#include <QAbstractTableModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QDialog>

class QDialog;
class QWidget;
class QvDataImportManager;
namespace Ui {
class Importer;
}

// The mapping rows: the value of the record on show, the flag, the destination.
class ImportMappingModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ValueColumn, FlagColumn, DestinationColumn, ColumnCount };
    explicit ImportMappingModel(QvDataImportManager* manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Follows the manager: a reset when the number of columns changed.
    void refresh();
    // The importing sheet's indicator: done of total rows.
    void showImportProgress(qsizetype done, qsizetype total);

private:
    QvDataImportManager* m_manager;
    int m_rows = 0;
};

// The destination pop-up of a mapping row.
class DestinationDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DestinationDelegate(QvDataImportManager* manager, QObject* parent = nullptr);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    QvDataImportManager* m_manager;
};

class ImporterWidgets {
public:
    // Rows up to this many get a pop-up each; longer tables open one on demand.
    static constexpr int kPersistentPopups = 300;

    explicit ImporterWidgets(QvDataImportManager* manager);
    ~ImporterWidgets();

    QWidget* accessory() const;
    QDialog* settingsPanel() const { return m_settingsPanel; }
    QDialog* loadingSheet() const { return m_loadingSheet; }
    QDialog* importingSheet() const { return m_importingSheet; }

    // The accessory shows Automatic for both choices again.
    void resetAccessory();
    // The pop-ups and the tools menu take the manager's items.
    void prepareSettings();
    void refresh();
    // The importing sheet's indicator: done of total rows.
    void showImportProgress(qsizetype done, qsizetype total);

private:
    // Puts the content into the dialog, which the caller made without a parent.
    QDialog* makeSheet(QWidget* content, const QString& name, QDialog* dialog);

    QvDataImportManager* m_manager;
    std::unique_ptr<Ui::Importer> m_ui;
    QPointer<QWidget> m_container;
    QPointer<QWidget> m_accessory;
    QPointer<QDialog> m_settingsPanel;
    QPointer<QDialog> m_loadingSheet;
    QPointer<QDialog> m_importingSheet;
    ImportMappingModel* m_model = nullptr;
    bool m_refreshing = false;
};
