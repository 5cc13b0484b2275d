#include "exchange/MyDataImportManager.h"

#include "document/FilteringArrayController.h"

const QString MyDataImportManager::kCategoryName = QStringLiteral("categoryNAME");

const QStringList& MyDataImportManager::importFieldKeys()
{
    static const QStringList keys = {
        QStringLiteral("NO_IMPORT"),     QStringLiteral(""),           QStringLiteral("categoryNAME"),
        QStringLiteral("firstName"),     QStringLiteral("lastName"),   QStringLiteral("company"),
        QStringLiteral("phoneWork"),     QStringLiteral("faxWork"),    QStringLiteral("addressWork"),
        QStringLiteral("emailWork"),     QStringLiteral("webWork"),    QStringLiteral("phonePersonal"),
        QStringLiteral("faxPersonal"),   QStringLiteral("mobile"),     QStringLiteral("pager"),
        QStringLiteral("emailPersonal"), QStringLiteral("webPersonal"), QStringLiteral("addressPersonal"),
        QStringLiteral("note"),
    };
    return keys;
}

const QStringList& MyDataImportManager::destinationTitles()
{
    static const QStringList titles = {
        QStringLiteral("Category"),       QStringLiteral("First name"),      QStringLiteral("Last name"),
        QStringLiteral("Company"),        QStringLiteral("Phone work"),      QStringLiteral("Fax work"),
        QStringLiteral("Address work"),   QStringLiteral("Email work"),      QStringLiteral("Web work"),
        QStringLiteral("Phone personal"), QStringLiteral("Fax personal"),    QStringLiteral("Mobile personal"),
        QStringLiteral("Mobile work"),    QStringLiteral("Email personal"),  QStringLiteral("Web personal"),
        QStringLiteral("Address personal"), QStringLiteral("Note"),
    };
    return titles;
}

MyDataImportManager::MyDataImportManager(const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget*,
                                         FilteringArrayController* dataArrayController, QvImporter* sender)
    : QvDataImportManager(dataArray, keyArray, sender), m_myDataArrayController(dataArrayController)
{
    m_ImportFieldKeyArray = importFieldKeys();
    // Field position 0 (Category) is destination 2: each tool maps a field to its own index.
    setRowToStartCascadeAssignment(2);
}

DictionaryRef MyDataImportManager::createNewObjectToImport()
{
    if (!m_myDataArrayController)
        return nullptr;
    const DictionaryRef made = m_myDataArrayController->newObject();
    // A key appended to a record would double its lists; records copied from
    // one shape share its keys and hold just their values.
    if (!m_shape || m_shape->count() != made->count() + 1) {
        m_shape = made->mutableCopy();
        m_shape->setObject(Value(QStringLiteral("")), kCategoryName);
    }
    DictionaryRef record = m_shape->mutableCopy();
    for (const auto& [key, value] : *made)
        record->setObject(value, key);
    record->setObject(Value(QStringLiteral("")), kCategoryName);
    return record;
}

void MyDataImportManager::preImportSettings()
{
    QStringList& menu = destinationMenu();
    while (menu.size() > 2)
        menu.removeLast();
    menu += destinationTitles();
    // Every column to Category is no use for contacts: that tool is not offered.
    QList<ToolItem>& tools = toolsMenu();
    tools.erase(std::remove_if(tools.begin(), tools.end(),
                               [](const ToolItem& item) { return item.tool == Tool::AllToNewColumn; }),
                tools.end());
}

void MyDataImportManager::didImport()
{
    if (QvImporter* document = requester())
        document->justFinishedImporting();
}

void MyDataImportManager::recordWasLeftOut(const DictionaryRef& record)
{
    if (m_myDataArrayController)
        m_myDataArrayController->removeRecordFromCategory(record);
}
