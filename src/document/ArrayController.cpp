#include "document/ArrayController.h"

#include <algorithm>
#include <unordered_set>

namespace {

const QString kArrangedObjects = QStringLiteral("arrangedObjects");
const QString kContent = QStringLiteral("content");
const QString kSelection = QStringLiteral("selection");
const QString kSelectedObjects = QStringLiteral("selectedObjects");
const QString kSelectionIndex = QStringLiteral("selectionIndex");
const QString kSelectionIndexes = QStringLiteral("selectionIndexes");
const QString kCanRemove = QStringLiteral("canRemove");

// The first component of a key path and the rest after its dot (empty when none).
std::pair<QString, QString> splitKeyPath(const QString& keyPath)
{
    const qsizetype dot = keyPath.indexOf(u'.');
    if (dot < 0)
        return {keyPath, QString()};
    return {keyPath.left(dot), keyPath.mid(dot + 1)};
}

Value arrayValueOf(const std::vector<DictionaryRef>& objects)
{
    std::vector<Value> values;
    values.reserve(objects.size());
    for (const DictionaryRef& object : objects)
        values.emplace_back(object);
    return Value(Array::create(std::move(values)));
}

// A membership test by identity that stays cheap for the usual one or two objects.
class IdentitySet {
public:
    explicit IdentitySet(const std::vector<DictionaryRef>& objects)
    {
        if (objects.size() > kSmall) {
            for (const DictionaryRef& object : objects)
                m_large.insert(object.get());
        } else {
            for (const DictionaryRef& object : objects)
                m_small.push_back(object.get());
        }
    }
    bool contains(const Dictionary* object) const
    {
        if (!m_large.empty())
            return m_large.count(object) != 0;
        return std::find(m_small.begin(), m_small.end(), object) != m_small.end();
    }
    bool empty() const { return m_small.empty() && m_large.empty(); }

private:
    static constexpr std::size_t kSmall = 8;
    std::vector<const Dictionary*> m_small;
    std::unordered_set<const Dictionary*> m_large;
};

} // namespace

ArrayController::ArrayController(QObject* parent) : Observable(parent), m_content(Array::create()) {}

ArrayController::~ArrayController() = default;

void ArrayController::setContent(const ArrayRef& content)
{
    m_content = content ? content : Array::create();
    contentReplaced();
    emit valueChangedForKeyPath(kContent);
    rearrangeObjects();
}

DictionaryRef ArrayController::arrangedObjectAt(qsizetype index) const
{
    if (index < 0 || index >= arrangedCount())
        return nullptr;
    return m_arranged[static_cast<std::size_t>(index)];
}

qsizetype ArrayController::indexOfArrangedObject(const Dictionary* object) const
{
    if (!object)
        return -1;
    for (std::size_t i = 0; i < m_arranged.size(); ++i) {
        if (m_arranged[i].get() == object)
            return static_cast<qsizetype>(i);
    }
    return -1;
}

qsizetype ArrayController::contentIndexOf(const Dictionary* object) const
{
    if (!object)
        return -1;
    const std::vector<Value>& objects = m_content->objects();
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Value& value = objects[i];
        if (value.isDictionary() && value.dictionary().get() == object)
            return static_cast<qsizetype>(i);
    }
    return -1;
}

std::vector<DictionaryRef> ArrayController::contentDictionaries() const
{
    std::vector<DictionaryRef> objects;
    objects.reserve(static_cast<std::size_t>(m_content->count()));
    for (const Value& value : m_content->objects()) {
        // Anything but a dictionary in the content has no row to show.
        if (value.isDictionary())
            objects.push_back(value.dictionary());
    }
    return objects;
}

void ArrayController::rearrangeObjects()
{
    installArrangement(arrangeObjects(contentDictionaries()));
    m_contentCountArranged = m_content->count();
}

bool ArrayController::countArrangedIsKnown() const
{
    return m_contentCountArranged >= 0 && m_contentCountArranged <= m_content->count();
}

std::vector<DictionaryRef> ArrayController::unarrangedObjects() const
{
    if (!countArrangedIsKnown())
        return contentDictionaries();
    std::vector<DictionaryRef> objects;
    const std::vector<Value>& content = m_content->objects();
    objects.reserve(content.size() - static_cast<std::size_t>(m_contentCountArranged));
    for (std::size_t i = static_cast<std::size_t>(m_contentCountArranged); i < content.size(); ++i) {
        if (content[i].isDictionary())
            objects.push_back(content[i].dictionary());
    }
    return objects;
}

void ArrayController::arrangeAppendedObjects()
{
    if (!countArrangedIsKnown()) {
        rearrangeObjects();
        return;
    }
    for (const DictionaryRef& object : unarrangedObjects()) {
        if (arrangementAcceptsAppended(object))
            m_arranged.push_back(object);
    }
    m_contentCountArranged = m_content->count();
    if (m_selectionIndexes.empty() && !m_arranged.empty())
        m_selectionIndexes.push_back(0);
    announceArrangement();
    announceSelection();
}

std::vector<DictionaryRef> ArrayController::arrangeObjects(std::vector<DictionaryRef> objects) { return objects; }

bool ArrayController::arrangementAcceptsAppended(const DictionaryRef&) { return true; }

void ArrayController::contentReplaced() {}

void ArrayController::selectedObjectsEdited(const std::vector<DictionaryRef>&, const QString&) {}

void ArrayController::installArrangement(std::vector<DictionaryRef> arranged)
{
    const std::vector<DictionaryRef> selected = selectedObjects();
    m_arranged = std::move(arranged);
    ++m_arrangementGeneration;

    std::vector<qsizetype> indexes;
    if (!selected.empty()) {
        const IdentitySet wanted(selected);
        for (std::size_t i = 0; i < m_arranged.size() && indexes.size() < selected.size(); ++i) {
            if (wanted.contains(m_arranged[i].get()))
                indexes.push_back(static_cast<qsizetype>(i));
        }
    }
    if (indexes.empty() && !m_arranged.empty())
        indexes.push_back(0);
    m_selectionIndexes = std::move(indexes);
    announceArrangement();
    announceSelection();
}

bool ArrayController::setSelectionIndexes(std::vector<qsizetype> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    indexes.erase(std::remove_if(indexes.begin(), indexes.end(),
                                 [this](qsizetype i) { return i < 0 || i >= arrangedCount(); }),
                  indexes.end());
    const bool any = !indexes.empty();
    m_selectionIndexes = std::move(indexes);
    announceSelection();
    return any;
}

bool ArrayController::setSelectionIndex(qsizetype index)
{
    if (index == -1)
        return !setSelectionIndexes({});
    if (index < 0 || index >= arrangedCount())
        return false;
    return setSelectionIndexes({index});
}

bool ArrayController::setSelectedObjects(const std::vector<DictionaryRef>& objects)
{
    const IdentitySet wanted(objects);
    std::vector<qsizetype> indexes;
    if (!wanted.empty()) {
        for (std::size_t i = 0; i < m_arranged.size(); ++i) {
            if (wanted.contains(m_arranged[i].get()))
                indexes.push_back(static_cast<qsizetype>(i));
        }
    }
    return setSelectionIndexes(std::move(indexes));
}

std::vector<DictionaryRef> ArrayController::selectedObjects() const
{
    std::vector<DictionaryRef> objects;
    objects.reserve(m_selectionIndexes.size());
    for (qsizetype i : m_selectionIndexes)
        objects.push_back(m_arranged[static_cast<std::size_t>(i)]);
    return objects;
}

DictionaryRef ArrayController::firstSelectedObject() const
{
    return m_selectionIndexes.empty() ? nullptr : m_arranged[static_cast<std::size_t>(m_selectionIndexes.front())];
}

DictionaryRef ArrayController::lastSelectedObject() const
{
    return m_selectionIndexes.empty() ? nullptr : m_arranged[static_cast<std::size_t>(m_selectionIndexes.back())];
}

bool ArrayController::selectionContainsAny(const std::vector<DictionaryRef>& objects) const
{
    if (m_selectionIndexes.empty())
        return false;
    const IdentitySet selected(selectedObjects());
    return std::any_of(objects.begin(), objects.end(),
                       [&selected](const DictionaryRef& object) { return selected.contains(object.get()); });
}

void ArrayController::selectArranged(const Dictionary* object)
{
    const qsizetype index = indexOfArrangedObject(object);
    if (index >= 0)
        setSelectionIndexes({index});
}

void ArrayController::addObject(const DictionaryRef& object)
{
    if (!object)
        return;
    // Whether the arrangement shows the content as it is, with nothing the
    // owner appended behind the controller's back.
    const bool arrangedUpToDate = m_content->count() == m_contentCountArranged;
    m_content->addObject(Value(object));
    if (arrangementAcceptsAppended(object)) {
        m_arranged.push_back(object);
        if (arrangedUpToDate)
            ++m_contentCountArranged;
        announceArrangement();
        setSelectionIndexes({arrangedCount() - 1});
    } else if (arrangedUpToDate) {
        // Hidden by the filters, the object changes nothing that is shown:
        // arranging every object again for each one made a large import slow.
        ++m_contentCountArranged;
        if (m_selectionIndexes.empty() && !m_arranged.empty())
            setSelectionIndexes({0});
    } else {
        rearrangeObjects();
    }
}

void ArrayController::insertObjectAtContentIndex(const DictionaryRef& object, qsizetype index)
{
    if (!object)
        return;
    m_content->insertObject(Value(object), std::clamp<qsizetype>(index, 0, m_content->count()));
    rearrangeObjects();
    selectArranged(object.get());
}

void ArrayController::insertObjectAtArrangedIndex(const DictionaryRef& object, qsizetype index)
{
    if (!object)
        return;
    // The content place is just before the arranged object that the new one
    // goes in front of, so the new one shows at that row.
    const DictionaryRef before = arrangedObjectAt(index);
    const qsizetype contentIndex = before ? contentIndexOf(before.get()) : -1;
    if (contentIndex < 0) {
        m_content->addObject(Value(object));
    } else {
        m_content->insertObject(Value(object), contentIndex);
    }
    rearrangeObjects();
    selectArranged(object.get());
}

void ArrayController::removeObjects(const std::vector<DictionaryRef>& objects)
{
    const IdentitySet doomed(objects);
    if (doomed.empty())
        return;

    bool removedAny = false;
    std::vector<Value> kept;
    kept.reserve(static_cast<std::size_t>(m_content->count()));
    for (const Value& value : m_content->objects()) {
        if (value.isDictionary() && doomed.contains(value.dictionary().get())) {
            removedAny = true;
        } else {
            kept.push_back(value);
        }
    }
    if (removedAny) {
        const bool arrangedUpToDate = m_content->count() == m_contentCountArranged;
        m_contentCountArranged = arrangedUpToDate ? static_cast<qsizetype>(kept.size()) : -1;
        m_content->removeAllObjects();
        m_content->reserve(static_cast<qsizetype>(kept.size()));
        for (const Value& value : kept)
            m_content->addObject(value);
    }

    // The selection moves to the object that takes the first selected row,
    // as the list closes up.
    const qsizetype firstSelected = selectionIndex();
    const std::vector<DictionaryRef> selected = selectedObjects();
    qsizetype removedBeforeSelection = 0;
    std::vector<DictionaryRef> arranged;
    arranged.reserve(m_arranged.size());
    for (std::size_t i = 0; i < m_arranged.size(); ++i) {
        if (doomed.contains(m_arranged[i].get())) {
            if (static_cast<qsizetype>(i) < firstSelected)
                ++removedBeforeSelection;
        } else {
            arranged.push_back(std::move(m_arranged[i]));
        }
    }
    const bool arrangementChanged = arranged.size() != m_arranged.size();
    m_arranged = std::move(arranged);
    if (arrangementChanged)
        ++m_arrangementGeneration;
    if (!removedAny && !arrangementChanged)
        return;

    std::vector<DictionaryRef> stillSelected;
    for (const DictionaryRef& object : selected) {
        if (!doomed.contains(object.get()))
            stillSelected.push_back(object);
    }
    announceArrangement();
    if (!stillSelected.empty()) {
        setSelectedObjects(stillSelected);
    } else if (!m_arranged.empty() && firstSelected >= 0) {
        setSelectionIndexes({std::min(firstSelected - removedBeforeSelection, arrangedCount() - 1)});
    } else if (!m_arranged.empty()) {
        setSelectionIndexes({0});
    } else {
        setSelectionIndexes({});
    }
}

void ArrayController::removeSelectedObjects() { removeObjects(selectedObjects()); }

void ArrayController::announceArrangement() { emit valueChangedForKeyPath(kArrangedObjects); }

void ArrayController::announceSelection()
{
    emit valueChangedForKeyPath(kSelectionIndexes);
    emit valueChangedForKeyPath(kSelectionIndex);
    emit valueChangedForKeyPath(kSelectedObjects);
    emit valueChangedForKeyPath(kCanRemove);
    emit valueChangedForKeyPath(kSelection);
}

Value ArrayController::valueForKeyPath(const QString& keyPath) const
{
    const auto [head, rest] = splitKeyPath(keyPath);
    Value value;
    if (head == kArrangedObjects) {
        value = arrayValueOf(m_arranged);
    } else if (head == kContent) {
        value = Value(m_content);
    } else if (head == kSelectedObjects) {
        value = arrayValueOf(selectedObjects());
    } else if (head == kSelection) {
        if (m_selectionIndexes.empty())
            return Value();
        if (rest.isEmpty())
            return Value(firstSelectedObject());
        // Several selected objects show their value when they agree on it.
        const std::vector<DictionaryRef> selected = selectedObjects();
        const Value first = selected.front()->valueForKeyPath(rest);
        for (std::size_t i = 1; i < selected.size(); ++i) {
            if (!selected[i]->valueForKeyPath(rest).isEqual(first))
                return Value();
        }
        return first;
    } else if (keyPath == kSelectionIndex) {
        return Value::int64(selectionIndex());
    } else if (keyPath == kSelectionIndexes) {
        std::vector<Value> indexes;
        for (qsizetype i : m_selectionIndexes)
            indexes.push_back(Value::int64(i));
        return Value(Array::create(std::move(indexes)));
    } else if (keyPath == kCanRemove) {
        return Value::boolean(canRemove());
    } else {
        return Value();
    }
    return rest.isEmpty() ? value : value.valueForKeyPath(rest);
}

bool ArrayController::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    const auto [head, rest] = splitKeyPath(keyPath);
    if (head == kSelection && !rest.isEmpty()) {
        const std::vector<DictionaryRef> selected = selectedObjects();
        if (selected.empty())
            return false;
        for (const DictionaryRef& object : selected)
            object->setValueForKeyPath(value, rest);
        selectedObjectsEdited(selected, rest);
        emit valueChangedForKeyPath(keyPath);
        return true;
    }
    if (keyPath == kSelectionIndex) {
        if (!value.isNumber())
            return false;
        return setSelectionIndex(value.longLongValue());
    }
    if (keyPath == kSelectionIndexes) {
        const ArrayRef array = value.array();
        if (!array)
            return false;
        std::vector<qsizetype> indexes;
        for (const Value& index : array->objects())
            indexes.push_back(index.longLongValue());
        setSelectionIndexes(std::move(indexes));
        return true;
    }
    return false;
}
