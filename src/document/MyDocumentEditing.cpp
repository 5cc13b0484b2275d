// Adding, duplicating and deleting records, each one undoable step.
#include "document/MyDocument.h"

#include "document/FilteringArrayController.h"
#include "document/MyDocumentWindow_p.h"
#include "platform/Alert.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QUndoCommand>
#include <QUndoStack>

// One step of the record list. It holds the record itself, so undo and redo
// act on that very record whatever the list shows at the time, and the place
// it had in the document's records, so a redo does not depend on the
// selection of the moment.
class RecordStep : public QUndoCommand {
public:
    enum Kind { Add, Duplicate, Delete };

    RecordStep(MyDocument* document, Kind kind, DictionaryRef record)
        : QUndoCommand(actionName(kind)), m_document(document), m_kind(kind), m_record(std::move(record))
    {
    }

    static QString actionName(Kind kind)
    {
        switch (kind) {
        case Add:
            return QCoreApplication::translate("MyDocument", "Add Record");
        case Duplicate:
            return QCoreApplication::translate("MyDocument", "Duplicate Record");
        case Delete:
            break;
        }
        return QCoreApplication::translate("MyDocument", "Delete Record");
    }

    void redo() override
    {
        switch (m_kind) {
        case Add:
            m_document->addTheRecordChange(m_record, m_contentIndex, m_first);
            break;
        case Duplicate:
            m_document->duplicateTheRecordChange(m_record, m_first ? -1 : m_contentIndex);
            break;
        case Delete:
            m_contentIndex = m_document->deleteTheRecordChange(m_record);
            break;
        }
        if (m_kind != Delete)
            m_contentIndex = m_document->myArrayController()->contentIndexOf(m_record.get());
        m_first = false;
    }

    void undo() override
    {
        switch (m_kind) {
        case Add:
            m_document->addTheRecordUndo(m_record);
            break;
        case Duplicate:
            m_document->duplicateTheRecordUndo(m_record);
            break;
        case Delete:
            m_document->deleteTheRecordUndo(m_record, m_contentIndex);
            break;
        }
    }

private:
    MyDocument* m_document; // the undo stack, and so this step, belongs to the document
    const Kind m_kind;
    const DictionaryRef m_record;
    qsizetype m_contentIndex = -1;
    bool m_first = true;
};

// Commands

bool MyDocument::mayAddData()
{
    if (!isDecrypted())
        return false;
    if (!hasPassword()) {
        askToInsertPasswordBeforeAddingData();
        return false;
    }
    return true;
}

void MyDocument::addRow()
{
    if (!mayAddData())
        return;
    addTheRecord(m_myArrayController->newObject());
    // The new record is typed into at once, starting with its name.
    if (const Ui::MyDocument* ui = liveUi()) {
        ui->edit_firstName->setFocus(Qt::OtherFocusReason);
        ui->edit_firstName->selectAll();
    }
}

void MyDocument::duplicateRow()
{
    if (!isDecrypted() || !m_myArrayController->canRemove() || !mayAddData())
        return;
    duplicateTheRecord(m_myArrayController->duplicateSelection());
}

void MyDocument::deleteRow()
{
    if (!isDecrypted() || !m_myArrayController->canRemove())
        return;
    Alert alert(QStringLiteral("Delete Selected Row?"), QStringLiteral("The selected row will be removed from the document"),
                {QStringLiteral("Delete"), QStringLiteral("Cancel")}, Alert::WarningStyle);
    QPointer<MyDocument> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard](int response) {
        if (!guard || response != Alert::FirstButtonReturn || !guard->isDecrypted())
            return;
        // What is selected when the question is answered goes; with nothing selected, nothing does.
        if (const DictionaryRef record = guard->m_myArrayController->lastSelectedObject())
            guard->deleteTheRecord(record);
    });
}

void MyDocument::askToInsertPasswordBeforeAddingData()
{
    Alert alert(QStringLiteral("A password must be defined before adding data"),
                QStringLiteral("After defining a password used to protect this document, it will be possible to add data."),
                {QStringLiteral("Define Password"), QStringLiteral("Cancel")}, Alert::InformationalStyle);
    QPointer<MyDocument> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard](int response) {
        if (guard && response == Alert::FirstButtonReturn)
            MainQueue::post(guard, [guard] { guard->documentPassword(); });
    });
}

// Steps

void MyDocument::addTheRecord(const DictionaryRef& record)
{
    if (record)
        undoManager()->push(new RecordStep(this, RecordStep::Add, record));
}

void MyDocument::duplicateTheRecord(const DictionaryRef& record)
{
    if (record && m_myArrayController->canRemove())
        undoManager()->push(new RecordStep(this, RecordStep::Duplicate, record));
}

void MyDocument::deleteTheRecord(const DictionaryRef& record)
{
    if (record && m_myArrayController->contentIndexOf(record.get()) >= 0)
        undoManager()->push(new RecordStep(this, RecordStep::Delete, record));
}

void MyDocument::addTheRecordChange(const DictionaryRef& record, qsizetype contentIndex, bool counted)
{
    // A new record was counted in its category when it was made; put back later, it is counted again.
    if (counted)
        m_myArrayController->addObject(record);
    else
        m_myArrayController->insertObject(record, contentIndex);
    m_myArrayController->rearrangeObjects();
    markChangeDone();
    scrollToRecord(record);
    switchToEditMode();
}

void MyDocument::addTheRecordUndo(const DictionaryRef& record)
{
    m_myArrayController->removeObject(record);
    m_myArrayController->rearrangeObjects();
    markChangeDone();
}

void MyDocument::duplicateTheRecordChange(const DictionaryRef& record, qsizetype contentIndex)
{
    if (contentIndex < 0)
        m_myArrayController->addObjectAfterSelection(record);
    else
        m_myArrayController->insertObject(record, contentIndex);
    m_myArrayController->rearrangeObjects();
    markChangeDone();
}

void MyDocument::duplicateTheRecordUndo(const DictionaryRef& record)
{
    m_myArrayController->removeObject(record);
    m_myArrayController->rearrangeObjects();
    markChangeDone();
}

qsizetype MyDocument::deleteTheRecordChange(const DictionaryRef& record)
{
    const qsizetype contentIndex = m_myArrayController->removeObject(record);
    markChangeDone();
    return contentIndex;
}

void MyDocument::deleteTheRecordUndo(const DictionaryRef& record, qsizetype contentIndex)
{
    // A record that was not in the list when the step ran does not come into it now.
    if (contentIndex >= 0)
        m_myArrayController->insertObject(record, contentIndex);
    markChangeDone();
}
