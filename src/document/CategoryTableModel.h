#pragma once
// The categories of the category sheet as a table: one row per category, the
// columns "cat_category" (the name, editable, with the badge colours as its
// background and foreground roles), "cat_backColor" and "cat_textColor" (the
// colours, editable as QColor). Every edit marks the document changed and
// shows the badges of the record list again.

#include "platform/Value.h"

#include <QAbstractTableModel>
#include <QPointer>

class QvColoredCategoryArrayController;

class CategoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, BackColorColumn = 1, TextColorColumn = 2, ColumnCount = 3 };

    explicit CategoryTableModel(QvColoredCategoryArrayController* controller, QObject* parent = nullptr);

    QvColoredCategoryArrayController* controller() const { return m_controller; }
    DictionaryRef categoryAt(int row) const;
    // The category key a column shows.
    static QString columnIdentifier(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void controllerChanged(const QString& keyPath);
    void showAllRows();

    QPointer<QvColoredCategoryArrayController> m_controller;
};
