#include "exchange/QvDataImportManager.h"

#include "document/ArrayController.h"
#include "encryption/CryptoPrimitives.h"
#include "exchange/DelimitedTextSplitter.h"
#include "exchange/ImporterWidgets.h"
#include "platform/Alert.h"
#include "platform/FileChooser.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QDialog>
#include <QFileInfo>

#include <atomic>
#include <functional>

#include <cmath>
#include <limits>

const QString QvDataImportManager::kDestination = QStringLiteral("destination");
const QString QvDataImportManager::kImportFlag = QStringLiteral("importFlag");
const QString QvDataImportManager::kElement = QStringLiteral("element");
const QString QvDataImportManager::kElements = QStringLiteral("elements");
const QString QvDataImportManager::kFlagOn = QStringLiteral("»");

namespace {

// Splits the lines at the separator of a format, telling the sink of every record.
void splitLines(const QList<QStringView>& lines, char16_t separator, DelimitedTextSplitter::Sink& sink)
{
    DelimitedTextSplitter(lines, separator).split(sink);
}

struct FieldCounter : DelimitedTextSplitter::Sink {
    double total = 0;
    void beginRecord() override {}
    void field(QStringView) override { total += 1; }
    void endRecord() override {}
};

// Builds rows; empty fields are only counted until text follows, so that a
// line of nothing but separators costs no memory.
struct RowBuilder : DelimitedTextSplitter::Sink {
    explicit RowBuilder(std::vector<QStringList>* into) : rows(into) {}
    std::vector<QStringList>* rows;
    qsizetype widest = 0;
    bool overflow = false;
    QStringList current;
    qsizetype count = 0;
    qsizetype pendingEmpty = 0;
    qsizetype lastWidth = 0;

    void beginRecord() override
    {
        current.clear();
        // Rows of a file are mostly alike: the next one is made as wide as the last.
        current.reserve(std::min(lastWidth, QvDataImportManager::kMaximumColumns));
        count = 0;
        pendingEmpty = 0;
    }
    void flushEmpty()
    {
        for (; pendingEmpty > 0; --pendingEmpty)
            current.append(QStringLiteral(""));
    }
    void field(QStringView text) override
    {
        if (overflow)
            return;
        ++count;
        if (text.isEmpty()) {
            ++pendingEmpty;
            return;
        }
        if (count > QvDataImportManager::kMaximumColumns) {
            overflow = true;
            return;
        }
        flushEmpty();
        current.append(text.toString());
    }
    void endRecord() override
    {
        if (overflow || current.isEmpty())
            return; // nothing but empty fields: no record
        if (count > QvDataImportManager::kMaximumColumns) {
            overflow = true;
            return;
        }
        flushEmpty();
        widest = std::max(widest, current.size());
        lastWidth = current.size();
        rows->push_back(std::move(current));
        current = QStringList();
    }
};

QList<QStringView> viewsOf(const QStringList& lines)
{
    QList<QStringView> views;
    views.reserve(lines.size());
    for (const QString& line : lines)
        views.append(line);
    return views;
}

} // namespace

QvDataImportManager::QvDataImportManager(const ArrayRef& dataArray, const ArrayRef& keyArray, QvImporter* sender)
    : m_outsideDataArray(dataArray ? dataArray : Array::create()),
      m_outsideKeyArray(keyArray ? keyArray : Array::create()),
      m_requester(sender),
      m_destFieldArray(Array::create())
{
    m_arrayImportController = new ArrayController(this);
    m_arrayImportController->setObjectName(QStringLiteral("arrayImportController"));
    m_arrayImportRecord = new ArrayController(this);
    m_arrayImportRecord->setObjectName(QStringLiteral("arrayImportRecord"));
    m_destFieldArrayController = new ArrayController(this);
    m_destFieldArrayController->setObjectName(QStringLiteral("destFieldArrayController"));
    m_destFieldArrayController->setContent(m_destFieldArray);
    m_arrayImportController->setContent(Array::create());
    m_arrayImportRecord->setContent(Array::create());
    connect(m_arrayImportController, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
        if (keyPath == QLatin1String("selectionIndexes") || keyPath == QLatin1String("arrangedObjects"))
            showRecordOnShow();
    });
    loadMyNibFile();
}

QvDataImportManager::QvDataImportManager() : QvDataImportManager(Array::create(), Array::create(), nullptr) {}

QvDataImportManager::~QvDataImportManager()
{
    stopReading();
    // The sheets go first: they show the rows.
    m_widgets.reset();
    m_imported.clear();
    clearRows();
}

void QvDataImportManager::setDataArray(const ArrayRef& dataArray, const ArrayRef& keyArray)
{
    m_outsideDataArray = dataArray ? dataArray : Array::create();
    m_outsideKeyArray = keyArray ? keyArray : Array::create();
    m_doNotImportFirstRecord = false;
    m_useFirstRecordAsFieldsName = false;
    m_enableFirstRecAsNameOption = true;
    emit settingsChanged();
}

bool QvDataImportManager::loadMyNibFile()
{
    // The interface file's fixed items; its widgets are made when a sheet is first shown.
    m_destinationMenu = {tr("Do not import"), QString()};
    m_toolsMenu = {{tr("Reset"), Tool::Reset},
                   {tr("Cascade"), Tool::Cascade},
                   {tr("All to New Column"), Tool::AllToNewColumn},
                   {tr("From First Row"), Tool::FromFirstRow}};
    return true;
}

void QvDataImportManager::setDoNotImportFirstRecord(bool skip)
{
    m_doNotImportFirstRecord = skip;
    emit settingsChanged();
}

void QvDataImportManager::setUseFirstRecordAsFieldsName(bool use)
{
    m_useFirstRecordAsFieldsName = use;
    emit settingsChanged();
}

void QvDataImportManager::setEnableFirstRecAsNameOption(bool enable)
{
    m_enableFirstRecAsNameOption = enable;
    emit settingsChanged();
}

void QvDataImportManager::setNotVisibleFirstRecAsNameOption(bool hidden)
{
    m_notVisibleFirstRecAsNameOption = hidden;
    emit settingsChanged();
}

DictionaryRef QvDataImportManager::createNewObjectToImport()
{
    qWarning("[QvDataImportManager createNewObjectToImport] must be subclassed");
    return nullptr;
}

void QvDataImportManager::addRecordToDestination(const DictionaryRef& record)
{
    m_outsideDataArray->addObject(Value(record));
}

QStringList QvDataImportManager::fieldsOfRow(qsizetype row) const
{
    if (row < 0 || row >= importedRowCount())
        return {};
    return m_rows[std::size_t(row)];
}

DictionaryRef QvDataImportManager::importedRowAt(qsizetype row) const
{
    if (row < 0 || row >= importedRowCount())
        return nullptr;
    ArrayRef elements = Array::create();
    for (const QString& text : m_rows[std::size_t(row)])
        elements->addObject(Value(Dictionary::create({{kElement, Value(text)}})));
    return Dictionary::create({{kElements, Value(elements)}});
}

void QvDataImportManager::clearRows()
{
    releaseRows();
    if (m_firstRowToImportUsedForColumnNames)
        m_firstRowToImportUsedForColumnNames.reset();
}

void QvDataImportManager::releaseRows()
{
    // Texts the records share are theirs now; only the others are wiped.
    for (QStringList& row : m_rows)
        for (QString& field : row)
            CryptoPrimitives::wipe(field);
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_arrayImportController->content()->removeAllObjects();
    m_arrayImportController->rearrangeObjects();
    m_arrayImportRecord->content()->removeAllObjects();
    m_arrayImportRecord->rearrangeObjects();
}

// Loading

void QvDataImportManager::loadDataForWin(QWidget* window)
{
    m_fileEncodeToImport = 0;
    m_fileFormatToImport = 0;
    m_attachToWin = window;
    FileChooserOptions options;
    options.title = tr("Import Text File");
    options.prompt = tr("Import");
    options.typeDescription = tr("Text Files");
    options.allowedExtensions = {QStringLiteral("txt"), QStringLiteral("TXT"), QStringLiteral("text"),
                                 QStringLiteral("TEXT"), QStringLiteral("csv"), QStringLiteral("CSV"),
                                 QStringLiteral("tsv"), QStringLiteral("TSV")};
    widgets().resetAccessory();
    options.accessory = importPanelAccessoryView();
    QPointer<QvDataImportManager> guard(this);
    FileChooser::chooseToOpen(window, options, [guard](const QStringList& paths) {
        if (!guard || paths.isEmpty())
            return;
        const QString path = paths.first();
        // After the chooser has gone; dropped with the manager.
        MainQueue::post(guard, [guard, path] {
            guard->loadDataFromFile(path, guard->m_fileFormatToImport, guard->m_fileEncodeToImport);
        });
    });
}

void QvDataImportManager::loadDataFromFile(const QString& path, QWidget* window)
{
    m_attachToWin = window;
    loadDataFromFile(path, 0, 0);
}

int QvDataImportManager::detectFormat(const QStringList& lines)
{
    return detectFormat(viewsOf(lines));
}

int QvDataImportManager::detectFormat(const QList<QStringView>& lines)
{
    FieldCounter comma, semicolon;
    double tab = 0;
    bool quoted = false;
    for (const QStringView line : lines) {
        if (!line.isEmpty())
            tab += double(line.count(u'\t') + 1);
        quoted = quoted || line.contains(u'"');
    }
    if (quoted) {
        splitLines(lines, u',', comma);
        splitLines(lines, u';', semicolon);
    } else {
        // Without quotes every line is a record of its separators plus one.
        const DelimitedTextSplitter blanks(lines, u',');
        for (const QStringView line : lines) {
            if (blanks.isBlank(line))
                continue;
            comma.total += double(line.count(u',') + 1);
            semicolon.total += double(line.count(u';') + 1);
        }
    }
    if (comma.total > tab && comma.total > semicolon.total)
        return CommaFormat;
    if (semicolon.total > comma.total && semicolon.total > tab)
        return SemicolonFormat;
    return TabFormat;
}

bool QvDataImportManager::rowsOfLines(const QStringList& lines, int format, std::vector<QStringList>* rows,
                                      qsizetype* widest)
{
    return rowsOfLines(viewsOf(lines), format, rows, widest);
}

bool QvDataImportManager::rowsOfLines(const QList<QStringView>& lines, int format, std::vector<QStringList>* rows,
                                      qsizetype* widest)
{
    RowBuilder builder(rows);
    switch (format) {
    case TabFormat:
        splitLines(lines, u'\t', builder);
        break;
    case CommaFormat:
        splitLines(lines, u',', builder);
        break;
    case SemicolonFormat:
        splitLines(lines, u';', builder);
        break;
    default:
        break;
    }
    if (builder.overflow) {
        for (QStringList& row : *rows)
            for (QString& field : row)
                CryptoPrimitives::wipe(field);
        rows->clear();
        for (QString& field : builder.current)
            CryptoPrimitives::wipe(field);
        if (widest)
            *widest = 0;
        return false;
    }
    if (widest)
        *widest = builder.widest;
    return true;
}

namespace {
QStringList componentsOfRow(const QString& line, char16_t separator)
{
    // One record; its empty fields are kept as the row has them.
    struct Collector : DelimitedTextSplitter::Sink {
        QStringList fields;
        bool done = false;
        void beginRecord() override {}
        void field(QStringView text) override
        {
            if (!done)
                fields.append(text.toString());
        }
        void endRecord() override { done = true; }
    } collector;
    splitLines(QList<QStringView>{QStringView(line)}, separator, collector);
    return collector.fields;
}
} // namespace

QStringList QvDataImportManager::componentsOfCsvRow(const QString& line)
{
    return componentsOfRow(line, u',');
}

QStringList QvDataImportManager::componentsOfCsvUsingSemicolonRow(const QString& line)
{
    return componentsOfRow(line, u';');
}

// One file read and split off the main thread. The thread writes only the
// results and reads only the request; the main thread looks at the results
// once they come back through the main queue.
struct QvDataImportManager::Reading {
    ~Reading()
    {
        for (QStringList& row : rows)
            for (QString& field : row)
                CryptoPrimitives::wipe(field);
    }

    // Request.
    QString path;
    int fileType = 0;
    int fileEncoding = 0;
    QvDataImportManager* hooks = nullptr;
    std::atomic<bool> cancelled{false};
    // Results.
    LoadFailure failure = LoadFailure::None;
    std::vector<QStringList> rows;
    qsizetype widest = 0;
    // Main thread only.
    QPointer<QvDataImportManager> manager;
};

namespace {
void readAndSplit(QvDataImportManager::LoadFailure& failure, const QString& path, int fileType, int fileEncoding,
                  std::vector<QStringList>& rows, qsizetype& widest, const std::atomic<bool>& cancelled,
                  const std::function<QString(const QString&)>& adjustText,
                  const std::function<QList<QStringView>(const QList<QStringView>&)>& adjustLines)
{
    using LoadFailure = QvDataImportManager::LoadFailure;
    QvSmartStringFileReader::Failure readFailure = QvSmartStringFileReader::Failure::None;
    std::optional<QString> read = QvSmartStringFileReader::autoReadFromFile(path, fileEncoding, &readFailure);
    if (!read) {
        failure = readFailure == QvSmartStringFileReader::Failure::TooLarge ? LoadFailure::TooLarge
            : readFailure == QvSmartStringFileReader::Failure::NotDecodable ? LoadFailure::NotDecodable
                                                                             : LoadFailure::CannotRead;
        return;
    }
    if (cancelled) {
        CryptoPrimitives::wipe(*read);
        return;
    }
    QvSmartStringFileReader::replaceStringWithNewline(&*read);
    QString text = adjustText(*read);
    CryptoPrimitives::wipe(*read);
    // The lines are views into the one text: no copy of the file in many small pieces.
    const QList<QStringView> lines = adjustLines(QStringView(text).split(u'\n'));
    int format = fileType;
    if (format == QvDataImportManager::AutomaticFormat && !cancelled)
        format = QvDataImportManager::detectFormat(lines);
    if (!cancelled) {
        if (format < QvDataImportManager::TabFormat || format > QvDataImportManager::SemicolonFormat)
            failure = LoadFailure::UnknownFormat;
        else if (!QvDataImportManager::rowsOfLines(lines, format, &rows, &widest))
            failure = LoadFailure::TooManyColumns;
        else if (rows.empty())
            failure = LoadFailure::NoRows;
    }
    CryptoPrimitives::wipe(text);
}
} // namespace

void QvDataImportManager::loadDataFromFile(const QString& path, int fileType, int fileEncoding)
{
    stopImport();
    stopReading();
    clearRows();
    m_lastEncoding = fileEncoding;

    auto reading = std::make_shared<Reading>();
    reading->path = path;
    reading->fileType = fileType;
    reading->fileEncoding = fileEncoding;
    reading->hooks = this;
    reading->manager = this;
    m_reading = reading;
    showLoadingFileSheet();
    // The sheet paints and its indicator moves while the file is read: the
    // main thread goes back to its events.
    m_readingThread = std::thread([reading] {
        Reading& r = *reading;
        readAndSplit(r.failure, r.path, r.fileType, r.fileEncoding, r.rows, r.widest, r.cancelled,
                     [&r](const QString& text) { return r.hooks->adjustContentStringBeforeProcessing(text); },
                     [&r](const QList<QStringView>& lines) { return r.hooks->adjustContentArrayBeforeProcessing(lines); });
        MainQueue::post([reading] {
            QvDataImportManager* manager = reading->manager;
            if (manager && manager->m_reading == reading) {
                manager->waitForReading();
                manager->finishLoading(*reading);
            }
        });
    });
}

void QvDataImportManager::waitForReading()
{
    if (m_readingThread.joinable())
        m_readingThread.join();
}

void QvDataImportManager::stopReading()
{
    if (m_reading)
        m_reading->cancelled = true;
    m_reading.reset();
    waitForReading();
}

void QvDataImportManager::finishLoading(Reading& reading)
{
    m_reading.reset();
    LoadFailure failure = reading.failure;
    if (failure == LoadFailure::None) {
        m_rows = std::move(reading.rows);
        m_numOfMaxFieldInImportedData = reading.widest;
        ArrayRef placeholders = Array::create();
        placeholders->reserve(importedRowCount());
        for (qsizetype i = 0; i < importedRowCount(); ++i)
            placeholders->addObject(Value(Dictionary::create()));
        m_arrayImportController->setContent(placeholders);
    } else {
        m_numOfMaxFieldInImportedData = 0;
    }
    m_arrayImportController->rearrangeObjects();
    m_arrayImportController->setSelectionIndex(m_rows.empty() ? -1 : 0);

    m_destFieldArray->removeAllObjects();
    m_destFieldArray->reserve(m_numOfMaxFieldInImportedData);
    for (qint64 i = 0; i < m_numOfMaxFieldInImportedData; ++i)
        m_destFieldArray->addObject(Value(Dictionary::create({{kDestination, Value::int32(0)}})));
    m_destFieldArrayController->rearrangeObjects();
    calcNumberOfImportedFields();

    if (failure != LoadFailure::None) {
        closeLoadingFileSheet();
        // No empty mapping sheet and no import: the user is told why.
        tellLoadFailure(failure, reading.path);
        return;
    }
    if (m_useSettingsPanel) {
        // Queued before the loading sheet goes, so that the window does not take the keyboard in between.
        MainQueue::post(this, [this] { ImportSettings(); });
        closeLoadingFileSheet();
    } else {
        closeLoadingFileSheet();
        DoImport();
    }
}

void QvDataImportManager::tellLoadFailure(LoadFailure failure, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QString message, informative;
    switch (failure) {
    case LoadFailure::CannotRead:
        message = tr("The file “%1” could not be read.").arg(name);
        informative = tr("It is not a regular file, or you are not allowed to read it.");
        break;
    case LoadFailure::TooLarge:
        message = tr("The file “%1” is too large to import.").arg(name);
        informative = tr("Files of up to %1 MB can be imported.").arg(QvSmartStringFileReader::kMaximumFileSize >> 20);
        break;
    case LoadFailure::NotDecodable:
        if (QvSmartStringFileReader::isKnownCode(m_lastEncoding)) {
            message = tr("The file “%1” is not in the chosen text encoding.").arg(name);
            informative = tr("Choose another encoding, or Automatic, and import it again.");
        } else {
            message = tr("The file “%1” is not a text file.").arg(name);
            informative = tr("It holds bytes that no text encoding reads, such as zero bytes.");
        }
        break;
    case LoadFailure::TooManyColumns:
        message = tr("The file “%1” has too many columns.").arg(name);
        informative = tr("A line may hold up to %1 fields.").arg(kMaximumColumns);
        break;
    case LoadFailure::NoRows:
    case LoadFailure::UnknownFormat:
        message = tr("The file “%1” holds nothing to import.").arg(name);
        informative = tr("None of its lines has a field that is not empty.");
        break;
    case LoadFailure::None:
        return;
    }
    Alert(message, informative, {tr("OK")}, Alert::WarningStyle).beginSheetModalForWindow(m_attachToWin, {});
}

// Mapping lookup

QString QvDataImportManager::fromIndexNumberToFieldKey(qsizetype index) const
{
    if (index < 0 || index >= m_ImportFieldKeyArray.size())
        return QString();
    return m_ImportFieldKeyArray.at(index);
}

QString QvDataImportManager::fromElementInRowToFieldKey(qsizetype column) const
{
    const DictionaryRef row = m_destFieldArray->objectAtIndex(column).dictionary();
    if (!row)
        return QString();
    const int destination = row->objectForKey(kDestination).intValue();
    if (destination == 0)
        return QString();
    return fromIndexNumberToFieldKey(destination);
}

// Import

void QvDataImportManager::DoImport()
{
    if (m_importing || m_reading)
        return;
    if (m_useSettingsPanel && importSettingsPanel())
        Sheet::end(importSettingsPanel(), 0);
    m_importing = true;
    m_importRow = 0;
    showImportingFileSheet();
    m_innerKeyFinalDestinationArray.clear();
    willImport();

    // The keys of the mapping, looked up once for all rows.
    m_columnKeys.clear();
    m_columnKeys.reserve(m_destFieldArray->count());
    for (qsizetype j = 0; j < m_destFieldArray->count(); ++j)
        m_columnKeys.append(fromElementInRowToFieldKey(j));
    m_imported.reserve(std::size_t(importedRowCount()));
    importSomeRows();
}

void QvDataImportManager::importSomeRows()
{
    if (!m_importing)
        return;
    // A slice of rows, then the events (the sheet paints) and the next slice.
    // Measured in fields, not time, so that every run cuts the same slices.
    qsizetype budget = kFieldsPerImportSlice;
    for (; m_importRow < m_arrayImportController->arrangedCount() && m_importRow < importedRowCount(); ++m_importRow) {
        if (budget <= 0) {
            if (m_widgets)
                m_widgets->showImportProgress(m_importRow, importedRowCount());
            MainQueue::post(this, [this] { importSomeRows(); });
            return;
        }
        const qsizetype r = m_importRow;
        budget -= m_rows[std::size_t(r)].size() + 1;
        const DictionaryRef record = createNewObjectToImport();
        if (!record)
            continue;
        QStringList& elements = m_rows[std::size_t(r)];
        const qsizetype n = elements.size();
        const bool finalKeys = m_innerKeyFinalDestinationArray.size() >= n;
        for (qsizetype j = 0; j < n; ++j) {
            const QString key = finalKeys ? m_innerKeyFinalDestinationArray.at(j) : m_columnKeys.value(j);
            if (key.isEmpty())
                continue;
            record->setObject(Value(elements.at(j).isNull() ? QStringLiteral("") : elements.at(j)), key);
        }
        if (r == 0 && m_doNotImportFirstRecord) {
            if (m_useFirstRecordAsFieldsName)
                m_firstRowToImportUsedForColumnNames = record;
            recordWasLeftOut(record);
        } else if (n > 0) {
            m_imported.push_back(record);
        } else {
            recordWasLeftOut(record);
        }
        // The row is in its record now: its list goes at once, so that the file is not held twice.
        for (QString& field : m_rows[std::size_t(r)])
            CryptoPrimitives::wipe(field);
        m_rows[std::size_t(r)] = QStringList();
    }

    // The records go in together: a run that is stopped half way leaves the host as it was.
    for (const DictionaryRef& record : m_imported) {
        recordIsGoingToBeInserted(record);
        addRecordToDestination(record);
    }
    m_imported.clear();
    m_columnKeys.clear();
    releaseRows();
    m_importing = false;
    closeImportingFileSheet();
    didImport();
}

void QvDataImportManager::stopImport()
{
    if (!m_importing)
        return;
    m_importing = false;
    for (const DictionaryRef& record : m_imported)
        recordWasLeftOut(record);
    m_imported.clear();
    m_columnKeys.clear();
    releaseRows();
}

// The mapping sheet

void QvDataImportManager::ImportSettings()
{
    m_currentRecordIndex = 1;
    preImportSettings();
    widgets().prepareSettings();
    QDialog* panel = importSettingsPanel();
    Sheet::begin(panel, m_attachToWin, {});
    emit settingsChanged();
}

void QvDataImportManager::CancelImportSetting()
{
    if (QDialog* panel = importSettingsPanel())
        Sheet::end(panel, 0);
}

void QvDataImportManager::setMappingRow(const DictionaryRef& row, int destination, bool flagged)
{
    row->setObject(Value::int32(destination), kDestination);
    row->setObject(Value(flagged ? kFlagOn : QStringLiteral("")), kImportFlag);
}

void QvDataImportManager::chooseDestination(qsizetype row, int destination)
{
    const DictionaryRef mapping = m_destFieldArray->objectAtIndex(row).dictionary();
    if (!mapping)
        return;
    mapping->setObject(Value::int32(destination), kDestination);
    dataLoadingPopUpSelected(row);
}

void QvDataImportManager::dataLoadingPopUpSelected(qsizetype row)
{
    QPointer<QvDataImportManager> guard(this);
    MainQueue::post(this, [guard, row] { guard->manageDataLoadingPopUpSelected(row); });
}

void QvDataImportManager::manageDataLoadingPopUpSelected(qsizetype row)
{
    const DictionaryRef chosen = m_destFieldArray->objectAtIndex(row).dictionary();
    if (!chosen)
        return;
    const Value destination = chosen->objectForKey(kDestination);
    const bool mapped = destination.intValue() != 0;
    for (qsizetype i = 0; i < m_destFieldArray->count(); ++i) {
        const DictionaryRef other = m_destFieldArray->objectAtIndex(i).dictionary();
        if (i == row || !other)
            continue;
        if (mapped && other->objectForKey(kDestination).isEqual(destination))
            setMappingRow(other, 0, false);
    }
    chosen->setObject(Value(mapped ? kFlagOn : QStringLiteral("")), kImportFlag);
    calcNumberOfImportedFields();
}

void QvDataImportManager::calcNumberOfImportedFields()
{
    int count = 0;
    for (const Value& value : m_destFieldArray->objects())
        if (value.valueForKey(kDestination).intValue() != 0)
            ++count;
    m_numberOfImportedFields = count;
    emit settingsChanged();
}

void QvDataImportManager::ResetImportFields()
{
    for (const Value& value : m_destFieldArray->objects())
        if (const DictionaryRef row = value.dictionary())
            setMappingRow(row, 0, false);
    calcNumberOfImportedFields();
}

void QvDataImportManager::AssignCascadeImportFields()
{
    const qsizetype fields = m_outsideKeyArray->count();
    for (qsizetype i = 0; i < m_destFieldArray->count(); ++i) {
        const DictionaryRef row = m_destFieldArray->objectAtIndex(i).dictionary();
        if (!row)
            continue;
        if (i < fields)
            setMappingRow(row, m_rowToStartCascadeAssignment + int(i), true);
        else
            setMappingRow(row, 0, false);
    }
    calcNumberOfImportedFields();
}

void QvDataImportManager::AllImportFieldsToCreateNewColumn()
{
    for (const Value& value : m_destFieldArray->objects())
        if (const DictionaryRef row = value.dictionary())
            setMappingRow(row, 2, true);
    calcNumberOfImportedFields();
}

void QvDataImportManager::tryAssignFromFirstRow()
{
    // Without rows there is no heading to read.
    if (m_arrayImportController->arrangedCount() == 0 || m_rows.empty())
        return;
    ResetImportFields();
    const QStringList& heading = m_rows.front();
    bool matched = false;
    for (qsizetype i = 0; i < heading.size(); ++i) {
        const DictionaryRef row = m_destFieldArray->objectAtIndex(i).dictionary();
        if (!row)
            continue;
        const QString name = heading.at(i).toLower();
        for (qsizetype j = 0; j < m_outsideKeyArray->count(); ++j) {
            const QString caption =
                m_outsideKeyArray->objectAtIndex(j).valueForKey(QStringLiteral("publicKey")).stringValue();
            if (name == caption.toLower()) {
                setMappingRow(row, m_rowToStartCascadeAssignment + int(j), true);
                matched = true;
            }
        }
    }
    calcNumberOfImportedFields();
    // Only a row that was read as a heading is left out, and the option says so.
    if (matched) {
        m_doNotImportFirstRecord = true;
        m_useFirstRecordAsFieldsName = true;
        emit settingsChanged();
    }
}

void QvDataImportManager::applyTool(Tool tool)
{
    switch (tool) {
    case Tool::Reset:
        ResetImportFields();
        break;
    case Tool::Cascade:
        AssignCascadeImportFields();
        break;
    case Tool::AllToNewColumn:
        AllImportFieldsToCreateNewColumn();
        break;
    case Tool::FromFirstRow:
        tryAssignFromFirstRow();
        break;
    }
}

void QvDataImportManager::showNextRecord()
{
    if (m_currentRecordIndex < m_arrayImportController->arrangedCount()) {
        m_arrayImportController->setSelectionIndex(m_arrayImportController->selectionIndex() + 1);
        ++m_currentRecordIndex;
        emit settingsChanged();
    }
}

void QvDataImportManager::showPrevRecord()
{
    if (m_currentRecordIndex > 1) {
        m_arrayImportController->setSelectionIndex(std::max<qsizetype>(0, m_arrayImportController->selectionIndex() - 1));
        --m_currentRecordIndex;
        emit settingsChanged();
    }
}

void QvDataImportManager::firstRowSetFieldsNameSelected()
{
    m_doNotImportFirstRecord = m_useFirstRecordAsFieldsName;
    emit settingsChanged();
}

void QvDataImportManager::showRecordOnShow()
{
    ArrayRef elements = Array::create();
    if (const DictionaryRef row = importedRowAt(m_arrayImportController->selectionIndex()))
        elements = row->objectForKey(kElements).array();
    m_arrayImportRecord->setContent(elements);
    m_arrayImportRecord->rearrangeObjects();
    emit settingsChanged();
}

// Sheets

ImporterWidgets& QvDataImportManager::widgets()
{
    if (!m_widgets)
        m_widgets = std::make_unique<ImporterWidgets>(this);
    return *m_widgets;
}

QDialog* QvDataImportManager::importSettingsPanel() const { return m_widgets ? m_widgets->settingsPanel() : nullptr; }
QWidget* QvDataImportManager::importPanelAccessoryView() const { return m_widgets ? m_widgets->accessory() : nullptr; }
QDialog* QvDataImportManager::loadingFileSheet() const { return m_widgets ? m_widgets->loadingSheet() : nullptr; }
QDialog* QvDataImportManager::importingFileSheet() const { return m_widgets ? m_widgets->importingSheet() : nullptr; }

void QvDataImportManager::beginProgressSheet(QDialog* sheet, void (QvDataImportManager::*endedByOther)())
{
    if (!sheet)
        return;
    // Ended by anyone but the manager (a lock, the document closing): the work stops.
    QPointer<QvDataImportManager> guard(this);
    Sheet::begin(sheet, m_attachToWin, [guard, endedByOther](int code) {
        if (guard && code == Alert::ModalResponseAbort)
            (guard.data()->*endedByOther)();
    });
}

void QvDataImportManager::showLoadingFileSheet()
{
    beginProgressSheet(widgets().loadingSheet(), &QvDataImportManager::stopReading);
}

void QvDataImportManager::showImportingFileSheet()
{
    widgets().showImportProgress(0, importedRowCount());
    beginProgressSheet(widgets().importingSheet(), &QvDataImportManager::stopImport);
}

void QvDataImportManager::closeLoadingFileSheet()
{
    if (QDialog* sheet = loadingFileSheet())
        Sheet::end(sheet, 0);
}

void QvDataImportManager::closeImportingFileSheet()
{
    if (QDialog* sheet = importingFileSheet())
        Sheet::end(sheet, 0);
}

// Statistics

double QvDataImportManager::standardDeviation(const std::vector<Value>& values)
{
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    double sum = 0;
    for (const Value& value : values)
        sum += value.intValue();
    const double mean = sum / double(values.size());
    double squares = 0;
    for (const Value& value : values) {
        const double d = value.doubleValue() - mean;
        squares += d * d;
    }
    return std::sqrt(squares / double(values.size()));
}
