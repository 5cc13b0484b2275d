#pragma once
#include "platform/Seam.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>

// What a file chooser shows and allows.
struct FileChooserOptions {
    QString title;
    QString prompt;                 // the accept button's label; empty for the usual one
    QString typeDescription;        // names the allowed files in the filter, e.g. "Calvorin Document"
    QStringList allowedExtensions;  // without the dot; empty allows every file
    QString directory;              // where it starts; empty for the usual place
    QString suggestedName;          // save: the proposed file name
    bool allowsMultipleSelection = false;
    // Extra controls shown in the chooser while it is up; the caller keeps owning them.
    QPointer<QWidget> accessory;
};

// The open and save choosers (panels). With a window they are sheets on it,
// without one application-modal dialogs; either way the call returns at once
// and the completion gets the choice, or nothing when the user cancelled.
//
//   [NSOpenPanel openPanel] ... beginSheetModalForWindow:completionHandler:
//                            ->  FileChooser::chooseToOpen(window, options, completion)
//   [NSSavePanel savePanel] ...
//                            ->  FileChooser::chooseToSave(window, options, completion)
//   allowedFileTypes / prompt / nameFieldStringValue / directoryURL / accessoryView
//                            ->  the fields of FileChooserOptions
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
    };

    ScriptedFileChooser() : m_install(this) {}

    ScriptedFileChooser& answerWith(const QStringList& paths);
    ScriptedFileChooser& answerWith(const QString& path) { return answerWith(QStringList{path}); }
    ScriptedFileChooser& cancelNext() { return answerWith(QStringList{}); }

    void chooseFilesToOpen(QWidget* window, const FileChooserOptions& options, OpenCompletion completion) override;
    void chooseFileToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion) override;

    QList<Request> requests;

private:
    QStringList nextAnswer();

    std::deque<QStringList> m_script;
    ScopedSeam<FileChooser> m_install;
};
