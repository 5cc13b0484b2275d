#include "platform/DocumentController.h"

#include "platform/Alert.h"
#include "platform/Document.h"
#include "platform/FileChooser.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QPointer<DocumentController>& shared()
{
    static QPointer<DocumentController> controller;
    return controller;
}

// Two addresses name one file when their canonical paths agree (links and
// relative parts resolved); a file that is gone compares by its cleaned path.
QString fileKey(const QUrl& url)
{
    const QFileInfo info(url.toLocalFile());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}
} // namespace

struct DocumentController::CloseRun {
    QList<QPointer<Document>> remaining;
    std::function<void(bool)> completion;
};

DocumentController::DocumentController(QObject* parent) : QObject(parent)
{
    if (!shared())
        shared() = this;
}

DocumentController::~DocumentController()
{
    const QList<Document*> documents = m_documents;
    m_documents.clear();
    for (Document* document : documents) {
        document->m_controller = nullptr;
        delete document;
    }
}

DocumentController* DocumentController::sharedDocumentController()
{
    return shared();
}

void DocumentController::registerDocumentType(const QString& typeName, const QString& displayName,
                                              const QStringList& extensions, Factory factory)
{
    m_types.append({typeName, displayName, extensions, std::move(factory)});
}

const DocumentController::DocumentType* DocumentController::type(const QString& typeName) const
{
    for (const DocumentType& type : m_types)
        if (type.name == typeName)
            return &type;
    return nullptr;
}

QString DocumentController::defaultType() const
{
    return m_types.isEmpty() ? QString() : m_types.first().name;
}

QString DocumentController::typeForContentsOfURL(const QUrl& url) const
{
    const QString suffix = QFileInfo(url.toLocalFile()).suffix();
    for (const DocumentType& type : m_types)
        if (type.extensions.contains(suffix, Qt::CaseInsensitive))
            return type.name;
    return {};
}

QStringList DocumentController::fileExtensionsFromType(const QString& typeName) const
{
    const DocumentType* found = type(typeName);
    return found ? found->extensions : QStringList{};
}

QString DocumentController::displayNameForType(const QString& typeName) const
{
    const DocumentType* found = type(typeName);
    return found ? found->displayName : typeName;
}

QList<Document*> DocumentController::documents() const
{
    return m_documents;
}

Document* DocumentController::documentForURL(const QUrl& url) const
{
    if (url.isEmpty())
        return nullptr;
    const QString key = fileKey(url);
    for (Document* document : m_documents)
        if (!document->fileURL().isEmpty() && fileKey(document->fileURL()) == key)
            return document;
    return nullptr;
}

void DocumentController::addDocument(Document* document)
{
    if (!document || m_documents.contains(document))
        return;
    if (document->fileURL().isEmpty() && document->m_untitledNumber == 0) {
        // The lowest number that no other untitled document shows.
        QList<int> used;
        for (Document* other : m_documents)
            if (other->fileURL().isEmpty())
                used.append(other->m_untitledNumber);
        int number = 1;
        while (used.contains(number))
            ++number;
        document->m_untitledNumber = number;
    }
    m_documents.append(document);
    document->m_controller = this;
    document->setParent(this);
    emit documentAdded(document);
}

void DocumentController::removeDocument(Document* document)
{
    if (!m_documents.removeOne(document))
        return;
    document->m_controller = nullptr;
    emit documentRemoved(document);
}

void DocumentController::newDocument()
{
    QString why;
    if (!openUntitledDocumentAndDisplay(true, &why))
        Alert(tr("A new document could not be created."), why, {tr("OK")}).beginSheetModalForWindow(nullptr, {});
}

Document* DocumentController::openUntitledDocumentAndDisplay(bool display, QString* error)
{
    Document* document = makeUntitledDocumentOfType(defaultType(), error);
    if (!document)
        return nullptr;
    addDocument(document);
    if (display)
        document->showWindows();
    return document;
}

Document* DocumentController::makeUntitledDocumentOfType(const QString& typeName, QString* error)
{
    const DocumentType* found = type(typeName);
    Document* document = found && found->factory ? found->factory() : nullptr;
    if (!document) {
        if (error)
            *error = tr("No kind of document is known as “%1”.").arg(typeName);
        return nullptr;
    }
    document->setFileType(typeName);
    return document;
}

void DocumentController::openDocument()
{
    FileChooserOptions options;
    options.title = tr("Open");
    options.allowsMultipleSelection = true;
    for (const DocumentType& type : m_types)
        options.allowedExtensions += type.extensions;
    options.typeDescription = m_types.size() == 1 ? m_types.first().displayName : tr("Documents");
    QPointer<DocumentController> guard(this);
    FileChooser::chooseToOpen(nullptr, options, [guard](const QStringList& paths) {
        for (const QString& path : paths)
            if (guard)
                guard->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true);
        if (guard)
            emit guard->openPanelEnded();
    });
}

void DocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenCompletion completion)
{
    if (Document* open = documentForURL(url)) {
        if (display)
            open->showWindows();
        if (completion)
            completion(open, true);
        return;
    }
    QString why;
    Document* document = nullptr;
    const QString typeName = typeForContentsOfURL(url);
    if (typeName.isEmpty())
        why = tr("%1 cannot open files of this kind.").arg(QCoreApplication::applicationName());
    else
        document = makeDocumentWithContentsOfURL(url, typeName, &why);
    if (!document) {
        presentOpenError(url, why);
        if (completion)
            completion(nullptr, false);
        return;
    }
    addDocument(document);
    if (display)
        document->showWindows();
    if (completion)
        completion(document, false);
}

Document* DocumentController::makeDocumentWithContentsOfURL(const QUrl& url, const QString& typeName, QString* error)
{
    Document* document = makeUntitledDocumentOfType(typeName, error);
    if (!document)
        return nullptr;
    if (!document->readFromURL(url, typeName, error)) {
        delete document;
        return nullptr;
    }
    document->setFileURL(url);
    return document;
}

void DocumentController::presentOpenError(const QUrl& url, const QString& why)
{
    const Alert alert(tr("The document “%1” could not be opened.").arg(QFileInfo(url.toLocalFile()).fileName()),
                      why.isEmpty() ? tr("The file is damaged or is not a document of this application.") : why,
                      {tr("OK")});
    // Shown after the windows that the same event opens, so that none covers it.
    MainQueue::post(this, [alert] { alert.beginSheetModalForWindow(nullptr, {}); });
}

void DocumentController::openDocumentsFromCommandLine(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        const QUrl asUrl(argument);
        const QString path = asUrl.isLocalFile() ? asUrl.toLocalFile() : QFileInfo(argument).absoluteFilePath();
        openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true);
    }
}

void DocumentController::closeAllDocuments(std::function<void(bool)> completion)
{
    auto run = std::make_shared<CloseRun>();
    for (Document* document : m_documents)
        run->remaining.append(document);
    run->completion = std::move(completion);
    closeNext(run);
}

void DocumentController::closeNext(const std::shared_ptr<CloseRun>& run)
{
    // One document at a time: the next is asked only after the previous has answered.
    while (!run->remaining.isEmpty()) {
        QPointer<Document> document = run->remaining.takeFirst();
        if (!document || document->isClosed())
            continue;
        QPointer<DocumentController> guard(this);
        document->canCloseDocument([guard, run, document](bool shouldClose) {
            if (!shouldClose) {
                if (run->completion)
                    run->completion(false);
                return;
            }
            if (document)
                document->close();
            if (guard)
                guard->closeNext(run);
        });
        return;
    }
    if (run->completion)
        run->completion(true);
}

void DocumentController::terminate()
{
    if (m_terminating)
        return;
    m_terminating = true;
    QPointer<DocumentController> guard(this);
    closeAllDocuments([guard](bool allClosed) {
        if (!guard)
            return;
        guard->m_terminating = false;
        if (allClosed)
            emit guard->terminationApproved();
    });
}
