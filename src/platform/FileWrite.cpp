#include "platform/FileWrite.h"

#include <QSaveFile>

bool FileWrite::writeWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    return writeWholeFile(path, QByteArrayList{bytes}, error);
}

bool FileWrite::writeWholeFile(const QString& path, const QByteArrayList& pieces, QString* error)
{
    // Unbuffered: the bytes go to the file straight from the caller's buffers, with no copy
    // of them left in one of the file's own.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qsizetype i = 0; written && i < pieces.size(); ++i)
        written = file.write(pieces[i]) == pieces[i].size();
    if (!written || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
