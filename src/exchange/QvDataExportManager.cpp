#include "exchange/QvDataExportManager.h"

#include "document/DocumentStyle.h"
#include "document/TableSelectionLink.h"
#include "encryption/CryptoPrimitives.h"
#include "platform/Alert.h"
#include "platform/Binding.h"
#include "platform/FileChooser.h"
#include "platform/FileWrite.h"
#include "platform/Sheet.h"
#include "platform/WindowSize.h"
#include "ui_Exporter.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace {
const QString kPublicKey = QStringLiteral("publicKey");

// The fields of one list of the sheet, by caption.
class FieldListModel : public QAbstractTableModel {
public:
    FieldListModel(ArrayController* controller, QObject* parent) : QAbstractTableModel(parent), m_controller(controller)
    {
        connect(controller, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
            if (keyPath == QLatin1String("arrangedObjects")) {
                beginResetModel();
                endResetModel();
            }
        });
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_controller->arrangedCount());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const DictionaryRef field = m_controller->arrangedObjectAt(index.row());
        if (!field || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
            return {};
        return field->objectForKey(kPublicKey).stringValue();
    }

private:
    ArrayController* m_controller;
};

QString typeDescriptionFor(const QString& extension)
{
    if (extension == QLatin1String("tsv"))
        return QvDataExportManager::tr("Tab-Separated Text");
    if (extension == QLatin1String("csv"))
        return QvDataExportManager::tr("Comma-Separated Text");
    if (extension == QLatin1String("html"))
        return QvDataExportManager::tr("HTML Page");
    if (extension == QLatin1String("txt"))
        return QvDataExportManager::tr("Text");
    return QString();
}
} // namespace

const QStringList& QvDataExportManager::customStringKeys()
{
    static const QStringList keys = {
        QStringLiteral("start_of_file"),   QStringLiteral("end_of_file"),     QStringLiteral("start_of_record"),
        QStringLiteral("end_of_record"),   QStringLiteral("field_open_tag"),  QStringLiteral("field_close_tag"),
        QStringLiteral("field_separator"), QLatin1String(kUseEndOfRecordInLastRecord),
    };
    return keys;
}

ExportWriter::CustomStrings QvDataExportManager::preset(int tag)
{
    const QString lf = QStringLiteral("\\n");
    const QString yes = QStringLiteral("YES");
    const QString no = QStringLiteral("NO");
    const QString none = QLatin1String("");
    switch (tag) {
    case 1:
        return {none, none, none, lf, none, none, QStringLiteral("\\t"), no};
    case 2:
        return {none, none, none, lf, QStringLiteral("\""), QStringLiteral("\""), QStringLiteral(","), no};
    case 3:
        return {QStringLiteral("<table>"), QStringLiteral("</table>"), QStringLiteral("<tr>"), QStringLiteral("</tr>"),
                QStringLiteral("<td>"), QStringLiteral("</td>"), none, yes};
    case 4:
        // As the page of the fixed format, which declares its encoding.
        return {QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><table>"),
                QStringLiteral("</table></body></html>"), QStringLiteral("<tr>"), QStringLiteral("</tr>"),
                QStringLiteral("<td>"), QStringLiteral("</td>"), none, yes};
    case 5:
        return {none, none, none, lf, none, none, QStringLiteral(","), no};
    default:
        return {none, none, none, none, none, none, none, yes};
    }
}

QvDataExportManager::QvDataExportManager(const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window)
    : m_suggestedFileName(QStringLiteral("Export")),
      m_dataArray(dataArray ? dataArray : Array::create()),
      m_fileFormatToSave(Value::int32(ExportWriter::TabSeparated)),
      m_attachToWin(window),
      m_allKeyArray(keyArray ? keyArray : Array::create())
{
    m_leftKeyArray = m_allKeyArray->mutableCopy();
    m_rightKeyArray = Array::create();
    const QString empty = QLatin1String("");
    m_custom = {empty, empty, empty, empty, empty, empty, empty, QString()};

    m_leftKeyArrayController = new ArrayController(this);
    m_leftKeyArrayController->setObjectName(QStringLiteral("leftKeyArrayController"));
    m_leftKeyArrayController->setContent(m_leftKeyArray);
    m_rightKeyArrayController = new ArrayController(this);
    m_rightKeyArrayController->setObjectName(QStringLiteral("rightKeyArrayController"));
    m_rightKeyArrayController->setContent(m_rightKeyArray);
    buildSheets();
}

QvDataExportManager::~QvDataExportManager()
{
    // The sheet and the accessory may hang in a window or a chooser that outlives the manager.
    delete m_exportSettingsPanel.data();
    delete m_exportPanelAccessoryView.data();
}

void QvDataExportManager::buildSheets()
{
    // The form holds both views; each is taken out of it and belongs to the manager.
    QWidget form;
    Ui::Exporter ui;
    ui.setupUi(&form);
    m_exportSettingsPanel = ui.exportSettingsPanel;
    m_exportSettingsPanel->setParent(nullptr, Qt::Dialog);
    m_exportPanelAccessoryView = ui.exportPanelAccessoryView;
    m_exportPanelAccessoryView->setParent(nullptr);
    m_leftTable = ui.leftTable;
    m_rightTable = ui.rightTable;

    DocumentStyle::setHeading(ui.titleLabel, 1.2);
    DocumentStyle::setSecondary(ui.infoLabel);
    DocumentStyle::setSecondary(ui.escapeHint);
    for (int tag = 0; tag < ui.presetPopup->count(); ++tag)
        ui.presetPopup->setItemData(tag, tag);

    const auto setUpTable = [](QTableView* table, ArrayController* controller) {
        table->setModel(new FieldListModel(controller, table));
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
        linkTableSelection(table, controller);
    };
    setUpTable(ui.leftTable, m_leftKeyArrayController);
    setUpTable(ui.rightTable, m_rightKeyArrayController);

    QString errors;
    if (!Binding::bindTree(m_exportSettingsPanel, {{QStringLiteral("exporter"), this}}, &errors)
        || !Binding::bindTree(m_exportPanelAccessoryView, {{QStringLiteral("exporter"), this}}, &errors))
        qWarning("export sheet: %s", qPrintable(errors));

    connect(ui.addButton, &QPushButton::clicked, this, &QvDataExportManager::addSelectedToRight);
    connect(ui.addAllButton, &QPushButton::clicked, this, &QvDataExportManager::addAllToRight);
    connect(ui.removeButton, &QPushButton::clicked, this, &QvDataExportManager::removeSelectedFromRight);
    connect(ui.removeAllButton, &QPushButton::clicked, this, &QvDataExportManager::removeAllFromRight);
    connect(ui.moveUpButton, &QPushButton::clicked, this, &QvDataExportManager::moveUp);
    connect(ui.moveDownButton, &QPushButton::clicked, this, &QvDataExportManager::moveDown);
    connect(ui.cancelButton, &QPushButton::clicked, this, &QvDataExportManager::CancelExportSetting);
    connect(ui.exportButton, &QPushButton::clicked, this, &QvDataExportManager::DoExportSetting);
    QComboBox* presets = ui.presetPopup;
    connect(presets, &QComboBox::activated, this, [this, presets](int index) {
        setCustomFields(presets->itemData(index).toInt());
    });
    QComboBox* accessoryFormat = ui.accessoryFormatPopup;
    connect(accessoryFormat, &QComboBox::activated, this, [this](int index) {
        setFileFormatToSave(Value::int32(index));
        adjustFileType();
    });

    // A button is enabled only when its action has something to act on.
    const auto updateButtons = [this, ui] {
        const qsizetype chosenSelected = m_rightKeyArrayController->selectionIndexes().size();
        ui.addButton->setEnabled(m_leftKeyArrayController->canRemove());
        ui.addAllButton->setEnabled(m_leftKeyArrayController->arrangedCount() > 0);
        ui.removeButton->setEnabled(chosenSelected > 0);
        ui.removeAllButton->setEnabled(m_rightKeyArrayController->arrangedCount() > 0);
        // Moving acts on the last selected field from the first selected position.
        const qsizetype first = m_rightKeyArrayController->selectionIndex();
        ui.moveUpButton->setEnabled(chosenSelected > 0 && first > 0);
        ui.moveDownButton->setEnabled(chosenSelected > 0 && first < m_rightKeyArrayController->arrangedCount() - 1);
    };
    for (ArrayController* controller : {m_leftKeyArrayController, m_rightKeyArrayController})
        connect(controller, &Observable::valueChangedForKeyPath, m_exportSettingsPanel, updateButtons);
    updateButtons();
    m_exportSettingsPanel->resize(m_exportSettingsPanel->sizeHint().expandedTo(QSize(560, 0)));
    WindowSize::fitToLayout(m_exportSettingsPanel);
}

QList<QObject*> QvDataExportManager::topLevelObjectsOfNib() const
{
    return {m_exportSettingsPanel.data(), m_exportPanelAccessoryView.data()};
}

void QvDataExportManager::setSuggestedFileName(const QString& name)
{
    m_suggestedFileName = name;
    emit valueChangedForKeyPath(QStringLiteral("suggestedFileName"));
}

// The settings sheet

void QvDataExportManager::run(QObject* sender)
{
    ExportSettings();
}

void QvDataExportManager::ExportSettings()
{
    preExportSettings();
    if (m_exportSettingsPanel)
        Sheet::begin(m_exportSettingsPanel, m_attachToWin, [](int) {});
}

void QvDataExportManager::DoExportSetting()
{
    willExport();
    Sheet::end(m_exportSettingsPanel, 0);
    exportToTextFile();
}

void QvDataExportManager::CancelExportSetting()
{
    Sheet::end(m_exportSettingsPanel, 0);
}

void QvDataExportManager::setCustomFields(int tag)
{
    const ExportWriter::CustomStrings row = preset(tag);
    const QString values[] = {row.startOfFile,   row.endOfFile,     row.startOfRecord,  row.endOfRecord,
                              row.fieldOpenTag, row.fieldCloseTag, row.fieldSeparator, row.useEndOfRecordInLastRecord};
    for (int i = 0; i < customStringKeys().size(); ++i)
        setValueForKeyPath(Value(values[i]), customStringKeys()[i]);
}

void QvDataExportManager::adjustFileType()
{
    if (!m_savePanel)
        return;
    const QString extension = ExportWriter::extensionFor(m_fileFormatToSave.intValue());
    m_savePanel->setAllowedType({extension}, typeDescriptionFor(extension));
}

void QvDataExportManager::selectFileType(const QString& title)
{
    if (m_savePanel)
        m_savePanel->setAllowedType({title}, typeDescriptionFor(title));
}

// The field chooser

void QvDataExportManager::addSelectedToRight()
{
    transfer(m_leftKeyArrayController, m_rightKeyArrayController, m_leftKeyArrayController->selectedObjects());
}

void QvDataExportManager::addAllToRight()
{
    transfer(m_leftKeyArrayController, m_rightKeyArrayController, m_leftKeyArrayController->arrangedObjects());
}

void QvDataExportManager::removeSelectedFromRight()
{
    transfer(m_rightKeyArrayController, m_leftKeyArrayController, m_rightKeyArrayController->selectedObjects());
}

void QvDataExportManager::removeAllFromRight()
{
    transfer(m_rightKeyArrayController, m_leftKeyArrayController, m_rightKeyArrayController->arrangedObjects());
}

void QvDataExportManager::transfer(ArrayController* from, ArrayController* to, std::vector<DictionaryRef> fields)
{
    // The fields go to the end of the other list, in their order, and stay selected there.
    // (They are a copy: the arrangement they may come from changes on the way.)
    if (fields.empty())
        return;
    from->removeObjects(fields);
    for (const DictionaryRef& field : fields)
        to->addObject(field);
    to->setSelectedObjects(fields);
}

void QvDataExportManager::moveUp()
{
    // With several selected, the last of them goes to just above the first.
    const DictionaryRef field = m_rightKeyArrayController->lastSelectedObject();
    const qsizetype p = m_rightKeyArrayController->selectionIndex();
    if (!field || p <= 0)
        return;
    m_rightKeyArrayController->removeObjects({field});
    m_rightKeyArrayController->insertObjectAtArrangedIndex(field, p - 1);
}

void QvDataExportManager::moveDown()
{
    const DictionaryRef field = m_rightKeyArrayController->lastSelectedObject();
    const qsizetype p = m_rightKeyArrayController->selectionIndex();
    const qsizetype n = m_rightKeyArrayController->arrangedCount();
    if (!field || p < 0 || p >= n - 1)
        return;
    m_rightKeyArrayController->removeObjects({field});
    m_rightKeyArrayController->insertObjectAtArrangedIndex(field, p + 1);
}

// Writing

void QvDataExportManager::exportToTextFile()
{
    delete m_savePanel.data();
    m_savePanel = new SaveChooserType(this);
    // Dates follow the user's locale and time zone as they are when the chooser opens.
    const ExportWriter::DateStyle dates{QLocale(), QTimeZone::systemTimeZone()};
    const QString extension = ExportWriter::extensionFor(m_fileFormatToSave.intValue());
    m_savePanel->setAllowedType({extension}, typeDescriptionFor(extension));

    FileChooserOptions options;
    options.title = tr("Export Text File");
    options.prompt = tr("Export");
    options.accessory = m_exportPanelAccessoryView;
    options.suggestedName = m_suggestedFileName;
    options.allowedExtensions = {extension};
    options.typeDescription = typeDescriptionFor(extension);
    options.allowsOtherFileTypes = true;
    options.saveType = m_savePanel;

    // The manager may be gone when the chooser answers (the document locked or closed): then
    // nothing is written.
    QPointer<QvDataExportManager> guard(this);
    FileChooser::chooseToSave(m_attachToWin, options, [guard, dates](const QString& path) {
        if (!guard || path.isEmpty())
            return;
        QString why;
        if (!guard->writeExport(path, dates, &why)) {
            const Alert alert(tr("The export “%1” could not be saved.").arg(QFileInfo(path).fileName()),
                              why.isEmpty() ? tr("The file could not be written.") : why, {tr("OK")},
                              Alert::WarningStyle);
            alert.beginSheetModalForWindow(guard->m_attachToWin, {});
            return;
        }
        guard->didExport();
    });
}

bool QvDataExportManager::writeExport(const QString& path, const ExportWriter::DateStyle& dates, QString* why)
{
    QString text = ExportWriter::exportText(*m_dataArray, *m_rightKeyArray, m_fileFormatToSave.intValue(), m_custom,
                                            m_useFieldNamesAsFirstRow.boolValue(), dates);
    QByteArray bytes = text.toUtf8();
    CryptoPrimitives::wipe(text);
    // The bytes reach the file only once all of them are on disk; the old file stays otherwise.
    const bool written = FileWrite::writeWholeFile(path, bytes, why);
    CryptoPrimitives::wipe(bytes);
    return written;
}

// Key-value coding

const QString* QvDataExportManager::customString(const QString& key) const
{
    const QString* fields[] = {&m_custom.startOfFile,   &m_custom.endOfFile,     &m_custom.startOfRecord,
                               &m_custom.endOfRecord,   &m_custom.fieldOpenTag,  &m_custom.fieldCloseTag,
                               &m_custom.fieldSeparator, &m_custom.useEndOfRecordInLastRecord};
    const qsizetype index = customStringKeys().indexOf(key);
    return index < 0 ? nullptr : fields[index];
}

Value QvDataExportManager::valueForKeyPath(const QString& keyPath) const
{
    const qsizetype dot = keyPath.indexOf(u'.');
    const QString key = dot < 0 ? keyPath : keyPath.left(dot);
    Value value;
    if (const QString* string = customString(key))
        value = string->isNull() ? Value() : Value(*string);
    else if (key == QLatin1String(kFileFormatToSave))
        value = m_fileFormatToSave;
    else if (key == QLatin1String(kUseFieldNamesAsFirstRow))
        value = m_useFieldNamesAsFirstRow;
    else if (key == QLatin1String("suggestedFileName"))
        value = Value(m_suggestedFileName);
    else if (key == QLatin1String("dataArray"))
        value = Value(m_dataArray);
    else if (key == QLatin1String("leftKeyArray"))
        value = Value(m_leftKeyArray);
    else if (key == QLatin1String("rightKeyArray"))
        value = Value(m_rightKeyArray);
    else if (key == QLatin1String("allKeyArray"))
        value = Value(m_allKeyArray);
    return dot < 0 ? value : value.valueForKeyPath(keyPath.mid(dot + 1));
}

bool QvDataExportManager::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    if (QString* string = const_cast<QString*>(customString(keyPath))) {
        QString text = value.isNull() ? QString() : value.stringValue();
        // The flag is a word; a check box writes a boolean.
        if (keyPath == QLatin1String(kUseEndOfRecordInLastRecord) && value.isNumber())
            text = value.boolValue() ? QStringLiteral("YES") : QStringLiteral("NO");
        *string = text;
    } else if (keyPath == QLatin1String(kFileFormatToSave)) {
        m_fileFormatToSave = value;
    } else if (keyPath == QLatin1String(kUseFieldNamesAsFirstRow)) {
        m_useFieldNamesAsFirstRow = value;
    } else if (keyPath == QLatin1String("suggestedFileName")) {
        m_suggestedFileName = value.stringValue();
    } else {
        return false;
    }
    emit valueChangedForKeyPath(keyPath);
    return true;
}
