#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

class Document;

// Keeps the open documents in the order they were opened, creates them from
// the registered document types, opens files (raising the window of one that
// is open already) and closes them all when the application quits.
//
// How the document controller of the Objective-C design maps to this one:
//   +sharedDocumentController          ->  sharedDocumentController(): the first one made
//   -documents                         ->  documents()
//   -documentForURL:                   ->  documentForURL(url)
//   -addDocument: / -removeDocument:   ->  addDocument(document) / removeDocument(document)
//   -newDocument:                      ->  newDocument()
//   -openDocument:                     ->  openDocument(): the file chooser, then each file
//   -openUntitledDocumentAndDisplay:error:
//                                      ->  openUntitledDocumentAndDisplay(display, &error)
//   -makeUntitledDocumentOfType:error: ->  makeUntitledDocumentOfType(type, &error)
//   -makeDocumentWithContentsOfURL:ofType:error:
//                                      ->  makeDocumentWithContentsOfURL(url, type, &error)
//   -openDocumentWithContentsOfURL:display:completionHandler:
//                                      ->  openDocumentWithContentsOfURL(url, display, completion);
//                                          the controller tells the user itself why an open failed
//   -typeForContentsOfURL:error:       ->  typeForContentsOfURL(url): by the file's extension
//   -defaultType                       ->  defaultType(): the first type registered
//   -closeAllDocumentsWithDelegate:didCloseAllSelector:contextInfo:
//                                      ->  closeAllDocuments(completion(bool allClosed))
//   -[NSApplication terminate:]        ->  terminate(): asks every edited document, then
//                                          emits terminationApproved()
//   application:openFiles: (open-document events)
//                                      ->  openDocumentsFromCommandLine(arguments)
// The document types come from registerDocumentType() instead of the
// application's information file.
class DocumentController : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<Document*()>;
    using OpenCompletion = std::function<void(Document* document, bool documentWasAlreadyOpen)>;

    explicit DocumentController(QObject* parent = nullptr);
    ~DocumentController() override;

    static DocumentController* sharedDocumentController();

    // Document types.
    void registerDocumentType(const QString& typeName, const QString& displayName, const QStringList& extensions,
                              Factory factory);
    QString defaultType() const;
    QString typeForContentsOfURL(const QUrl& url) const;
    QStringList fileExtensionsFromType(const QString& typeName) const;
    QString displayNameForType(const QString& typeName) const;

    // Open documents.
    QList<Document*> documents() const;
    Document* documentForURL(const QUrl& url) const;
    virtual void addDocument(Document* document);
    virtual void removeDocument(Document* document);

    // Creating and opening.
    virtual void newDocument();
    virtual Document* openUntitledDocumentAndDisplay(bool display, QString* error);
    virtual Document* makeUntitledDocumentOfType(const QString& typeName, QString* error);
    virtual void openDocument();
    virtual void openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenCompletion completion = {});
    virtual Document* makeDocumentWithContentsOfURL(const QUrl& url, const QString& typeName, QString* error);
    // Opens every file named (paths, or file: addresses), in order.
    void openDocumentsFromCommandLine(const QStringList& arguments);

    // Closing and quitting.
    virtual void closeAllDocuments(std::function<void(bool allClosed)> completion);
    void terminate();

signals:
    void documentAdded(Document* document);
    void documentRemoved(Document* document);
    // Every document has closed for a quit: the application may end now.
    void terminationApproved();
    // The chooser of openDocument() has ended, after the chosen files were opened.
    void openPanelEnded();

private:
    struct DocumentType {
        QString name;
        QString displayName;
        QStringList extensions;
        Factory factory;
    };
    struct CloseRun;

    const DocumentType* type(const QString& typeName) const;
    void closeNext(const std::shared_ptr<CloseRun>& run);
    void presentOpenError(const QUrl& url, const QString& why);

    QList<DocumentType> m_types;
    QList<Document*> m_documents;
    bool m_terminating = false;
};
