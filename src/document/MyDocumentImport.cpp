// The text import, opening a field of the selected contact, and deleting it
// after asking.
#include "document/MyDocument.h"

#include "document/FilteringArrayController.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/Alert.h"
#include "toolkit/QvUrlResolutor.h"

#include <QHash>
#include <QPointer>
#include <QSet>

namespace {
const QString kCategoryName = QStringLiteral("categoryNAME");
} // namespace

void MyDocument::importFromText()
{
    if (!mayAddData())
        return;
    const DocumentExchange& exchange = documentExchange();
    if (!exchange.makeImportManager)
        return;
    m_myImportManager = exchange.makeImportManager(m_myArray, m_arrayForImport, myWindow(), m_myArrayController, this);
    if (m_myImportManager)
        m_myImportManager->loadDataForWin(myWindow());
}

void MyDocument::justFinishedImporting()
{
    // The importer appended its records to the array behind the list's back:
    // they are the ones the list has not arranged yet, and only they carry a
    // category name. The end of an import so costs what the import does,
    // however many contacts the document holds.
    std::vector<DictionaryRef> imported;
    for (DictionaryRef& record : m_myArrayController->unarrangedObjects()) {
        if (record->containsKey(kCategoryName))
            imported.push_back(std::move(record));
    }
    // Titles are looked up in a hash; the first category of a title wins, as a
    // lookup by title finds it.
    QHash<QString, DictionaryRef> byTitle;
    for (const Value& value : m_myCategoryArray->objects()) {
        const DictionaryRef category = value.dictionary();
        if (!category)
            continue;
        const QString title = category->objectForKey(QvCategoryArrayController::kName).stringValue();
        if (!byTitle.contains(title))
            byTitle.insert(title, category);
    }
    // Missing categories are made once each, in the order the records name them,
    // and added together so that the menus are rebuilt once.
    QStringList missing;
    QSet<QString> named;
    for (const DictionaryRef& record : imported) {
        const QString title = record->objectForKey(kCategoryName).stringValue();
        if (!byTitle.contains(title) && !named.contains(title)) {
            named.insert(title);
            missing.append(title);
        }
    }
    for (const DictionaryRef& category : m_myCategoryArrayController->addWithNames(missing))
        byTitle.insert(category->objectForKey(QvCategoryArrayController::kName).stringValue(), category);

    std::vector<std::pair<DictionaryRef, DictionaryRef>> moves;
    moves.reserve(imported.size());
    for (const DictionaryRef& record : imported) {
        moves.emplace_back(byTitle.value(record->objectForKey(kCategoryName).stringValue()), record);
        record->removeObjectForKey(kCategoryName);
    }
    m_myArrayController->assignCategories(moves);
    // The list shows the new records after the others, as arranging it all again would.
    m_myArrayController->arrangeAppendedObjects();
    markChangeDone();
}

QString MyDocument::openFieldKey(int tag)
{
    static const char* const keys[] = {
        "firstName",     "lastName",    "company",        "phoneWork", "faxWork",
        "pager",         "emailWork",   "webWork",        "addressWork", "phonePersonal",
        "faxPersonal",   "mobile",      "emailPersonal",  "webPersonal", "addressPersonal",
    };
    if (tag < 1 || tag > 15)
        return QString();
    return QLatin1String(keys[tag - 1]);
}

void MyDocument::openField(int tag)
{
    const QString key = openFieldKey(tag);
    if (key.isEmpty())
        return;
    const Value value = m_myArrayController->valueForKeyPath(QStringLiteral("selection.") + key);
    if (value.isNull() || value.stringValue().isEmpty())
        return;
    QvUrlResolutor::sharedUrlResolutor().openUrl(value.stringValue());
}

void MyDocument::openUrlWebWork()
{
    QvUrlResolutor::sharedUrlResolutor().openUrl(
        m_myArrayController->valueForKeyPath(QStringLiteral("selection.webWork")).stringValue());
}

void MyDocument::openUrlWebPersonal()
{
    QvUrlResolutor::sharedUrlResolutor().openUrl(
        m_myArrayController->valueForKeyPath(QStringLiteral("selection.webPersonal")).stringValue());
}

bool MyDocument::deleteRowShouldBeEnabled() const
{
    return m_myArrayController->canRemove() && isDecrypted();
}

void MyDocument::deleteRows()
{
    if (!m_myArrayController->canRemove())
        return;
    const Alert alert(tr("Delete the selected contact"), tr("Are you sure to delete the selected contact?"),
                      {tr("Cancel"), tr("Delete Contact")}, Alert::WarningStyle);
    QPointer<MyDocument> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard](int response) {
        if (!guard || response != Alert::SecondButtonReturn)
            return;
        // The selection at this moment; none by now deletes nothing.
        if (const DictionaryRef record = guard->m_myArrayController->firstSelectedObject())
            guard->deleteTheRecord(record);
    });
}
