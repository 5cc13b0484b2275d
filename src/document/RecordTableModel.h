#pragma once
// The contact list as a table: one row per arranged record of the record
// controller, the columns "name" and "category". The category cell gives the
// category's name with its badge colours (background and foreground roles);
// the window's delegate draws the badge.
//
// Records that join the end of the arrangement (an import, an added record)
// are inserted as rows; any other change of the arrangement shows every row
// afresh.

#include "platform/Value.h"

#include <QAbstractTableModel>
#include <QPointer>

class FilteringArrayController;

class RecordTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, CategoryColumn = 1, ColumnCount = 2 };
    // The record of a row, as a pointer to its Dictionary (valid while the row is).
    static constexpr int RecordRole = Qt::UserRole + 1;
    // "name" or "category", for delegates that go by the column's identifier.
    static constexpr int ColumnIdentifierRole = Qt::UserRole + 2;

    explicit RecordTableModel(FilteringArrayController* controller, QObject* parent = nullptr);

    FilteringArrayController* controller() const { return m_controller; }
    DictionaryRef recordAt(int row) const;
    static QString columnIdentifier(int column);

    // The name cell: the company for a company record that has one, else the
    // first name, a blank and the last name (the blank only between two parts).
    static QString nameText(const Dictionary& record);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public slots:
    // A category's name or colours changed: every badge is shown again.
    void categoriesEdited();

private:
    void controllerChanged(const QString& keyPath);

    QPointer<FilteringArrayController> m_controller;
    // The rows shown, and the arrangement they were taken from.
    int m_rows = 0;
    quint64 m_generation = 0;
};
