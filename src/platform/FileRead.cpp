#include "platform/FileRead.h"

#include "platform/Plaintext.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FileRead", text);
}

FileRead::Status fail(FileRead::Status status, QString* error, const QString& why)
{
    if (error)
        *error = why;
    return status;
}

// The kind of a file as stat() tells it; Read for a regular file.
FileRead::Status kindOf(const struct stat& info, QString* error)
{
    if (S_ISREG(info.st_mode))
        return FileRead::Status::Read;
    if (S_ISDIR(info.st_mode))
        return fail(FileRead::Status::Folder, error, tr("It is a folder, not a file."));
    return fail(FileRead::Status::NotRegular, error, tr("It is a device, pipe or socket, not a file."));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

FileRead::Status FileRead::readRegularFile(const QString& path, qint64 limit, QByteArray& out, QString* error)
{
    out.clear();
    const QByteArray name = QFile::encodeName(path);
    // The kind is checked before the open: opening a pipe waits for a writer,
    // and opening a device may do something.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return fail(Status::Failed, error, qt_error_string(errno));
    if (const Status kind = kindOf(info, error); kind != Status::Read)
        return kind;
    if (info.st_size > limit)
        return fail(Status::TooLarge, error, tr("The file is too large."));

    // Not blocking, and checked again on what was opened, in case the name
    // was pointed elsewhere in between.
    Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return fail(Status::Failed, error, qt_error_string(errno));
    if (::fstat(file.fd(), &info) != 0)
        return fail(Status::Failed, error, qt_error_string(errno));
    if (const Status kind = kindOf(info, error); kind != Status::Read)
        return kind;

    // The size told is only a hint for the first buffer; the read itself stops
    // one byte past the limit, as some files report 0 or less than they hold.
    QByteArray bytes(std::clamp<qint64>(info.st_size, 0, limit) + 1, Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit) {
                Plaintext::wipe(bytes);
                return fail(Status::TooLarge, error, tr("The file is too large."));
            }
            // Grown by hand so that the old buffer is wiped, not left behind by a realloc.
            QByteArray larger(std::min<qint64>(limit + 1, std::max<qint64>(filled * 2, 64 * 1024)), Qt::Uninitialized);
            std::copy(bytes.constData(), bytes.constData() + filled, larger.data());
            Plaintext::wipe(bytes);
            bytes = std::move(larger);
        }
        const ssize_t got = ::read(file.fd(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const QString why = qt_error_string(errno);
            Plaintext::wipe(bytes);
            return fail(Status::Failed, error, why);
        }
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > limit) {
        Plaintext::wipe(bytes);
        return fail(Status::TooLarge, error, tr("The file is too large."));
    }
    bytes.truncate(filled);
    out = std::move(bytes);
    return Status::Read;
}
