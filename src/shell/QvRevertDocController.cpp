#include "shell/QvRevertDocController.h"

#include "document/MyDocument.h"
#include "platform/Document.h"
#include "platform/MainQueue.h"

void QvRevertDocController::advancedLockDocument(Document* target)
{
    if (!target)
        return;
    QPointer<QvRevertDocController> guard(this);
    QPointer<Document> document(target);
    if (target->isDocumentEdited()) {
        target->saveDocumentWithCompletion([guard, document](bool saved) {
            if (guard)
                guard->document(document, saved, nullptr);
        });
        return;
    }
    MainQueue::post(this, [guard, document] {
        if (guard)
            guard->CloseAndReopenTheDoc(document);
    });
}

void QvRevertDocController::document(Document* document, bool didSave, void* contextInfo)
{
    if (didSave)
        CloseAndReopenTheDoc(document);
}

void QvRevertDocController::CloseAndReopenTheDoc(Document* document)
{
    if (!document || document->isClosed() || document->fileURL().isEmpty())
        return;
    openDocumentWithContentsOfURL(document->fileURL(), true, [](Document*, bool) {});
}

void QvRevertDocController::registerContactsDocumentType()
{
    registerDocumentType(QStringLiteral("calvorin"), QStringLiteral("Calvorin Document"), {QStringLiteral("calvorin")},
                         [] { return new MyDocument; });
}
