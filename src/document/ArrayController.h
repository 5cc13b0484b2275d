#pragma once
// The array controller under the record and category controllers: a content
// array of dictionaries (shared with the document, by reference), the
// arrangement shown by a table, and a selection of arranged objects.
//
// As the platform's controller does, it keeps the selected objects selected
// across a rearrangement when they stay arranged, selects the first arranged
// object rather than none when the content or the arrangement changes, and
// selects the objects it adds or inserts.
//
// Bindings read and write it by key path:
//   arrangedObjects[.<path>]    the arranged objects (an array value)
//   content, selectedObjects    arrays
//   selection.<path>            the value of the selected object; with several
//                               selected, the common value or none; written to
//                               every selected object
//   selectionIndex              the first selected index, -1 without selection
//   selectionIndexes            an array of indexes
//   canRemove                   whether anything is selected
// Changes are announced under those names; "selection" stands for every
// path below it.

#include "platform/Observable.h"
#include "platform/Value.h"

#include <vector>

// What the controllers ask of the document that owns them.
class ControllerDocument {
public:
    virtual ~ControllerDocument() = default;
    // The text of the window's search field.
    virtual QString searchText() const = 0;
    // Shows or hides the strip that tells which filters are in force.
    virtual void showSearchInfoView(bool show) = 0;
    // Marks the document changed (a change done).
    virtual void markChangeDone() = 0;
};

class ArrayController : public Observable {
    Q_OBJECT
public:
    explicit ArrayController(QObject* parent = nullptr);
    ~ArrayController() override;

    // The content is used by reference: objects appended to the array by its
    // owner appear at the next rearrangement. A null array stands for an
    // empty one.
    ArrayRef content() const { return m_content; }
    void setContent(const ArrayRef& content);

    const std::vector<DictionaryRef>& arrangedObjects() const { return m_arranged; }
    qsizetype arrangedCount() const { return static_cast<qsizetype>(m_arranged.size()); }
    // Null out of range.
    DictionaryRef arrangedObjectAt(qsizetype index) const;
    // -1 when the object is not arranged.
    qsizetype indexOfArrangedObject(const Dictionary* object) const;
    // Arranges the content again (filters and order).
    void rearrangeObjects();
    // The objects the owner appended to the content since it was last
    // arranged (the whole content when the controller cannot tell).
    std::vector<DictionaryRef> unarrangedObjects() const;
    // Arranges just those objects and shows the ones the arrangement accepts
    // after the others, where arranging everything again would put them (the
    // arrangements here keep the content's order); the rest of the
    // arrangement and the selection stay, though a list with rows and no
    // selection selects its first, as after a rearrangement. The cost is that
    // of the new objects, not of the list. Arranges everything again when it
    // cannot tell.
    void arrangeAppendedObjects();
    // Changes whenever the arrangement changes other than by objects joining
    // its end, so that a table can add the rows of such objects instead of
    // showing every row afresh.
    quint64 arrangementGeneration() const { return m_arrangementGeneration; }

    // Selection, in arranged indexes (ascending).
    const std::vector<qsizetype>& selectionIndexes() const { return m_selectionIndexes; }
    // Indexes out of range are dropped; false when nothing valid was given
    // (the selection is then empty).
    bool setSelectionIndexes(std::vector<qsizetype> indexes);
    qsizetype selectionIndex() const { return m_selectionIndexes.empty() ? -1 : m_selectionIndexes.front(); }
    // -1 clears the selection; any other index out of range changes nothing
    // and answers false.
    bool setSelectionIndex(qsizetype index);
    bool setSelectedObjects(const std::vector<DictionaryRef>& objects);
    std::vector<DictionaryRef> selectedObjects() const;
    DictionaryRef firstSelectedObject() const;
    DictionaryRef lastSelectedObject() const;
    bool canRemove() const { return !m_selectionIndexes.empty(); }
    // Whether any of these objects is selected.
    bool selectionContainsAny(const std::vector<DictionaryRef>& objects) const;

    // Appends to the content and selects the object.
    void addObject(const DictionaryRef& object);
    // Inserts into the content at index (clamped to the content), rearranges
    // and selects the object.
    void insertObjectAtContentIndex(const DictionaryRef& object, qsizetype index);
    // Inserts at a place of the arrangement: before the arranged object at
    // index, or after the last one.
    void insertObjectAtArrangedIndex(const DictionaryRef& object, qsizetype index);
    // Removes these objects (by identity) from the content and the
    // arrangement; the next object takes over the selection.
    void removeObjects(const std::vector<DictionaryRef>& objects);
    void removeSelectedObjects();
    // -1 when absent.
    qsizetype contentIndexOf(const Dictionary* object) const;

    Value valueForKeyPath(const QString& keyPath) const override;
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override;

protected:
    // The arrangement of the given content objects; the default keeps them
    // as they are, in content order.
    virtual std::vector<DictionaryRef> arrangeObjects(std::vector<DictionaryRef> objects);
    // Whether an object appended to the content belongs at the end of the
    // current arrangement; false makes addObject rearrange.
    virtual bool arrangementAcceptsAppended(const DictionaryRef& object);
    // Called when another content array takes the place of the current one.
    virtual void contentReplaced();
    // Called after selected objects were written through "selection.<path>".
    virtual void selectedObjectsEdited(const std::vector<DictionaryRef>& objects, const QString& path);

    void announceArrangement();
    void announceSelection();

private:
    void installArrangement(std::vector<DictionaryRef> arranged);
    void selectArranged(const Dictionary* object);
    std::vector<DictionaryRef> contentDictionaries() const;
    bool countArrangedIsKnown() const;

    ArrayRef m_content;
    // The content's count when it was last arranged (and kept in step by
    // adds and removals since); -1 when unknown.
    qsizetype m_contentCountArranged = -1;
    std::vector<DictionaryRef> m_arranged;
    quint64 m_arrangementGeneration = 0;
    std::vector<qsizetype> m_selectionIndexes;
};
