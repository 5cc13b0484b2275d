#include "document/QvCategoryArrayController.h"

#include <QSet>

const QString QvCategoryArrayController::kName = QStringLiteral("cat_category");

namespace {

constexpr int kLastPostfix = 31999;

} // namespace

QvCategoryArrayController::QvCategoryArrayController(QObject* parent) : ArrayController(parent) {}

bool QvCategoryArrayController::testForUnusedString(const QString& string, const QString& key) const
{
    const Value probe(string);
    for (const DictionaryRef& object : arrangedObjects()) {
        if (object->objectForKey(key) == probe)
            return false;
    }
    return true;
}

QString QvCategoryArrayController::unusedCategoryNameWithPostfix(const QString& base) const
{
    QSet<QString> used;
    for (const DictionaryRef& object : arrangedObjects()) {
        const Value name = object->objectForKey(kName);
        if (name.isString())
            used.insert(name.stringValue());
    }
    if (!used.contains(base))
        return base;
    QString name;
    for (int i = 1; i <= kLastPostfix; ++i) {
        name = QStringLiteral("%1 %2").arg(base).arg(i);
        if (!used.contains(name))
            break;
    }
    return name;
}

DictionaryRef QvCategoryArrayController::newObject()
{
    DictionaryRef category = Dictionary::create();
    category->setObject(Value(unusedCategoryNameWithPostfix(QStringLiteral("Untitled"))), kName);
    return category;
}

bool QvCategoryArrayController::remove()
{
    if (!canRemove())
        return false;
    removeSelectedObjects();
    return true;
}

DictionaryRef QvCategoryArrayController::getLastCategory() const
{
    const std::vector<Value>& objects = content()->objects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        if (it->isDictionary())
            return it->dictionary();
    }
    return nullptr;
}

void QvCategoryArrayController::controlTextDidChange()
{
    if (m_myDoc)
        m_myDoc->markChangeDone();
    emit categoriesEdited();
}
