#pragma once
// The application's document controller, with one command of its own: save a
// document when it has changes, then open it again from its file (which, as
// the document is still open, brings its window to the front).
//
//   document:didSave:contextInfo:  ->  document(document, didSave, contextInfo): the
//                                      completion of Document::saveDocumentWithCompletion
#include "platform/DocumentController.h"

class QvRevertDocController : public DocumentController {
    Q_OBJECT
public:
    using DocumentController::DocumentController;

    void advancedLockDocument(Document* document);
    void document(Document* document, bool didSave, void* contextInfo);
    // Nothing happens to a document without a file or one that has closed.
    void CloseAndReopenTheDoc(Document* document);

    // The contacts document, the one kind of document of the application.
    void registerContactsDocumentType();
};
