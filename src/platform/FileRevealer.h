#pragma once
#include "platform/Seam.h"

#include <QStringList>

// Shows a file in the user's file manager, selected in its folder.
//
//   -[NSWorkspace selectFile:inFileViewerRootedAtPath:@""]  ->  FileRevealer::reveal(path)
//
// The desktop's file manager is asked over the session bus
// (org.freedesktop.FileManager1.ShowItems); where none answers, the folder
// that holds the file is opened through UrlOpener instead.
class FileRevealer {
public:
    virtual ~FileRevealer() = default;
    virtual void revealPath(const QString& path) = 0;

    static void reveal(const QString& path) { Seam<FileRevealer>::current().revealPath(path); }
    static FileRevealer& production();
};

// For tests: records the paths instead of showing them.
class RecordingFileRevealer : public FileRevealer {
public:
    RecordingFileRevealer() : m_install(this) {}
    void revealPath(const QString& path) override { revealed.append(path); }

    QStringList revealed;

private:
    ScopedSeam<FileRevealer> m_install;
};
