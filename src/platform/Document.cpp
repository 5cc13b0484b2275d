#include "platform/Document.h"

#include "platform/Alert.h"
#include "platform/DocumentController.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"
#include "platform/FileRead.h"
#include "platform/FileWrite.h"
#include "platform/Sheet.h"

#include <QAction>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QUndoStack>

Document::Document(QObject* parent) : QObject(parent), m_undoStack(std::make_unique<QUndoStack>())
{
    connect(m_undoStack.get(), &QUndoStack::indexChanged, this, &Document::undoIndexChanged);
    connect(m_undoStack.get(), &QUndoStack::undoTextChanged, this, &Document::userInterfaceStateChanged);
    connect(m_undoStack.get(), &QUndoStack::redoTextChanged, this, &Document::userInterfaceStateChanged);
}

Document::~Document()
{
    // Subclasses are gone by now; the undo stack must not report to them
    // while it is taken apart with this object.
    QObject::disconnect(m_undoStack.get(), nullptr, this, nullptr);
    if (!m_closed && m_controller)
        m_controller->removeDocument(this);
    delete m_window;
}

void Document::setFileURL(const QUrl& url)
{
    if (url == m_fileURL)
        return;
    m_fileURL = url;
    emit fileURLChanged();
    emit userInterfaceStateChanged();
}

QString Document::displayName() const
{
    if (!m_fileURL.isEmpty())
        return QFileInfo(m_fileURL.toLocalFile()).fileName();
    return m_untitledNumber <= 1 ? tr("Untitled") : tr("Untitled %1").arg(m_untitledNumber);
}

void Document::updateChangeCount(ChangeType change)
{
    const int before = m_changeCount;
    switch (change) {
    case ChangeDone:
    case ChangeRedone: ++m_changeCount; break;
    case ChangeUndone: --m_changeCount; break;
    case ChangeCleared: m_changeCount = 0; break;
    }
    if (m_changeCount == before)
        return;
    emit changeCountChanged();
    // Commands follow whether there are changes, not how many: an import that
    // marks each of its records would otherwise validate them all each time.
    if ((before != 0) != (m_changeCount != 0))
        emit userInterfaceStateChanged();
}

void Document::undoIndexChanged(int index)
{
    const int steps = index - m_undoIndex;
    m_undoIndex = index;
    // Emptying the stack (after a revert) moves the index without undoing anything.
    if (m_undoStack->count() == 0)
        return;
    for (int i = 0; i < steps; ++i)
        updateChangeCount(ChangeDone);
    for (int i = 0; i > steps; --i)
        updateChangeCount(ChangeUndone);
}

bool Document::readFromData(const QByteArray&, const QString& typeName, QString* error)
{
    if (error)
        *error = tr("Documents of type “%1” cannot be read.").arg(typeName);
    return false;
}

std::optional<QByteArray> Document::dataOfType(const QString& typeName, QString* error)
{
    if (error)
        *error = tr("Documents of type “%1” cannot be written.").arg(typeName);
    return std::nullopt;
}

std::optional<QByteArrayList> Document::piecesOfType(const QString& typeName, QString* error)
{
    std::optional<QByteArray> data = dataOfType(typeName, error);
    if (!data)
        return std::nullopt;
    return QByteArrayList{std::move(*data)};
}

bool Document::readFromURL(const QUrl& url, const QString& typeName, QString* error)
{
    QString why;
    QByteArray data;
    // Looked at before the read: a file replaced in between is then taken for
    // changed at the next save, rather than its changes for ours.
    const QString path = url.toLocalFile();
    const std::optional<FileIdentity> state = FileIdentity::ofFile(path);
    switch (FileRead::readRegularFile(path, kLargestReadableFile, data, &why)) {
    case FileRead::Status::Read:
        if (readFromData(data, typeName, &why)) {
            m_knownFilePath = path;
            m_knownFileState = state;
            return true;
        }
        break;
    case FileRead::Status::Failed:
        break;
    case FileRead::Status::Folder:
        why = tr("It is a folder, not a document.");
        break;
    case FileRead::Status::NotRegular:
        why = tr("It is a device, pipe or socket, not a document.");
        break;
    case FileRead::Status::TooLarge:
        why = fileTooLargeMessage();
        break;
    }
    if (error)
        *error = why;
    return false;
}

QString Document::fileTooLargeMessage() const
{
    return tr("The file is too large to be a document of this kind.");
}

bool Document::writeToURL(const QUrl& url, const QString& typeName, QString* error)
{
    QString why;
    const std::optional<QByteArrayList> pieces = piecesOfType(typeName, &why);
    if (!pieces) {
        if (error)
            *error = why;
        return false;
    }
    return FileWrite::writeWholeFile(url.toLocalFile(), *pieces, error);
}

bool Document::revertToContentsOfURL(const QUrl& url, const QString& typeName, QString* error)
{
    if (!readFromURL(url, typeName, error))
        return false;
    m_undoStack->clear();
    updateChangeCount(ChangeCleared);
    emit userInterfaceStateChanged();
    return true;
}

void Document::saveDocument()
{
    saveDocumentWithCompletion({});
}

void Document::saveDocumentAs()
{
    askForFileAndSave({});
}

void Document::saveDocumentWithCompletion(std::function<void(bool)> completion)
{
    if (m_fileURL.isEmpty())
        askForFileAndSave(std::move(completion));
    else
        saveToURL(m_fileURL, false, std::move(completion));
}

QString Document::fileExtension() const
{
    const QStringList extensions = m_controller ? m_controller->fileExtensionsFromType(m_fileType) : QStringList{};
    return extensions.value(0);
}

void Document::askForFileAndSave(std::function<void(bool)> completion)
{
    const QString extension = fileExtension();
    FileChooserOptions options;
    options.title = m_fileURL.isEmpty() ? tr("Save") : tr("Save As");
    options.typeDescription = m_controller ? m_controller->displayNameForType(m_fileType) : QString();
    if (!extension.isEmpty())
        options.allowedExtensions = {extension};
    const QFileInfo current(m_fileURL.toLocalFile());
    options.directory = m_fileURL.isEmpty() ? QString() : current.absolutePath();
    options.suggestedName = m_fileURL.isEmpty() ? displayName() : current.completeBaseName();
    if (!extension.isEmpty())
        options.suggestedName += QLatin1Char('.') + extension;
    QPointer<Document> guard(this);
    FileChooser::chooseToSave(windowForSheet(), options, [guard, extension, completion](QString path) {
        if (!guard)
            return;
        if (path.isEmpty()) {
            if (completion)
                completion(false);
            return;
        }
        if (!extension.isEmpty() && QFileInfo(path).suffix() != extension)
            path += QLatin1Char('.') + extension;
        guard->saveToURL(QUrl::fromLocalFile(path), true, completion);
    });
}

void Document::saveToURL(const QUrl& url, bool saveAs, std::function<void(bool)> completion)
{
    if (fileChangedSinceReadOrWritten(url.toLocalFile()))
        askBeforeReplacingChangedFile(url, saveAs, std::move(completion));
    else
        writeSavedFile(url, saveAs, std::move(completion));
}

bool Document::fileChangedSinceReadOrWritten(const QString& path) const
{
    // A file that has gone is written again, as is one this document never read or wrote.
    if (!m_knownFileState || path != m_knownFilePath)
        return false;
    const std::optional<FileIdentity> now = FileIdentity::ofFile(path);
    return now && *now != *m_knownFileState;
}

void Document::askBeforeReplacingChangedFile(const QUrl& url, bool saveAs, std::function<void(bool)> completion)
{
    const Alert alert(tr("The file has been changed by another application since you opened or saved it."),
                      tr("Saving anyway replaces the file with this document, and the changes made to it elsewhere "
                         "are lost. To keep both, cancel and save this document under another name with Save As."),
                      {tr("Save Anyway"), tr("Cancel")});
    QPointer<Document> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard, url, saveAs, completion](int response) {
        if (!guard)
            return;
        if (response == Alert::FirstButtonReturn)
            guard->writeSavedFile(url, saveAs, completion);
        else if (completion)
            completion(false);
    });
}

void Document::writeSavedFile(const QUrl& url, bool saveAs, std::function<void(bool)> completion)
{
    QString why;
    Document* holder = m_controller ? m_controller->documentForURL(url) : nullptr;
    bool written = false;
    if (holder && holder != this)
        why = tr("Another open document uses this file; close it first.");
    else
        written = writeToURL(url, m_fileType, &why);
    if (!written) {
        const QString message = saveAs
            ? tr("The document “%1” could not be saved as “%2”.").arg(displayName(), QFileInfo(url.toLocalFile()).fileName())
            : tr("The document “%1” could not be saved.").arg(displayName());
        presentError(message, why.isEmpty() ? tr("The file could not be written.") : why, [completion] {
            if (completion)
                completion(false);
        });
        return;
    }
    // Every save writes a new file in place of the old one: this is the one to know now.
    m_knownFilePath = url.toLocalFile();
    m_knownFileState = FileIdentity::ofFile(m_knownFilePath);
    setFileURL(url);
    updateChangeCount(ChangeCleared);
    if (completion)
        completion(true);
}

void Document::revertDocumentToSaved()
{
    if (m_fileURL.isEmpty())
        return;
    const Alert alert(tr("Do you want to revert to the most recently saved version of the document “%1”?").arg(displayName()),
                      tr("Your current changes will be lost."), {tr("Revert"), tr("Cancel")});
    QPointer<Document> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard](int response) {
        if (!guard || response != Alert::FirstButtonReturn)
            return;
        QString why;
        if (!guard->revertToContentsOfURL(guard->m_fileURL, guard->m_fileType, &why))
            guard->presentError(tr("The document “%1” could not be reverted.").arg(guard->displayName()), why);
    });
}

void Document::canCloseDocument(std::function<void(bool)> completion)
{
    if (!isDocumentEdited()) {
        if (completion)
            completion(true);
        return;
    }
    // A second request while the question is up waits for the same answer.
    m_closeQuestionWaiters.push_back(std::move(completion));
    if (m_closeQuestionWaiters.size() > 1)
        return;
    const Alert alert(tr("Do you want to save the changes made to the document “%1”?").arg(displayName()),
                      tr("Your changes will be lost if you don't save them."),
                      {tr("Save"), tr("Don't Save"), tr("Cancel")});
    QPointer<Document> guard(this);
    alert.beginSheetModalForWindow(windowForSheet(), [guard](int response) {
        if (!guard)
            return;
        auto answer = [guard](bool shouldClose) {
            if (!guard)
                return;
            auto waiters = std::move(guard->m_closeQuestionWaiters);
            guard->m_closeQuestionWaiters.clear();
            for (const auto& waiter : waiters)
                if (waiter)
                    waiter(shouldClose);
        };
        if (response == Alert::FirstButtonReturn)
            guard->saveDocumentWithCompletion(answer);
        else
            answer(response == Alert::SecondButtonReturn);
    });
}

void Document::performClose()
{
    QPointer<Document> guard(this);
    canCloseDocument([guard](bool shouldClose) {
        if (shouldClose && guard)
            guard->close();
    });
}

void Document::close()
{
    if (m_closed)
        return;
    m_closed = true;
    emit closing(this);
    if (m_window) {
        Sheet::endAll(m_window);
        m_window->close();
        m_window->deleteLater();
    }
    // A document of a controller goes with its window; any other stays with its owner.
    if (DocumentController* controller = m_controller) {
        controller->removeDocument(this);
        deleteLater();
    }
}

void Document::makeWindowControllers()
{
    if (m_window || m_closed)
        return;
    m_window = makeWindow();
    if (m_window)
        windowControllerDidLoadNib(m_window);
}

DocumentWindow* Document::makeWindow()
{
    return new DocumentWindow(this);
}

void Document::showWindows()
{
    makeWindowControllers();
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

QWidget* Document::windowForSheet() const
{
    return m_window;
}

bool Document::validateMenuItem(QAction* item)
{
    return validateUserInterfaceItem(item);
}

bool Document::validateUserInterfaceItem(QAction* item)
{
    const QString action = item->objectName();
    if (action == QLatin1String("revertDocumentToSaved"))
        return !m_fileURL.isEmpty() && isDocumentEdited();
    if (action == QLatin1String("printDocument"))
        return printableView() != nullptr;
    if (action == QLatin1String("undo"))
        return m_undoStack->canUndo();
    if (action == QLatin1String("redo"))
        return m_undoStack->canRedo();
    return true;
}

QPrinter* Document::printInfo()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    return m_printer.get();
}

void Document::runPageLayout()
{
    Sheet::Options options;
    options.deleteWhenEnded = true;
    Sheet::begin(new QPageSetupDialog(printInfo(), m_window), m_window, {}, std::move(options));
}

void Document::printDocument()
{
    if (!printableView())
        return;
    QPointer<Document> guard(this);
    Sheet::Options options;
    options.deleteWhenEnded = true;
    Sheet::begin(new QPrintDialog(printInfo(), m_window), m_window, [guard](int code) {
        if (!guard || code != QDialog::Accepted)
            return;
        if (!guard->printView(guard->printInfo()))
            guard->presentError(tr("The document “%1” could not be printed.").arg(guard->displayName()),
                                tr("The printer could not be used."));
    }, std::move(options));
}

bool Document::printView(QPrinter* printer)
{
    QWidget* view = printableView();
    if (!view)
        return false;
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    // The view is scaled down to the page's width and, at most, its height.
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    const QSize size = view->size();
    const double scale = std::min({1.0 * printer->resolution() / view->logicalDpiX(), page.width() / size.width(),
                                   page.height() / size.height()});
    painter.scale(scale, scale);
    view->render(&painter);
    return painter.end();
}

void Document::presentError(const QString& message, const QString& informative, std::function<void()> done)
{
    Alert(message, informative, {tr("OK")}).beginSheetModalForWindow(windowForSheet(), [done](int) {
        if (done)
            done();
    });
}
