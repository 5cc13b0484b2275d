#include "exchange/ImporterWidgets.h"

#include "document/ArrayController.h"
#include "exchange/QvDataImportManager.h"
#include "platform/Sheet.h"
#include "toolkit/LongText.h"
#include "ui_Importer.h"

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
// How much of a value in the file the mapping sheet shows.
constexpr qsizetype kShownValueLength = 256;
constexpr qsizetype kShownTipLength = 1000;
constexpr qsizetype kShownTipLines = 20;

// The accessory's choices and the codes behind them.
struct Choice {
    const char* title;
    int code;
};
constexpr Choice kFormats[] = {
    {QT_TRANSLATE_NOOP("Importer", "Automatic"), 0},
    {QT_TRANSLATE_NOOP("Importer", "Tab"), 1},
    {QT_TRANSLATE_NOOP("Importer", "Comma"), 2},
    {QT_TRANSLATE_NOOP("Importer", "Semicolon"), 3},
};
constexpr Choice kEncodings[] = {
    {QT_TRANSLATE_NOOP("Importer", "Automatic"), 0},
    {QT_TRANSLATE_NOOP("Importer", "UTF-8"), 1},
    {QT_TRANSLATE_NOOP("Importer", "UTF-16"), 10},
    {QT_TRANSLATE_NOOP("Importer", "UTF-16 Big-Endian"), 11},
    {QT_TRANSLATE_NOOP("Importer", "UTF-16 Little-Endian"), 12},
    {QT_TRANSLATE_NOOP("Importer", "UTF-32"), 20},
    {QT_TRANSLATE_NOOP("Importer", "UTF-32 Big-Endian"), 21},
    {QT_TRANSLATE_NOOP("Importer", "UTF-32 Little-Endian"), 22},
    {QT_TRANSLATE_NOOP("Importer", "Mac OS Roman"), 30},
    {QT_TRANSLATE_NOOP("Importer", "ASCII"), 50},
};

const char* toolName(QvDataImportManager::Tool tool)
{
    switch (tool) {
    case QvDataImportManager::Tool::Reset:
        return "ResetImportFields";
    case QvDataImportManager::Tool::Cascade:
        return "AssignCascadeImportFields";
    case QvDataImportManager::Tool::AllToNewColumn:
        return "AllImportFieldsToCreateNewColumn";
    case QvDataImportManager::Tool::FromFirstRow:
        return "tryAssignFromFirstRow";
    }
    return "";
}

// Escape or a close button would hide the sheet while its work goes on
// unseen, and an import started again then adds the same rows twice.
class ProgressSheet : public QDialog {
public:
    ProgressSheet()
    {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }
    void reject() override {}
};

void fillDestinations(QComboBox* popup, const QStringList& items)
{
    popup->clear();
    for (int i = 0; i < items.size(); ++i) {
        if (i == 1)
            popup->insertSeparator(1);
        else
            popup->addItem(items.at(i));
    }
}
} // namespace

// The mapping model

ImportMappingModel::ImportMappingModel(QvDataImportManager* manager, QObject* parent)
    : QAbstractTableModel(parent), m_manager(manager)
{
}

int ImportMappingModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int ImportMappingModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ImportMappingModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const DictionaryRef mapping = m_manager->destFieldArray()->objectAtIndex(index.row()).dictionary();
    if (!mapping)
        return {};
    const int destination = mapping->objectForKey(QvDataImportManager::kDestination).intValue();
    switch (index.column()) {
    case ValueColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            const DictionaryRef element = m_manager->arrayImportRecord()->arrangedObjectAt(index.row());
            const QString value = element ? element->objectForKey(QvDataImportManager::kElement).stringValue() : QString();
            // The cell and its tip lay out all they are given: a field of megabytes shows its beginning.
            return role == Qt::DisplayRole ? LongText::head(value, kShownValueLength, 1)
                                           : LongText::head(value, kShownTipLength, kShownTipLines);
        }
        break;
    case FlagColumn:
        if (role == Qt::DisplayRole)
            return mapping->objectForKey(QvDataImportManager::kImportFlag).stringValue();
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        break;
    case DestinationColumn:
        if (role == Qt::DisplayRole)
            return m_manager->destinationMenu().value(destination);
        if (role == Qt::EditRole)
            return destination;
        break;
    }
    return {};
}

bool ImportMappingModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != DestinationColumn || role != Qt::EditRole)
        return false;
    const int destination = value.toInt();
    if (destination == 1 || destination < 0 || destination >= m_manager->destinationMenu().size())
        return false; // the separator, or nothing chosen
    m_manager->chooseDestination(index.row(), destination);
    return true;
}

QVariant ImportMappingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case ValueColumn:
        return tr("Value in the file");
    case FlagColumn:
        return QString();
    case DestinationColumn:
        return tr("Import as");
    }
    return {};
}

Qt::ItemFlags ImportMappingModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == DestinationColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void ImportMappingModel::refresh()
{
    const int rows = int(m_manager->destFieldArray()->count());
    if (rows != m_rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    } else if (rows > 0) {
        emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
    }
}

// The destination pop-up

DestinationDelegate::DestinationDelegate(QvDataImportManager* manager, QObject* parent)
    : QStyledItemDelegate(parent), m_manager(manager)
{
}

QWidget* DestinationDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* popup = new QComboBox(parent);
    popup->setObjectName(QStringLiteral("popupButtonCell"));
    popup->setAccessibleName(tr("Import column %1 as").arg(index.row() + 1));
    fillDestinations(popup, m_manager->destinationMenu());
    auto* self = const_cast<DestinationDelegate*>(this);
    connect(popup, &QComboBox::activated, self, [self, popup] { emit self->commitData(popup); });
    return popup;
}

void DestinationDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* popup = static_cast<QComboBox*>(editor);
    if (popup->count() != m_manager->destinationMenu().size())
        fillDestinations(popup, m_manager->destinationMenu());
    const QSignalBlocker blocker(popup);
    popup->setCurrentIndex(index.data(Qt::EditRole).toInt());
}

void DestinationDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    model->setData(index, static_cast<QComboBox*>(editor)->currentIndex(), Qt::EditRole);
}

// The widgets

ImporterWidgets::ImporterWidgets(QvDataImportManager* manager) : m_manager(manager), m_ui(std::make_unique<Ui::Importer>())
{
    m_container = new QWidget;
    m_ui->setupUi(m_container);
    m_container->hide();
    m_accessory = m_ui->importPanelAccessoryView;

    for (const Choice& choice : kFormats)
        m_ui->formatPopup->addItem(QCoreApplication::translate("Importer", choice.title), choice.code);
    for (const Choice& choice : kEncodings)
        m_ui->encodingPopup->addItem(QCoreApplication::translate("Importer", choice.title), choice.code);
    m_ui->encodingPopup->insertSeparator(2);
    QObject::connect(m_ui->formatPopup, &QComboBox::currentIndexChanged, manager, [this] {
        m_manager->setFileFormatToImport(m_ui->formatPopup->currentData().toInt());
    });
    QObject::connect(m_ui->encodingPopup, &QComboBox::currentIndexChanged, manager, [this] {
        m_manager->setFileEncodeToImport(m_ui->encodingPopup->currentData().toInt());
    });

    m_model = new ImportMappingModel(manager, m_ui->mappingTable);
    m_ui->mappingTable->setModel(m_model);
    m_ui->mappingTable->setItemDelegateForColumn(ImportMappingModel::DestinationColumn,
                                                 new DestinationDelegate(manager, m_ui->mappingTable));
    m_ui->mappingTable->setEditTriggers(QAbstractItemView::AllEditTriggers);
    QHeaderView* header = m_ui->mappingTable->horizontalHeader();
    header->setSectionResizeMode(ImportMappingModel::ValueColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(ImportMappingModel::FlagColumn, QHeaderView::Fixed);
    header->resizeSection(ImportMappingModel::FlagColumn, 28);
    header->setSectionResizeMode(ImportMappingModel::DestinationColumn, QHeaderView::Fixed);
    header->resizeSection(ImportMappingModel::DestinationColumn, 200);
    m_ui->mappingTable->verticalHeader()->setDefaultSectionSize(m_ui->mappingTable->fontMetrics().height() + 14);

    auto* tools = new QMenu(m_ui->toolsPopUpButton);
    tools->setObjectName(QStringLiteral("toolsMenu"));
    m_ui->toolsPopUpButton->setMenu(tools);

    QObject::connect(m_ui->previousButton, &QPushButton::clicked, manager, &QvDataImportManager::showPrevRecord);
    QObject::connect(m_ui->nextButton, &QPushButton::clicked, manager, &QvDataImportManager::showNextRecord);
    QObject::connect(m_ui->cancelButton, &QPushButton::clicked, manager, &QvDataImportManager::CancelImportSetting);
    QObject::connect(m_ui->importButton, &QPushButton::clicked, manager, &QvDataImportManager::DoImport);
    QObject::connect(m_ui->firstRowOption, &QCheckBox::clicked, manager, [this](bool checked) {
        m_manager->setUseFirstRecordAsFieldsName(checked);
        m_manager->firstRowSetFieldsNameSelected();
    });

    m_settingsPanel = makeSheet(m_ui->importSettingsView, QStringLiteral("importSettingsPanel"), new QDialog);
    m_settingsPanel->setWindowTitle(QObject::tr("Import Text File"));
    m_settingsPanel->resize(640, 480);
    m_loadingSheet = makeSheet(m_ui->loadingFileView, QStringLiteral("loadingFileSheet"), new ProgressSheet);
    m_importingSheet = makeSheet(m_ui->importingFileView, QStringLiteral("importingFileSheet"), new ProgressSheet);

    QObject::connect(manager, &QvDataImportManager::settingsChanged, m_container, [this] { refresh(); });
}

ImporterWidgets::~ImporterWidgets()
{
    // Sheets deleted while attached end without an answer.
    delete m_settingsPanel.data();
    delete m_loadingSheet.data();
    delete m_importingSheet.data();
    // The accessory may still be in a chooser that has not ended.
    delete m_accessory.data();
    delete m_container.data();
}

QDialog* ImporterWidgets::makeSheet(QWidget* content, const QString& name, QDialog* dialog)
{
    dialog->setObjectName(name);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(content);
    return dialog;
}

QWidget* ImporterWidgets::accessory() const { return m_ui->importPanelAccessoryView; }

void ImporterWidgets::resetAccessory()
{
    m_ui->formatPopup->setCurrentIndex(0);
    m_ui->encodingPopup->setCurrentIndex(0);
}

void ImporterWidgets::prepareSettings()
{
    QMenu* tools = m_ui->toolsPopUpButton->menu();
    tools->clear();
    for (const QvDataImportManager::ToolItem& item : m_manager->toolsMenu()) {
        QAction* action = tools->addAction(item.title);
        action->setObjectName(QLatin1String(toolName(item.tool)));
        const QvDataImportManager::Tool tool = item.tool;
        QObject::connect(action, &QAction::triggered, m_manager, [this, tool] { m_manager->applyTool(tool); });
    }
    // Pop-ups made before take the new items.
    m_model->refresh();
    QTableView* table = m_ui->mappingTable;
    for (int row = 0; row < m_model->rowCount(); ++row)
        table->closePersistentEditor(m_model->index(row, ImportMappingModel::DestinationColumn));
    refresh();
}

void ImporterWidgets::refresh()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    m_model->refresh();
    QTableView* table = m_ui->mappingTable;
    if (m_model->rowCount() <= kPersistentPopups) {
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QModelIndex index = m_model->index(row, ImportMappingModel::DestinationColumn);
            if (!table->isPersistentEditorOpen(index))
                table->openPersistentEditor(index);
        }
    }
    m_ui->recordLabel->setText(QObject::tr("Record %1 of %2")
                                   .arg(m_manager->currentRecordIndex())
                                   .arg(m_manager->arrayImportController()->arrangedCount()));
    m_ui->previousButton->setEnabled(m_manager->currentRecordIndex() > 1);
    m_ui->nextButton->setEnabled(m_manager->currentRecordIndex() < m_manager->arrayImportController()->arrangedCount());
    m_ui->importedFieldsLabel->setText(QObject::tr("Fields to import: %1").arg(m_manager->numberOfImportedFields()));
    m_ui->firstRowOption->setChecked(m_manager->useFirstRecordAsFieldsName());
    m_ui->firstRowOption->setEnabled(m_manager->enableFirstRecAsNameOption());
    m_ui->firstRowOption->setVisible(!m_manager->notVisibleFirstRecAsNameOption());
    m_refreshing = false;
}

void ImporterWidgets::showImportProgress(qsizetype done, qsizetype total)
{
    // A bar that fills as the rows go in; a range of 0 to 0 would only show it busy.
    QProgressBar* bar = m_ui->importingFileSheetProgressIndicator;
    const int scale = int(std::max<qsizetype>(total, 1));
    if (bar->maximum() != scale)
        bar->setRange(0, scale);
    bar->setValue(int(std::min<qsizetype>(done, scale)));
}
