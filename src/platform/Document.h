#pragma once
#include "platform/DocumentController.h"
#include "platform/DocumentWindow.h"
#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QPrinter;
class QUndoStack;
class QWidget;

// A document: its contents, file, change count, undo stack and window.
// Subclasses supply reading and writing, and their window.
//
// How the document class of the Objective-C design maps to this one:
//   -readFromData:ofType:error:        ->  readFromData(data, typeName, &error) -> bool
//   -dataOfType:error:                 ->  dataOfType(typeName, &error) -> std::optional<QByteArray>;
//                                          nullopt is "returned nil": the write fails
//   -writeToURL:ofType:error:          ->  writeToURL(url, typeName, &error): atomic (QSaveFile)
//   -readFromURL:ofType:error:         ->  readFromURL(url, typeName, &error)
//   -revertToContentsOfURL:ofType:error: -> revertToContentsOfURL(url, typeName, &error)
//   -updateChangeCount:                ->  updateChangeCount(ChangeDone | ChangeUndone | ChangeRedone | ChangeCleared)
//   -isDocumentEdited                  ->  isDocumentEdited(): the change count is not 0
//   -fileURL / -fileType               ->  fileURL() / fileType()
//   -displayName                       ->  displayName(): the file's name, or "Untitled", "Untitled 2", ...
//   -undoManager                       ->  undoManager(): a QUndoStack; the action name of a step
//                                          is its QUndoCommand's text. Every step pushed, undone or
//                                          redone moves the change count by one.
//   -makeWindowControllers / -windowNibName
//                                      ->  makeWindow(): builds the document's one window
//   -windowControllerDidLoadNib:       ->  windowControllerDidLoadNib(window): after it is built
//   -showWindows                       ->  showWindows()
//   -windowForSheet                    ->  windowForSheet()
//   -validateMenuItem: / -validateUserInterfaceItem:
//                                      ->  validateMenuItem(QAction*) / validateUserInterfaceItem(QAction*).
//                                          The item's action selector is its objectName() without the
//                                          colon ("saveDocument"), its tag is data().toInt(), its state
//                                          is isChecked() (set it checkable to show a check mark).
//   -saveDocument: / -saveDocumentAs: / -revertDocumentToSaved: / -runPageLayout: / -printDocument:
//                                      ->  saveDocument() / saveDocumentAs() / revertDocumentToSaved() /
//                                          runPageLayout() / printDocument()
//   -saveDocumentWithDelegate:didSaveSelector:contextInfo:
//                                      ->  saveDocumentWithCompletion(completion(bool saved))
//   -canCloseDocumentWithDelegate:shouldCloseSelector:contextInfo:
//                                      ->  canCloseDocument(completion(bool shouldClose)); an override
//                                          must call the completion exactly once
//   -close                             ->  close()
//   -presentError: (as a sheet)        ->  presentError(message, informative)
class Document : public QObject {
    Q_OBJECT
public:
    enum ChangeType { ChangeDone = 0, ChangeUndone = 1, ChangeCleared = 2, ChangeRedone = 5 };

    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    // Identity.
    QUrl fileURL() const { return m_fileURL; }
    void setFileURL(const QUrl& url);
    QString fileType() const { return m_fileType; }
    void setFileType(const QString& typeName) { m_fileType = typeName; }
    QString displayName() const;
    DocumentController* documentController() const { return m_controller; }

    // Changes.
    void updateChangeCount(ChangeType change);
    bool isDocumentEdited() const { return m_changeCount != 0; }
    int changeCount() const { return m_changeCount; }
    QUndoStack* undoManager() const { return m_undoStack.get(); }

    // Reading and writing. A read that fails must leave the document as it was.
    virtual bool readFromData(const QByteArray& data, const QString& typeName, QString* error);
    virtual std::optional<QByteArray> dataOfType(const QString& typeName, QString* error);
    // The file's bytes in pieces written one after the other, for a document
    // whose file holds large values it keeps: they are written from where
    // they are rather than gathered into one buffer first. By default the
    // one piece of dataOfType.
    virtual std::optional<QByteArrayList> piecesOfType(const QString& typeName, QString* error);
    // Reads only a regular file of at most kLargestReadableFile bytes.
    bool readFromURL(const QUrl& url, const QString& typeName, QString* error);
    static constexpr qint64 kLargestReadableFile = qint64(1) << 30;
    // Replaces the file only when every byte was written; the old file stays as it was otherwise.
    bool writeToURL(const QUrl& url, const QString& typeName, QString* error);
    // Reads the file again; the undo steps go and the change count is cleared.
    virtual bool revertToContentsOfURL(const QUrl& url, const QString& typeName, QString* error);

    // Commands of the File menu.
    virtual void saveDocument();
    virtual void saveDocumentAs();
    virtual void revertDocumentToSaved();
    virtual void runPageLayout();
    virtual void printDocument();
    // Saves (asking for a file when there is none) and tells whether it did;
    // a cancelled chooser or a failed write answer false, and a failure is shown to the user.
    // When the file has been written by someone else since this document last
    // read or wrote it, the user is asked first; "Cancel" writes nothing and answers false.
    void saveDocumentWithCompletion(std::function<void(bool saved)> completion);

    // Closing. canCloseDocument asks about unsaved changes: Save, Don't Save or Cancel.
    virtual void canCloseDocument(std::function<void(bool shouldClose)> completion);
    // Asks, then closes when allowed (the window's close button and File > Close).
    void performClose();
    // Closes at once: ends the window's sheets (they answer Alert::ModalResponseAbort),
    // closes the window and leaves the controller, which deletes the document
    // later. A document that belongs to no controller is left to its owner.
    virtual void close();
    bool isClosed() const { return m_closed; }

    // The window.
    void makeWindowControllers();
    void showWindows();
    DocumentWindow* window() const { return m_window; }
    QWidget* windowForSheet() const;

    // Command validation; the window asks before a menu shows and whenever the state changes.
    virtual bool validateMenuItem(QAction* item);
    virtual bool validateUserInterfaceItem(QAction* item);

    // Printing: the view that Print renders, or null when there is nothing to print.
    virtual QWidget* printableView() const { return nullptr; }
    QPrinter* printInfo();
    bool printView(QPrinter* printer);

    // Shows a failure as a sheet on the window.
    void presentError(const QString& message, const QString& informative, std::function<void()> done = {});

signals:
    void changeCountChanged();
    void fileURLChanged();
    // Something that commands depend on has changed; the window validates its commands again.
    void userInterfaceStateChanged();
    void closing(Document* document);

protected:
    // Builds the window; the default is a plain document window.
    virtual DocumentWindow* makeWindow();
    virtual void windowControllerDidLoadNib(DocumentWindow* window) {}
    // Why a file larger than kLargestReadableFile is not read.
    virtual QString fileTooLargeMessage() const;

private:
    friend class DocumentController;
    void saveToURL(const QUrl& url, bool saveAs, std::function<void(bool)> completion);
    void writeSavedFile(const QUrl& url, bool saveAs, std::function<void(bool)> completion);
    bool fileChangedSinceReadOrWritten(const QString& path) const;
    void askBeforeReplacingChangedFile(const QUrl& url, bool saveAs, std::function<void(bool)> completion);
    void askForFileAndSave(std::function<void(bool)> completion);
    QString fileExtension() const;
    void undoIndexChanged(int index);

    QUrl m_fileURL;
    QString m_fileType;
    int m_changeCount = 0;
    int m_untitledNumber = 0;
    int m_undoIndex = 0;
    bool m_closed = false;
    std::unique_ptr<QUndoStack> m_undoStack;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<DocumentWindow> m_window;
    QPointer<DocumentController> m_controller;
    // The file as this document last read or wrote it, and where: another copy
    // of the program may write it meanwhile, and a save must not wipe that unasked.
    QString m_knownFilePath;
    std::optional<FileIdentity> m_knownFileState;
    // Completions waiting for the answer of the close question that is up.
    std::vector<std::function<void(bool)>> m_closeQuestionWaiters;
};
