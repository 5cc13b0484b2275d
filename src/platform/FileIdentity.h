#pragma once
// What tells one state of a file on disk from another without reading it:
// which file it is (device and inode; a write that replaces the file, as every
// save does, makes a new one), its size and its last modification to the
// nanosecond. Two states that agree in all of them are taken for the same.

#include <QString>
#include <QtGlobal>
#include <optional>

struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;

    // The file at path now, links followed; nullopt when there is none there
    // or it cannot be looked at.
    static std::optional<FileIdentity> ofFile(const QString& path);
};
