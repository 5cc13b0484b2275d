#pragma once
// The document's categories: coloured, with a unique integer identifier by
// which saved records name them, and a count of the records in each.
//
// A CategoryRecord holds, in this order: "cat_category" (name),
// "cat_backColor" and "cat_textColor" (ColorDictionary), "cat_howManyUsingThis"
// (the number of records linked to it), "cat_uniqueID" (64-bit) and "records"
// (an array the file writer drops).
//
// Mapping of the framework names: `addDefault:` is addDefault();
// `addWithName:` addWithName(name); `categoryWithTitle:` categoryWithTitle(title);
// `testForNewUniqueID:` testForNewUniqueID(id); `getCategoryWithUniqueID:`
// getCategoryWithUniqueID(id); `incrementObj:by:` incrementObj(category, by);
// `incrementObjUsingThisInCategoryWithUniqueID:by:`
// incrementObjUsingThisInCategoryWithUniqueID(id, by);
// `adjustFromOldRelease:` / `adjustFromAncientRelease:` take the array.

#include "document/QvCategoryArrayController.h"

class FilteringArrayController;

class QvColoredCategoryArrayController : public QvCategoryArrayController {
    Q_OBJECT
public:
    explicit QvColoredCategoryArrayController(QObject* parent = nullptr);

    // The record list whose records follow a category that is removed.
    FilteringArrayController* recordController() const { return m_records; }
    void setRecordController(FilteringArrayController* records) { m_records = records; }

    // A new CategoryRecord named "Generic" (or the first free "Generic <i>")
    // with the smallest free identifier; not yet added.
    DictionaryRef newObject() override;
    // newObject, added and selected.
    DictionaryRef addDefault();
    // newObject under exactly this name (taken or not), added and selected.
    DictionaryRef addWithName(const QString& name);
    // addWithName for each name in turn, with one rearrangement for them all;
    // the last one is selected.
    std::vector<DictionaryRef> addWithNames(const QStringList& names);

    // The first category of the content so named (exact comparison).
    DictionaryRef categoryWithTitle(const QString& title) const;
    bool testForNewUniqueID(qint64 uniqueID) const;
    // The smallest identifier from 1 that no category uses.
    qint64 newUniqueID() const;
    // The first category of the content with this identifier (a missing one reads as 0).
    DictionaryRef getCategoryWithUniqueID(qint64 uniqueID) const;

    // Adds delta to the count of an arranged category; false when it is not one.
    bool incrementObj(const DictionaryRef& category, qint64 delta);
    // The same for the first category with this identifier; false for 0 or none.
    bool incrementObjUsingThisInCategoryWithUniqueID(qint64 uniqueID, qint64 delta);

    // Categories of documents of old releases: their colour objects become
    // ColorDictionaries (an unreadable colour gets the colour of a new category).
    void adjustFromOldRelease(const ArrayRef& categories) const;
    // Completes damaged categories: one new category when there are none,
    // missing colours and counts, identifiers 1, 2, 3, ... in array order.
    void adjustFromAncientRelease(const ArrayRef& categories);

    // Removing leaves at least one category: false when the selection holds
    // every category, or nothing is selected.
    bool canRemoveSelection() const;
    // Removes the selected categories unless that would leave none; the
    // records that used them move to the first remaining category, which
    // counts them, and the document is marked changed.
    bool remove() override;

    // Bindings also read "canRemoveSelection".
    Value valueForKeyPath(const QString& keyPath) const override;

    // The colours of a new category: light grey behind white text.
    static DictionaryRef defaultBackColor();
    static DictionaryRef defaultTextColor();

    static const QString kBackColor;   // "cat_backColor"
    static const QString kTextColor;   // "cat_textColor"
    static const QString kUsageCount;  // "cat_howManyUsingThis"
    static const QString kUniqueID;    // "cat_uniqueID"
    static const QString kRecords;     // "records"

private:
    FilteringArrayController* m_records = nullptr;
};
