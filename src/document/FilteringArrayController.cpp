#include "document/FilteringArrayController.h"

#include "document/QvColoredCategoryArrayController.h"
#include "platform/Alert.h"
#include "platform/Clock.h"
#include "platform/Plaintext.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

const QString FilteringArrayController::kCategoryPtr = QStringLiteral("categoryPtr");

namespace {

const QString kCategoryString = QStringLiteral("categoryString");
const QString kSearchString = QStringLiteral("searchString");
const QString kUsedFilterDisplay = QStringLiteral("usedFilterDisplay");
const QString kFilterInAction = QStringLiteral("filterInAction");
const QString kCreationDate = QStringLiteral("creationDate");
const QString kUsageCount = QStringLiteral("usageCount");
const QString kCatUniqueID = QStringLiteral("cat_uniqueID");
const QString kSelectionPrefix = QStringLiteral("selection.");

DictionaryRef categoryOf(const Dictionary& record)
{
    return record.objectForKey(FilteringArrayController::kCategoryPtr).dictionary();
}

// The records that pass, in their order, in the vector they came in (a list
// of many records is not copied on every keystroke).
template <typename Predicate>
std::vector<DictionaryRef> keepOnly(std::vector<DictionaryRef> records, Predicate passes)
{
    records.erase(std::remove_if(records.begin(), records.end(), [&](const DictionaryRef& r) { return !passes(r); }),
                  records.end());
    return records;
}

// The 19 keys of a new record in their order, with the values every new record
// starts with. Records copied from it share its list of keys, which keeps a
// large list small and its lookups quick.
const Dictionary& newRecordTemplate()
{
    static const DictionaryRef prototype = [] {
        const Value empty(QString{});
        return Dictionary::create({
            {QStringLiteral("firstName"), Value(QStringLiteral("First Name"))},
            {QStringLiteral("lastName"), Value(QStringLiteral("Last Name"))},
            {QStringLiteral("company"), empty},
            {QStringLiteral("phoneWork"), empty},
            {QStringLiteral("faxWork"), empty},
            {QStringLiteral("emailWork"), empty},
            {QStringLiteral("addressWork"), empty},
            {QStringLiteral("webWork"), empty},
            {QStringLiteral("phonePersonal"), empty},
            {QStringLiteral("faxPersonal"), empty},
            {QStringLiteral("mobile"), empty},
            {QStringLiteral("pager"), empty},
            {QStringLiteral("emailPersonal"), empty},
            {QStringLiteral("webPersonal"), empty},
            {QStringLiteral("addressPersonal"), empty},
            {QStringLiteral("note"), empty},
            {kCreationDate, Value::date(0)},
            {kUsageCount, Value::int64(0)},
            {FilteringArrayController::kCategoryPtr, Value::int64(0)}, // each record's own
        });
    }();
    return *prototype;
}

void addToUsage(const DictionaryRef& category, int delta)
{
    const QString& key = QvColoredCategoryArrayController::kUsageCount;
    category->setObject(Value::int32(category->objectForKey(key).intValue() + delta), key);
}

} // namespace

FilteringArrayController::FilteringArrayController(QObject* parent) : ArrayController(parent) {}

FilteringArrayController::~FilteringArrayController()
{
    if (m_categories && m_categories->recordController() == this)
        m_categories->setRecordController(nullptr);
}

void FilteringArrayController::setMyCategoryArrayController(QvColoredCategoryArrayController* categories)
{
    m_categories = categories;
    if (categories)
        categories->setRecordController(this);
}

void FilteringArrayController::setCategoryString(const QString& categoryString)
{
    if (categoryString == m_categoryString && categoryString.isNull() == m_categoryString.isNull())
        return;
    m_categoryString = categoryString;
    emit valueChangedForKeyPath(kCategoryString);
}

void FilteringArrayController::setSearchString(const QString& searchString)
{
    if (searchString == m_searchString && searchString.isNull() == m_searchString.isNull())
        return;
    m_searchString = searchString;
    emit valueChangedForKeyPath(kSearchString);
}

void FilteringArrayController::setUsedFilterDisplay(const QString& text)
{
    if (text == m_usedFilterDisplay && !m_usedFilterDisplay.isNull())
        return;
    m_usedFilterDisplay = text;
    emit valueChangedForKeyPath(kUsedFilterDisplay);
}

bool FilteringArrayController::categoryIsListed(const Dictionary* category) const
{
    return category && m_categories && m_categories->contentIndexOf(category) >= 0;
}

DictionaryRef FilteringArrayController::catToAssignToNewObject() const
{
    if (!m_categories)
        return nullptr;
    if (canRemove() && m_categories->canRemove()) {
        const DictionaryRef category = categoryOf(*lastSelectedObject());
        if (categoryIsListed(category.get()))
            return category;
    }
    return m_categories->getLastCategory();
}

DictionaryRef FilteringArrayController::newObject()
{
    DictionaryRef category = catToAssignToNewObject();
    // A record always has a category; the document keeps one, and should it
    // be missing the record makes one rather than stay without.
    if (!category && m_categories)
        category = m_categories->addDefault();

    DictionaryRef record = newRecordTemplate().mutableCopy();
    record->setObject(Value::dateFromDateTime(Clock::now()), kCreationDate);
    record->setObject(Value(category), kCategoryPtr);
    if (category)
        addToUsage(category, 1);
    return record;
}

bool FilteringArrayController::passesCategoryFilter(const Dictionary& record) const
{
    if (m_categoryString.isEmpty())
        return true;
    const DictionaryRef category = categoryOf(record);
    if (!category)
        return false;
    const Value name = category->objectForKey(QvCategoryArrayController::kName);
    return name.isString() && name.stringValue().toLower() == m_categoryString.toLower();
}

std::vector<DictionaryRef> FilteringArrayController::filterObjectsByCategory(std::vector<DictionaryRef> records)
{
    if (m_categoryString.isEmpty()) {
        setUsedFilterDisplay(QStringLiteral(""));
        return records;
    }
    setUsedFilterDisplay(QStringLiteral("category \"%1\"").arg(m_categoryString));

    // Many records share few categories: each category is judged once.
    const QString wanted = m_categoryString.toLower();
    std::unordered_map<const Dictionary*, bool> verdicts;
    return keepOnly(std::move(records), [&](const DictionaryRef& record) {
        const DictionaryRef category = categoryOf(*record);
        auto [it, inserted] = verdicts.try_emplace(category.get(), false);
        if (inserted && category) {
            const Value name = category->objectForKey(QvCategoryArrayController::kName);
            it->second = name.isString() && name.stringValue().toLower() == wanted;
        }
        return it->second;
    });
}

std::vector<DictionaryRef> FilteringArrayController::arrangeObjects(std::vector<DictionaryRef> records)
{
    updateFilterInAction();
    const std::size_t contentSize = records.size();
    records = filterObjectsByCategory(std::move(records));
    if (m_searchString.isEmpty()) {
        // Text of records that left the list (or of a locked document) is not kept.
        if (static_cast<std::size_t>(m_searchIndex.size()) > contentSize)
            m_searchIndex.clear();
        return records;
    }

    setUsedFilterDisplay(m_usedFilterDisplay
                         + (m_usedFilterDisplay.isEmpty() ? QStringLiteral(" search string ")
                                                          : QStringLiteral(" and search string "))
                         + u'"' + m_searchString + u'"');
    m_searchIndex.setNeedle(m_searchString);
    m_searchIndex.beginPass();
    records = keepOnly(std::move(records), [this](const DictionaryRef& record) { return m_searchIndex.matches(record); });
    // Only a pass over every record tells which records are gone.
    if (m_categoryString.isEmpty())
        m_searchIndex.endPass();
    return records;
}

bool FilteringArrayController::arrangementAcceptsAppended(const DictionaryRef& record)
{
    if (!passesCategoryFilter(*record))
        return false;
    if (m_searchString.isEmpty())
        return true;
    m_searchIndex.setNeedle(m_searchString);
    return m_searchIndex.matches(record);
}

void FilteringArrayController::contentReplaced()
{
    // The text of the records that go (a document being locked) is not kept.
    m_searchIndex.clear();
}

void FilteringArrayController::updateFilterInAction()
{
    const bool active = !m_searchString.isEmpty() || !m_categoryString.isEmpty();
    const Value value = Value::boolean(active);
    if (!(m_filterInAction == value)) {
        m_filterInAction = value;
        emit valueChangedForKeyPath(kFilterInAction);
    }
    if (m_myDoc)
        m_myDoc->showSearchInfoView(active);
}

void FilteringArrayController::search()
{
    setSearchString(m_myDoc ? m_myDoc->searchText() : QString());
    rearrangeObjects();
    updateFilterInAction();
    if (arrangedCount() > 0)
        setSelectionIndex(0);
}

void FilteringArrayController::forgetSearch()
{
    m_searchIndex.clear();
    // Those bound to the texts let go of them first, so that the copies
    // left here are the last and can be wiped.
    QString searched = std::exchange(m_searchString, QString());
    emit valueChangedForKeyPath(kSearchString);
    // The arrangement writes the display afresh.
    QString display = std::exchange(m_usedFilterDisplay, QString());
    rearrangeObjects();
    Plaintext::wipe(display);
    Plaintext::wipe(searched);
}

void FilteringArrayController::remove()
{
    if (!canRemove())
        return;
    Alert alert(QStringLiteral("Delete selected contact?"), QString(),
                {QStringLiteral("Delete"), QStringLiteral("Cancel")}, Alert::WarningStyle);
    QPointer<FilteringArrayController> self(this);
    alert.beginSheetModalForWindow(m_myWindow, [self](int response) {
        if (self && response == Alert::FirstButtonReturn)
            self->removeSelectedRecords();
    });
}

void FilteringArrayController::removeSelectedRecords()
{
    // The selection when the question is answered is what goes.
    const std::vector<DictionaryRef> doomed = selectedObjects();
    if (doomed.empty())
        return;
    for (const DictionaryRef& record : doomed) {
        removeRecordFromCategory(record);
        m_searchIndex.forget(record.get());
    }
    removeObjects(doomed);
    if (m_myDoc)
        m_myDoc->markChangeDone();
}

qsizetype FilteringArrayController::removeObject(const DictionaryRef& record)
{
    if (!record)
        return -1;
    const qsizetype index = contentIndexOf(record.get());
    if (index < 0)
        return -1;
    removeRecordFromCategory(record);
    m_searchIndex.forget(record.get());
    removeObjects({record});
    return index;
}

void FilteringArrayController::countInCategory(const DictionaryRef& record)
{
    DictionaryRef category = categoryOf(*record);
    if (!categoryIsListed(category.get())) {
        category = nullptr;
        if (m_categories) {
            for (const Value& value : m_categories->content()->objects()) {
                if ((category = value.dictionary()))
                    break;
            }
        }
        if (!category)
            return;
        record->setObject(Value(category), kCategoryPtr);
    }
    addToUsage(category, 1);
}

void FilteringArrayController::insertObject(const DictionaryRef& record, qsizetype contentIndex)
{
    if (!record || contentIndexOf(record.get()) >= 0)
        return;
    countInCategory(record);
    m_searchIndex.forget(record.get());
    insertObjectAtContentIndex(record, contentIndex);
}

bool FilteringArrayController::addObjectAfterSelection(const DictionaryRef& record)
{
    if (!record || !canRemove() || contentIndexOf(record.get()) >= 0)
        return false;
    countInCategory(record);
    m_searchIndex.forget(record.get());
    insertObjectAtArrangedIndex(record, selectionIndex() + 1);
    return true;
}

bool FilteringArrayController::removeRecordFromCategory(const DictionaryRef& record)
{
    if (!record || !m_categories)
        return false;
    const DictionaryRef category = categoryOf(*record);
    if (!category || m_categories->indexOfArrangedObject(category.get()) < 0)
        return false;
    addToUsage(category, -1);
    return true;
}

bool FilteringArrayController::assignCategory(const DictionaryRef& category, const DictionaryRef& record)
{
    return assignCategories({{category, record}}) > 0;
}

qsizetype FilteringArrayController::assignCategories(const std::vector<std::pair<DictionaryRef, DictionaryRef>>& moves)
{
    // Each category is looked up once, and its count written once.
    std::unordered_map<const Dictionary*, bool> listed;
    std::unordered_map<const Dictionary*, std::pair<DictionaryRef, int>> deltas;
    DictionaryRef newRecordCategory;
    std::vector<DictionaryRef> moved;
    moved.reserve(moves.size());
    for (const auto& [category, record] : moves) {
        if (!record)
            continue;
        const DictionaryRef current = categoryOf(*record);
        if (current == category)
            continue;
        if (!category && !newRecordCategory)
            newRecordCategory = catToAssignToNewObject();
        const DictionaryRef& target = category ? category : newRecordCategory;
        if (!target)
            continue;
        if (current && m_categories) {
            auto [it, inserted] = listed.try_emplace(current.get(), false);
            if (inserted)
                it->second = m_categories->indexOfArrangedObject(current.get()) >= 0;
            if (it->second)
                deltas.try_emplace(current.get(), current, 0).first->second.second -= 1;
        }
        record->setObject(Value(target), kCategoryPtr);
        deltas.try_emplace(target.get(), target, 0).first->second.second += 1;
        moved.push_back(record);
    }
    for (const auto& [key, delta] : deltas) {
        if (delta.second != 0)
            addToUsage(delta.first, delta.second);
    }
    // Those who show the selection's category are told when it is among the moved records.
    if (selectionContainsAny(moved))
        emit valueChangedForKeyPath(kSelectionPrefix + kCategoryPtr);
    return static_cast<qsizetype>(moved.size());
}

bool FilteringArrayController::setCurrentObjectAccordingToCategory(const DictionaryRef& category)
{
    const DictionaryRef record = firstSelectedObject();
    if (!record || !category)
        return false;
    return assignCategory(category, record);
}

qsizetype FilteringArrayController::moveRecordsToCategory(const std::vector<DictionaryRef>& from,
                                                          const DictionaryRef& to)
{
    if (!to || from.empty())
        return 0;
    qsizetype moved = 0;
    for (const Value& value : content()->objects()) {
        const DictionaryRef record = value.dictionary();
        if (!record)
            continue;
        const DictionaryRef category = categoryOf(*record);
        if (category && category != to && std::find(from.begin(), from.end(), category) != from.end()) {
            record->setObject(Value(to), kCategoryPtr);
            ++moved;
        }
    }
    if (moved > 0) {
        addToUsage(to, static_cast<int>(moved));
        rearrangeObjects();
    }
    return moved;
}

DictionaryRef FilteringArrayController::duplicateRecord(const DictionaryRef& record) const
{
    if (!record)
        return nullptr;
    DictionaryRef copy = record->mutableCopy();
    copy->setObject(Value::dateFromDateTime(Clock::now()), kCreationDate);
    copy->removeObjectForKey(kUsageCount);
    return copy;
}

DictionaryRef FilteringArrayController::duplicateSelection() const { return duplicateRecord(firstSelectedObject()); }

void FilteringArrayController::adjustFromOldRelease(const ArrayRef& records) const
{
    if (!records)
        return;
    for (const Value& value : records->objects()) {
        const DictionaryRef record = value.dictionary();
        if (!record)
            continue;
        record->removeObjectForKey(QvColoredCategoryArrayController::kBackColor);
        record->removeObjectForKey(QvColoredCategoryArrayController::kTextColor);
        if (!record->containsKey(kCatUniqueID))
            record->setObject(Value::int32(0), kCatUniqueID);
    }
}

void FilteringArrayController::controlTextDidChange()
{
    if (m_myDoc)
        m_myDoc->markChangeDone();
}

void FilteringArrayController::recordDidChange(const Dictionary* record) { m_searchIndex.forget(record); }

void FilteringArrayController::selectedObjectsEdited(const std::vector<DictionaryRef>& records, const QString&)
{
    for (const DictionaryRef& record : records)
        m_searchIndex.forget(record.get());
}

Value FilteringArrayController::valueForKeyPath(const QString& keyPath) const
{
    if (keyPath == kCategoryString)
        return m_categoryString.isNull() ? Value() : Value(m_categoryString);
    if (keyPath == kSearchString)
        return m_searchString.isNull() ? Value() : Value(m_searchString);
    if (keyPath == kUsedFilterDisplay)
        return m_usedFilterDisplay.isNull() ? Value() : Value(m_usedFilterDisplay);
    if (keyPath == kFilterInAction)
        return m_filterInAction;
    return ArrayController::valueForKeyPath(keyPath);
}

bool FilteringArrayController::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    if (keyPath == kCategoryString || keyPath == kSearchString) {
        if (!value.isNull() && !value.isString())
            return false;
        const QString text = value.isNull() ? QString() : value.stringValue();
        if (keyPath == kCategoryString) {
            setCategoryString(text);
        } else {
            setSearchString(text);
        }
        return true;
    }
    // A category set through a binding moves the record, so the counts follow.
    if (keyPath == kSelectionPrefix + kCategoryPtr) {
        const DictionaryRef category = value.dictionary();
        const std::vector<DictionaryRef> selected = selectedObjects();
        if (!category || selected.empty())
            return false;
        std::vector<std::pair<DictionaryRef, DictionaryRef>> moves;
        moves.reserve(selected.size());
        for (const DictionaryRef& record : selected)
            moves.emplace_back(category, record);
        assignCategories(moves);
        return true;
    }
    return ArrayController::setValueForKeyPath(value, keyPath);
}
