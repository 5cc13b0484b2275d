#pragma once
// The generic controller of a list of categories: dictionaries with a unique
// name under "cat_category", kept in their stored order (no sorting).
//
// Mapping of the framework names: `testForUnusedString:forKey:` is
// testForUnusedString(string, key); `unusedCategoryNameWithPostfix:` is
// unusedCategoryNameWithPostfix(base); `remove:` is remove(); a missing
// object is a null DictionaryRef.

#include "document/ArrayController.h"

class QvCategoryArrayController : public ArrayController {
    Q_OBJECT
public:
    explicit QvCategoryArrayController(QObject* parent = nullptr);

    ControllerDocument* myDoc() const { return m_myDoc; }
    void setMyDoc(ControllerDocument* document) { m_myDoc = document; }

    // Whether no arranged category holds this string under the key (exact,
    // case-sensitive comparison).
    bool testForUnusedString(const QString& string, const QString& key) const;
    // The base name when it is free, else the first free "<base> <i>" for
    // i = 1, 2, ...; the search gives up at i = 31999 and returns that name.
    QString unusedCategoryNameWithPostfix(const QString& base) const;

    // A new category named after "Untitled"; not yet added.
    virtual DictionaryRef newObject();
    // Removes the selected categories; false when nothing was removed.
    virtual bool remove();
    // The last category of the content, the category of a new record.
    DictionaryRef getLastCategory() const;

    // A category's name or colour was edited: marks the document changed and
    // tells the lists that show categories.
    void controlTextDidChange();

    static const QString kName; // "cat_category"

signals:
    void categoriesEdited();

private:
    ControllerDocument* m_myDoc = nullptr;
};
