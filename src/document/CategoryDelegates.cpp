#include "document/CategoryDelegates.h"

#include "document/CategoryBadges.h"
#include "document/CategoryTableModel.h"
#include "document/FilteringArrayController.h"
#include "document/MyDocument.h"
#include "document/RecordTableModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>

namespace {

// The badge sits inside its cell with a little air around it, as high as a line of its text.
QRect badgeRect(const QRect& cell, const QFont& font)
{
    const int height = std::min(cell.height() - 2, QFontMetrics(font).height() + 6);
    const QRect inner = cell.adjusted(4, 0, -4, 0);
    return QRect(inner.x() - 1, cell.y() + (cell.height() - height) / 2 - 1, inner.width() + 2, height + 2);
}

// The cell's background and selection as the style draws them, without text.
void paintCellBackground(QPainter* painter, QStyleOptionViewItem option)
{
    option.text.clear();
    option.icon = QIcon();
    option.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);
}

int rowHeightFor(const QFont& font)
{
    return QFontMetrics(font).height() + 10;
}

} // namespace

// Record list

MyTableDelegate::MyTableDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void MyTableDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->font = CategoryBadges::tableFont();
    option->fontMetrics = QFontMetrics(option->font);
    // The category column draws its badge; the model's badge colours are not a cell background.
    if (index.column() == RecordTableModel::CategoryColumn)
        option->backgroundBrush = QBrush();
}

void MyTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() != RecordTableModel::CategoryColumn) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    paintCellBackground(painter, cell);
    const auto* record = static_cast<const Dictionary*>(index.data(RecordTableModel::RecordRole).value<const void*>());
    const DictionaryRef category =
        record ? record->objectForKey(FilteringArrayController::kCategoryPtr).dictionary() : nullptr;
    if (!category)
        return;
    CategoryBadges::drawCellBadge(*painter, badgeRect(option.rect, cell.font), *category, cell.font);
}

QSize MyTableDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), rowHeightFor(CategoryBadges::tableFont())));
    return size;
}

// Category sheet

QvCategoryEditFieldDelegate::QvCategoryEditFieldDelegate(QAbstractItemView* myCategoryTable, MyDocument* myDocument,
                                                         QObject* parent)
    : QObject(parent), m_myCategoryTable(myCategoryTable), m_myDocument(myDocument)
{
}

void QvCategoryEditFieldDelegate::controlTextDidChange()
{
    if (m_myCategoryTable)
        m_myCategoryTable->viewport()->update();
    if (m_myDocument)
        m_myDocument->synkNotesWithCategory();
}

MyCategoryTableDelegate::MyCategoryTableDelegate(QvCategoryEditFieldDelegate* editFieldDelegate, QObject* parent)
    : QStyledItemDelegate(parent), m_editFieldDelegate(editFieldDelegate)
{
}

void MyCategoryTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.backgroundBrush = QBrush();
    paintCellBackground(painter, cell);
    if (index.column() == CategoryTableModel::NameColumn) {
        const auto* model = qobject_cast<const CategoryTableModel*>(index.model());
        const DictionaryRef category = model ? model->categoryAt(index.row()) : nullptr;
        if (category) {
            const QFont font = CategoryBadges::tableFont();
            CategoryBadges::drawCellBadge(*painter, badgeRect(option.rect, font), *category, font);
        }
        return;
    }
    const QColor color = index.data(Qt::DecorationRole).value<QColor>();
    if (!color.isValid())
        return;
    const int side = std::min(option.rect.height() - 8, 18);
    QRect swatch(0, 0, std::min(option.rect.width() - 12, 44), side);
    swatch.moveCenter(option.rect.center());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option.palette.color(QPalette::Mid), 1));
    painter->setBrush(color);
    painter->drawRoundedRect(QRectF(swatch).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->restore();
}

QSize MyCategoryTableDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), rowHeightFor(CategoryBadges::tableFont())));
    return size;
}

QWidget* MyCategoryTableDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    if (index.column() != CategoryTableModel::NameColumn)
        return nullptr;
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setFont(CategoryBadges::tableFont());
    QPointer<QvCategoryEditFieldDelegate> fieldDelegate = m_editFieldDelegate;
    QPersistentModelIndex where(index);
    // Every keystroke goes to the category, so the badges follow the name as it is typed.
    connect(editor, &QLineEdit::textEdited, this, [where, fieldDelegate](const QString& text) {
        if (!where.isValid())
            return;
        const_cast<QAbstractItemModel*>(where.model())->setData(where, text, Qt::EditRole);
        if (fieldDelegate)
            fieldDelegate->controlTextDidChange();
    });
    return editor;
}

void MyCategoryTableDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* field = qobject_cast<QLineEdit*>(editor);
    if (field && field->text() != index.data(Qt::EditRole).toString())
        field->setText(index.data(Qt::EditRole).toString());
}

void MyCategoryTableDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* field = qobject_cast<QLineEdit*>(editor);
    if (field && field->text() != index.data(Qt::EditRole).toString())
        model->setData(index, field->text(), Qt::EditRole);
}
