#pragma once
// Writing a whole file so that it is replaced only once every byte is on disk:
// the bytes go to a temporary file beside it first, and a failed write leaves
// the old file as it was.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace FileWrite {

// False, with the system's reason in `error`, when the file could not be written.
bool writeWholeFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// The file made of `pieces`, one after the other.
bool writeWholeFile(const QString& path, const QByteArrayList& pieces, QString* error = nullptr);

} // namespace FileWrite
