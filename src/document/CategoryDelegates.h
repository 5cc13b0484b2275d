#pragma once
// The delegates of the two tables that show categories: the record list
// (its "category" column draws the record's category badge) and the category
// sheet (the name drawn as its badge and edited in place, the two colours as
// swatches).

#include <QPointer>
#include <QStyledItemDelegate>

class MyDocument;
class QAbstractItemView;

// Delegate of the record list. Both columns use the lists' font.
class MyTableDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MyTableDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// A name typed in the sheet shows in every badge at once.
//
// Mapping: `controlTextDidChange:` is controlTextDidChange().
class QvCategoryEditFieldDelegate : public QObject {
    Q_OBJECT
public:
    QvCategoryEditFieldDelegate(QAbstractItemView* myCategoryTable, MyDocument* myDocument, QObject* parent = nullptr);

    void controlTextDidChange();

private:
    QPointer<QAbstractItemView> m_myCategoryTable;
    QPointer<MyDocument> m_myDocument;
};

// Delegate of the category sheet's table.
class MyCategoryTableDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MyCategoryTableDelegate(QvCategoryEditFieldDelegate* editFieldDelegate, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Only the name is edited in place; the colours have their own dialog.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    QPointer<QvCategoryEditFieldDelegate> m_editFieldDelegate;
};
