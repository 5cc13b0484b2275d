#include "document/CategoryTableModel.h"

#include "document/QvColoredCategoryArrayController.h"
#include "toolkit/LongText.h"
#include "toolkit/QvColorUtilOSX.h"

#include <QColor>

CategoryTableModel::CategoryTableModel(QvColoredCategoryArrayController* controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
    if (!controller)
        return;
    connect(controller, &Observable::valueChangedForKeyPath, this, &CategoryTableModel::controllerChanged);
    connect(controller, &QvCategoryArrayController::categoriesEdited, this, &CategoryTableModel::showAllRows);
}

DictionaryRef CategoryTableModel::categoryAt(int row) const
{
    return m_controller ? m_controller->arrangedObjectAt(row) : nullptr;
}

QString CategoryTableModel::columnIdentifier(int column)
{
    switch (column) {
    case NameColumn:
        return QvCategoryArrayController::kName;
    case BackColorColumn:
        return QvColoredCategoryArrayController::kBackColor;
    case TextColorColumn:
        return QvColoredCategoryArrayController::kTextColor;
    default:
        return QString();
    }
}

int CategoryTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_controller)
        return 0;
    return static_cast<int>(m_controller->arrangedCount());
}

int CategoryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CategoryTableModel::data(const QModelIndex& index, int role) const
{
    const DictionaryRef category = index.isValid() ? categoryAt(index.row()) : nullptr;
    if (!category)
        return {};
    const auto colorOf = [&category](const QString& key) {
        return QvColorUtilOSX::NSColorFromDict(category->objectForKey(key)).toQColor();
    };
    switch (index.column()) {
    case NameColumn:
        if (role == Qt::EditRole)
            return category->objectForKey(QvCategoryArrayController::kName).stringValue();
        // The badge shows the name; a view sizing the cell by its text must not lay out a long one whole.
        if (role == Qt::DisplayRole)
            return LongText::head(category->objectForKey(QvCategoryArrayController::kName).stringValue(), 256, 1);
        if (role == Qt::BackgroundRole)
            return colorOf(QvColoredCategoryArrayController::kBackColor);
        if (role == Qt::ForegroundRole)
            return colorOf(QvColoredCategoryArrayController::kTextColor);
        return {};
    case BackColorColumn:
    case TextColorColumn:
        if (role == Qt::DecorationRole || role == Qt::EditRole)
            return colorOf(columnIdentifier(index.column()));
        return {};
    default:
        return {};
    }
}

bool CategoryTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const DictionaryRef category = index.isValid() ? categoryAt(index.row()) : nullptr;
    if (!category || role != Qt::EditRole)
        return false;
    const QString key = columnIdentifier(index.column());
    if (index.column() == NameColumn) {
        if (!value.canConvert<QString>())
            return false;
        category->setObject(Value(value.toString()), key);
    } else {
        const QColor color = value.value<QColor>();
        if (!color.isValid())
            return false;
        category->setObject(Value(QvColorUtilOSX::dictFromNSColor(QvColor::fromQColor(color))), key);
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    m_controller->controlTextDidChange();
    return true;
}

Qt::ItemFlags CategoryTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant CategoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("Category");
    case BackColorColumn:
        return tr("Background");
    case TextColorColumn:
        return tr("Text");
    default:
        return {};
    }
}

void CategoryTableModel::showAllRows()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void CategoryTableModel::controllerChanged(const QString& keyPath)
{
    if (keyPath == QLatin1String("arrangedObjects")) {
        beginResetModel();
        endResetModel();
    } else if (keyPath.startsWith(QLatin1String("selection."))) {
        showAllRows();
    }
}
