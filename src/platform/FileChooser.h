#pragma once
#include "platform/Seam.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>

// The allowed type of a save chooser while it is up, for callers that change
// it then (a format picked in the accessory). The caller makes and keeps it
// and hands it in FileChooserOptions::saveType; a change reaches the chooser
// only while that chooser runs.
class SaveChooserType : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QStringList allowedExtensions() const { return m_extensions; }
    QString typeDescription() const { return m_description; }
    // Becomes the chooser's file-type filter and the suffix a bare name gets.
    void setAllowedType(const QStringList& extensions, const QString& description = QString());

signals:
    void allowedTypeChanged();

private:
    QStringList m_extensions;
    QString m_description;
};

// What a file chooser shows and allows.
struct FileChooserOptions {
    QString title;
    QString prompt;                 // the accept button's label; empty for the usual one
    QString typeDescription;        // names the allowed files in the filter, e.g. "Calvorin Document"
    QStringList allowedExtensions;  // without the dot; empty allows every file
    QString directory;              // where it starts; empty for the usual place
    QString suggestedName;          // save: the proposed file name
    bool allowsMultipleSelection = false;
    // Adds an "All Files (*)" filter, so that a name of another type may be chosen.
    bool allowsOtherFileTypes = false;
    // Extra controls shown in the chooser while it is up; the caller keeps owning them.
    QPointer<QWidget> accessory;
    // Save: lets the caller change the allowed type while the chooser is up.
    QPointer<SaveChooserType> saveType;
};

// The open and save choosers (panels). With a window they are sheets on it,
// without one application-modal dialogs; either way the call returns at once
// and the completion gets the choice, or nothing when the user cancelled.
//
//   [NSOpenPanel openPanel] ... beginSheetModalForWindow:completionHandler:
//                            ->  FileChooser::chooseToOpen(window, options, completion)
//   [NSSavePanel savePanel] ...
//                            ->  FileChooser::chooseToSave(window, options, completion)
//   allowedFileTypes / prompt / nameFieldStringValue / directoryURL / accessoryView /
//   allowsOtherFileTypes     ->  the fields of FileChooserOptions
//   setAllowedFileTypes: on a running save panel
//                            ->  SaveChooserType::setAllowedType on options.saveType
class FileChooser {
public:
    using OpenCompletion = std::function<void(const QStringList& paths)>;
    using SaveCompletion = std::function<void(const QString& path)>;

    virtual ~FileChooser() = default;
    virtual void chooseFilesToOpen(QWidget* window, const FileChooserOptions& options, OpenCompletion completion) = 0;
    virtual void chooseFileToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion) = 0;

    static void chooseToOpen(QWidget* window, const FileChooserOptions& options, OpenCompletion completion)
    {
        Seam<FileChooser>::current().chooseFilesToOpen(window, options, std::move(completion));
    }
    static void chooseToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion)
    {
        Seam<FileChooser>::current().chooseFileToSave(window, options, std::move(completion));
    }
    static FileChooser& production();
};

// For tests: answers from a script, in order, through the main queue (as a
// user would, after the caller has returned), and records every request.
// Requests beyond the script are cancelled.
class ScriptedFileChooser : public FileChooser {
public:
    struct Request {
        bool save = false;
        QPointer<QWidget> window;
        FileChooserOptions options;
        // Save: each allowed type set through options.saveType while the request was open.
        QList<QStringList> allowedTypeChanges;
    };

    ScriptedFileChooser() : m_listeners(std::make_unique<QObject>()), m_install(this) {}

    ScriptedFileChooser& answerWith(const QStringList& paths);
    ScriptedFileChooser& answerWith(const QString& path) { return answerWith(QStringList{path}); }
    ScriptedFileChooser& cancelNext() { return answerWith(QStringList{}); }

    void chooseFilesToOpen(QWidget* window, const FileChooserOptions& options, OpenCompletion completion) override;
    void chooseFileToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion) override;

    QList<Request> requests;

private:
    QStringList nextAnswer();

    std::deque<QStringList> m_script;
    // Parent of what records the type changes of open requests.
    std::unique_ptr<QObject> m_listeners;
    ScopedSeam<FileChooser> m_install;
};
