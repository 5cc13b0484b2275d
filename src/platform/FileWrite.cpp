#include "platform/FileWrite.h"

#include <QSaveFile>

bool FileWrite::writeWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    // Unbuffered: the bytes go to the file straight from the caller's buffer, with no copy
    // of them left in one of the file's own.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
