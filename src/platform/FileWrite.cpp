#include "platform/FileWrite.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The system's own reason for errno `code`, as the user's alert shows it.
QString reasonFor(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Every byte of `bytes` to `fd`. A short write says nothing of why the disk stopped taking
// bytes, so the loop goes on until the system refuses with a reason (a full disk, a quota,
// the largest file allowed) and keeps that reason in `code`.
bool writeAll(int fd, const QByteArray& bytes, int* code)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            *code = errno;
            return false;
        }
        if (written == 0) {
            *code = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

bool FileWrite::writeWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    return writeWholeFile(path, QByteArrayList{bytes}, error);
}

bool FileWrite::writeWholeFile(const QString& path, const QByteArrayList& pieces, QString* error)
{
    // The bytes go to the file straight from the caller's buffers, with no copy of them left
    // in one of the file's own.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    int code = 0;
    bool written = true;
    for (qsizetype i = 0; written && i < pieces.size(); ++i)
        written = writeAll(file.handle(), pieces[i], &code);
    // Some file systems report a full disk or quota only when the bytes are flushed.
    if (written && ::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        code = errno;
        written = false;
    }
    if (!written) {
        file.cancelWriting();
        if (error)
            *error = reasonFor(code);
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
