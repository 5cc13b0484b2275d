#pragma once
// Reading a whole file whose name comes from outside: only a regular file (links
// followed) is opened, never a folder, device, pipe or socket, so no open or
// read can block or run on for ever, and no more than `limit` bytes are taken
// whatever size the file reports.

#include <QByteArray>
#include <QString>

namespace FileRead {

enum class Status {
    Read,
    Failed,     // the system refused (missing, no permission, read error)
    Folder,
    NotRegular, // a device, named pipe or socket
    TooLarge,
};

// The file's bytes in `out` on Read; `out` is empty otherwise and what was read
// of it is wiped first. `error` gets a short reason for any other status.
Status readRegularFile(const QString& path, qint64 limit, QByteArray& out, QString* error = nullptr);

} // namespace FileRead
