#include "document/RecordTableModel.h"

#include "document/FilteringArrayController.h"
#include "document/QvColoredCategoryArrayController.h"
#include "toolkit/LongText.h"
#include "toolkit/QvColorUtilOSX.h"

namespace {
// A cell shows one line of a field's beginning: the views lay out all the text they are given.
constexpr qsizetype kShownLength = 256;
} // namespace

RecordTableModel::RecordTableModel(FilteringArrayController* controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
    if (!controller)
        return;
    m_rows = static_cast<int>(controller->arrangedCount());
    m_generation = controller->arrangementGeneration();
    connect(controller, &Observable::valueChangedForKeyPath, this, &RecordTableModel::controllerChanged);
    if (QvColoredCategoryArrayController* categories = controller->myCategoryArrayController())
        connect(categories, &QvCategoryArrayController::categoriesEdited, this, &RecordTableModel::categoriesEdited);
}

DictionaryRef RecordTableModel::recordAt(int row) const
{
    return m_controller ? m_controller->arrangedObjectAt(row) : nullptr;
}

QString RecordTableModel::columnIdentifier(int column)
{
    switch (column) {
    case NameColumn:
        return QStringLiteral("name");
    case CategoryColumn:
        return QStringLiteral("category");
    default:
        return QString();
    }
}

QString RecordTableModel::nameText(const Dictionary& record)
{
    const Value company = record.objectForKey(QStringLiteral("company"));
    if (record.objectForKey(QStringLiteral("isCompany")).boolValue() && !company.isNull())
        return company.stringValue();
    QString text = record.objectForKey(QStringLiteral("firstName")).stringValue();
    const Value lastName = record.objectForKey(QStringLiteral("lastName"));
    if (!lastName.isNull()) {
        if (!text.isEmpty())
            text += u' ';
        text += lastName.stringValue();
    }
    return text;
}

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_controller)
        return 0;
    return m_rows;
}

int RecordTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    if (role == ColumnIdentifierRole)
        return columnIdentifier(index.column());
    const DictionaryRef record = index.isValid() ? recordAt(index.row()) : nullptr;
    if (!record)
        return {};
    if (role == RecordRole)
        return QVariant::fromValue(static_cast<const void*>(record.get()));

    if (index.column() == NameColumn) {
        if (role == Qt::DisplayRole)
            return LongText::head(nameText(*record), kShownLength, 1);
        return {};
    }
    if (index.column() == CategoryColumn) {
        // A record without a category leaves its cell empty.
        const DictionaryRef category = record->objectForKey(FilteringArrayController::kCategoryPtr).dictionary();
        if (!category)
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return LongText::head(category->objectForKey(QvCategoryArrayController::kName).stringValue(), kShownLength, 1);
        case Qt::BackgroundRole:
            return QvColorUtilOSX::NSColorFromDict(category->objectForKey(QvColoredCategoryArrayController::kBackColor))
                .toQColor();
        case Qt::ForegroundRole:
            return QvColorUtilOSX::NSColorFromDict(category->objectForKey(QvColoredCategoryArrayController::kTextColor))
                .toQColor();
        default:
            return {};
        }
    }
    return {};
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("Name");
    case CategoryColumn:
        return tr("Category");
    default:
        return {};
    }
}

void RecordTableModel::categoriesEdited()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, CategoryColumn), index(rowCount() - 1, CategoryColumn));
}

void RecordTableModel::controllerChanged(const QString& keyPath)
{
    if (keyPath == QLatin1String("arrangedObjects")) {
        const int rows = static_cast<int>(m_controller->arrangedCount());
        if (m_controller->arrangementGeneration() == m_generation && rows >= m_rows) {
            // The rows shown stay as they are: a large list is not laid out again for a few more.
            if (rows > m_rows) {
                beginInsertRows(QModelIndex(), m_rows, rows - 1);
                m_rows = rows;
                endInsertRows();
            }
            return;
        }
        beginResetModel();
        m_rows = rows;
        m_generation = m_controller->arrangementGeneration();
        endResetModel();
    } else if (keyPath.startsWith(QLatin1String("selection."))) {
        // An edit through the record view changes the selected rows only.
        for (qsizetype row : m_controller->selectionIndexes()) {
            if (row < m_rows)
                emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), ColumnCount - 1));
        }
    }
}
