#include "document/QvColoredCategoryArrayController.h"

#include "document/FilteringArrayController.h"
#include "toolkit/QvColorUtilOSX.h"

#include <set>

const QString QvColoredCategoryArrayController::kBackColor = QStringLiteral("cat_backColor");
const QString QvColoredCategoryArrayController::kTextColor = QStringLiteral("cat_textColor");
const QString QvColoredCategoryArrayController::kUsageCount = QStringLiteral("cat_howManyUsingThis");
const QString QvColoredCategoryArrayController::kUniqueID = QStringLiteral("cat_uniqueID");
const QString QvColoredCategoryArrayController::kRecords = QStringLiteral("records");

namespace {

const QString kCanRemoveSelection = QStringLiteral("canRemoveSelection");

qint64 uniqueIDOf(const Dictionary& category)
{
    return category.objectForKey(QvColoredCategoryArrayController::kUniqueID).longLongValue();
}

} // namespace

QvColoredCategoryArrayController::QvColoredCategoryArrayController(QObject* parent)
    : QvCategoryArrayController(parent)
{
    // Whether a removal is allowed follows the selection and the number of categories.
    connect(this, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
        if (keyPath == QLatin1String("canRemove") || keyPath == QLatin1String("arrangedObjects"))
            emit valueChangedForKeyPath(kCanRemoveSelection);
    });
}

DictionaryRef QvColoredCategoryArrayController::defaultBackColor()
{
    return Dictionary::create({{QStringLiteral("r"), Value::real(0.75)},
                               {QStringLiteral("g"), Value::real(0.75)},
                               {QStringLiteral("b"), Value::real(0.75)},
                               {QStringLiteral("a"), Value::int32(1)}});
}

DictionaryRef QvColoredCategoryArrayController::defaultTextColor()
{
    return Dictionary::create({{QStringLiteral("r"), Value::int32(1)},
                               {QStringLiteral("g"), Value::int32(1)},
                               {QStringLiteral("b"), Value::int32(1)},
                               {QStringLiteral("a"), Value::int32(1)}});
}

namespace {
DictionaryRef makeCategory(const QString& name, qint64 uniqueID)
{
    using C = QvColoredCategoryArrayController;
    return Dictionary::create({{C::kName, Value(name)},
                               {C::kBackColor, Value(C::defaultBackColor())},
                               {C::kTextColor, Value(C::defaultTextColor())},
                               {C::kUsageCount, Value::int32(0)},
                               {C::kUniqueID, Value::int64(uniqueID)},
                               {C::kRecords, Value(Array::create())}});
}
} // namespace

DictionaryRef QvColoredCategoryArrayController::newObject()
{
    return makeCategory(unusedCategoryNameWithPostfix(QStringLiteral("Generic")), newUniqueID());
}

std::vector<DictionaryRef> QvColoredCategoryArrayController::addWithNames(const QStringList& names)
{
    std::vector<DictionaryRef> added;
    if (names.isEmpty())
        return added;
    std::set<qint64> used;
    for (const Value& value : content()->objects())
        if (const DictionaryRef category = value.dictionary())
            used.insert(uniqueIDOf(*category));
    qint64 candidate = 1;
    added.reserve(std::size_t(names.size()));
    for (const QString& name : names) {
        while (used.count(candidate))
            ++candidate;
        used.insert(candidate);
        added.push_back(makeCategory(name, candidate));
        content()->addObject(Value(added.back()));
    }
    rearrangeObjects();
    setSelectedObjects({added.back()});
    return added;
}

DictionaryRef QvColoredCategoryArrayController::addDefault()
{
    DictionaryRef category = newObject();
    addObject(category);
    return category;
}

DictionaryRef QvColoredCategoryArrayController::addWithName(const QString& name)
{
    DictionaryRef category = newObject();
    category->setObject(Value(name), kName);
    addObject(category);
    return category;
}

DictionaryRef QvColoredCategoryArrayController::categoryWithTitle(const QString& title) const
{
    const Value probe(title);
    for (const Value& value : content()->objects()) {
        const DictionaryRef category = value.dictionary();
        if (category && category->objectForKey(kName) == probe)
            return category;
    }
    return nullptr;
}

bool QvColoredCategoryArrayController::testForNewUniqueID(qint64 uniqueID) const
{
    return !getCategoryWithUniqueID(uniqueID);
}

qint64 QvColoredCategoryArrayController::newUniqueID() const
{
    std::set<qint64> used;
    for (const Value& value : content()->objects()) {
        if (const DictionaryRef category = value.dictionary())
            used.insert(uniqueIDOf(*category));
    }
    qint64 candidate = 1;
    while (used.count(candidate))
        ++candidate;
    return candidate;
}

DictionaryRef QvColoredCategoryArrayController::getCategoryWithUniqueID(qint64 uniqueID) const
{
    for (const Value& value : content()->objects()) {
        const DictionaryRef category = value.dictionary();
        if (category && uniqueIDOf(*category) == uniqueID)
            return category;
    }
    return nullptr;
}

bool QvColoredCategoryArrayController::incrementObj(const DictionaryRef& category, qint64 delta)
{
    if (!category || indexOfArrangedObject(category.get()) < 0)
        return false;
    category->setObject(Value::int64(category->objectForKey(kUsageCount).longLongValue() + delta), kUsageCount);
    return true;
}

bool QvColoredCategoryArrayController::incrementObjUsingThisInCategoryWithUniqueID(qint64 uniqueID, qint64 delta)
{
    if (uniqueID == 0)
        return false;
    const DictionaryRef category = getCategoryWithUniqueID(uniqueID);
    if (!category)
        return false;
    category->setObject(Value::int64(category->objectForKey(kUsageCount).longLongValue() + delta), kUsageCount);
    return true;
}

void QvColoredCategoryArrayController::adjustFromOldRelease(const ArrayRef& categories) const
{
    if (!categories)
        return;
    for (const Value& value : categories->objects()) {
        const DictionaryRef category = value.dictionary();
        if (!category)
            continue;
        const auto convert = [&category](const QString& key, DictionaryRef (*fallback)()) {
            const Value color = category->objectForKey(key);
            if (!color.isColor())
                return;
            DictionaryRef dict = QvColorUtilOSX::dictFromNSColor(color);
            category->setObject(Value(dict ? dict : fallback()), key);
        };
        convert(kBackColor, &defaultBackColor);
        convert(kTextColor, &defaultTextColor);
    }
}

void QvColoredCategoryArrayController::adjustFromAncientRelease(const ArrayRef& categories)
{
    if (!categories)
        return;
    if (categories->count() == 0)
        categories->addObject(Value(newObject()));
    qint64 position = 0;
    for (const Value& value : categories->objects()) {
        ++position;
        const DictionaryRef category = value.dictionary();
        if (!category)
            continue;
        if (!category->containsKey(kBackColor))
            category->setObject(Value(defaultBackColor()), kBackColor);
        if (!category->containsKey(kTextColor))
            category->setObject(Value(defaultTextColor()), kTextColor);
        category->setObject(Value::int64(position), kUniqueID);
        if (!category->containsKey(kUsageCount))
            category->setObject(Value::int64(0), kUsageCount);
    }
}

bool QvColoredCategoryArrayController::canRemoveSelection() const
{
    return canRemove() && static_cast<qsizetype>(selectionIndexes().size()) < arrangedCount();
}

bool QvColoredCategoryArrayController::remove()
{
    if (!canRemoveSelection())
        return false;
    const std::vector<DictionaryRef> doomed = selectedObjects();
    DictionaryRef heir;
    for (const Value& value : content()->objects()) {
        const DictionaryRef category = value.dictionary();
        if (category && std::find(doomed.begin(), doomed.end(), category) == doomed.end()) {
            heir = category;
            break;
        }
    }
    if (!heir)
        return false;
    // Records must not keep a category that is gone: they go where the next
    // unlock would put them, the first category.
    if (m_records)
        m_records->moveRecordsToCategory(doomed, heir);
    removeObjects(doomed);
    if (myDoc())
        myDoc()->markChangeDone();
    return true;
}

Value QvColoredCategoryArrayController::valueForKeyPath(const QString& keyPath) const
{
    if (keyPath == kCanRemoveSelection)
        return Value::boolean(canRemoveSelection());
    return QvCategoryArrayController::valueForKeyPath(keyPath);
}
