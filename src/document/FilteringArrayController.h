#pragma once
// The contact list of a document: the records (the document's records array,
// by reference) narrowed by a category filter and a text search, the only
// maker of new records, and the keeper of the categories' usage counts.
//
// A ContactRecord is a dictionary of the 19 keys of newObject(), in that
// order; its "categoryPtr" is the category dictionary itself.
//
// Usage counts: each category counts the records of the list linked to it.
//   - newObject() counts the new record at once; add it with addObject() (or
//     the importers' direct append), which counts nothing more.
//   - addObjectAfterSelection() and insertObject() count the record they put
//     in the list; removeObject(), the confirmed remove() and
//     removeRecordFromCategory() uncount. So a step and its undo, done and
//     redone any number of times, leave the counts right: a record taken out
//     with removeObject() goes back with insertObject() at the index that
//     removeObject() answered.
//   - A record put back whose category is no longer in the list joins the
//     first category, as the next unlock would put it.
//
// The category filter has one home, categoryString() here; the document's
// menu reads it (and is told of its changes under "categoryString").
//
// Mapping of the framework names: `search:` is search(); `remove:` remove();
// `removeObject:` removeObject(record); `removeRecordFromCategory:`
// removeRecordFromCategory(record); `assignCategory:toRecord:`
// assignCategory(category, record); `setCurrentObjectAccordingToCategory:`
// setCurrentObjectAccordingToCategory(category); `addObjectAfterSelection:`
// addObjectAfterSelection(record); `duplicateRecord:` duplicateRecord(record);
// `adjustFromOldRelease:` adjustFromOldRelease(records); `filterInAction` is
// a value, none until the first arrangement.

#include "document/ArrayController.h"
#include "document/RecordSearchIndex.h"

#include <QPointer>
#include <QWidget>

class QvColoredCategoryArrayController;

class FilteringArrayController : public ArrayController {
    Q_OBJECT
public:
    explicit FilteringArrayController(QObject* parent = nullptr);
    ~FilteringArrayController() override;

    // Outlets. Connecting the category controller connects it back, so that
    // removing a category moves its records.
    QWidget* myWindow() const { return m_myWindow; }
    void setMyWindow(QWidget* window) { m_myWindow = window; }
    ControllerDocument* myDoc() const { return m_myDoc; }
    void setMyDoc(ControllerDocument* document) { m_myDoc = document; }
    QvColoredCategoryArrayController* myCategoryArrayController() const { return m_categories; }
    void setMyCategoryArrayController(QvColoredCategoryArrayController* categories);

    // A null or empty string means no filter and no search. Setting them
    // does not rearrange.
    QString categoryString() const { return m_categoryString; }
    void setCategoryString(const QString& categoryString);
    QString searchString() const { return m_searchString; }
    void setSearchString(const QString& searchString);
    QString usedFilterDisplay() const { return m_usedFilterDisplay; }
    Value filterInAction() const { return m_filterInAction; }

    // A new record in the category of catToAssignToNewObject(), counted there;
    // not yet in the list. With no category at all, a default one is made.
    DictionaryRef newObject();
    // The last selected record's category when a record and a category are
    // selected, otherwise the last category of the list.
    DictionaryRef catToAssignToNewObject() const;

    // The category step of the arrangement; it also sets usedFilterDisplay.
    std::vector<DictionaryRef> filterObjectsByCategory(std::vector<DictionaryRef> records);
    void updateFilterInAction();
    // The search field's action: takes the document's search text, rearranges
    // and selects the first record found.
    void search();
    // The lock: the search text, the filter display made of it and the
    // search's kept text of the records are wiped where they are held here
    // alone, and forgotten; the list is arranged again without a search.
    void forgetSearch();

    // Asks on myWindow, then removes the selected records (all of them, each
    // uncounted) and marks the document changed. Without a selection nothing
    // is asked.
    void remove();
    // Takes one record out of the list, whatever the filters show, and
    // uncounts it. The content index it had, or -1 when it was not in the list.
    qsizetype removeObject(const DictionaryRef& record);
    // Puts a record into the list at a content index (clamped) and counts it.
    void insertObject(const DictionaryRef& record, qsizetype contentIndex);
    // Inserts a record just below the first selected one and counts it;
    // false without a selection.
    bool addObjectAfterSelection(const DictionaryRef& record);

    // Uncounts a record from its category (when that is a listed category);
    // the link stays.
    bool removeRecordFromCategory(const DictionaryRef& record);
    // Moves a record into a category (none: the new-record category); false
    // when it already is in that very category.
    bool assignCategory(const DictionaryRef& category, const DictionaryRef& record);
    // assignCategory() for each of many {category, record} moves in turn, at
    // a cost that does not grow with the list (an import files its records
    // so); the new-record category for none is chosen once, at the first
    // move that needs it. Answers how many of the moves were made.
    qsizetype assignCategories(const std::vector<std::pair<DictionaryRef, DictionaryRef>>& moves);
    // Moves the first selected record into the category; false without a
    // selection or without a category.
    bool setCurrentObjectAccordingToCategory(const DictionaryRef& category);
    // Links every record of the given categories to `to`, which counts them;
    // answers how many moved.
    qsizetype moveRecordsToCategory(const std::vector<DictionaryRef>& from, const DictionaryRef& to);

    // A copy sharing every value (the same category), with a new creation
    // date and no "usageCount"; not counted until it is added.
    DictionaryRef duplicateRecord(const DictionaryRef& record) const;
    DictionaryRef duplicateSelection() const;

    // Records read from old documents: colour keys go, a missing category
    // identifier becomes 0.
    void adjustFromOldRelease(const ArrayRef& records) const;
    // A text field of the record view changed.
    void controlTextDidChange();

    // A searched field of a record was changed other than through this
    // controller; the search must read it again.
    void recordDidChange(const Dictionary* record);

    Value valueForKeyPath(const QString& keyPath) const override;
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override;

    static const QString kCategoryPtr; // "categoryPtr"

protected:
    std::vector<DictionaryRef> arrangeObjects(std::vector<DictionaryRef> records) override;
    bool arrangementAcceptsAppended(const DictionaryRef& record) override;
    void contentReplaced() override;
    void selectedObjectsEdited(const std::vector<DictionaryRef>& records, const QString& path) override;

private:
    bool passesCategoryFilter(const Dictionary& record) const;
    // Counts a record that joins the list, in its category or, when that is
    // gone, in the first category.
    void countInCategory(const DictionaryRef& record);
    void removeSelectedRecords();
    void setUsedFilterDisplay(const QString& text);
    bool categoryIsListed(const Dictionary* category) const;

    QPointer<QWidget> m_myWindow;
    ControllerDocument* m_myDoc = nullptr;
    QPointer<QvColoredCategoryArrayController> m_categories;

    QString m_categoryString;
    QString m_searchString;
    QString m_usedFilterDisplay;
    Value m_filterInAction;

    RecordSearchIndex m_searchIndex;
};
