#include "toolkit/QvBookmark.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <optional>
#include <sys/stat.h>

namespace {

// Layout, integers big-endian:
//   "QVBM" | version u8 | kind u8 | flags u8 | device u64 | inode u64 |
//   path length u32 | path bytes (file-system encoding)
constexpr char kMagic[4] = {'Q', 'V', 'B', 'M'};
constexpr quint8 kVersion = 1;
constexpr int kHeaderSize = 4 + 1 + 1 + 1 + 8 + 8 + 4;
// Far above any real path, low enough that a damaged length cannot make us
// allocate much.
constexpr quint32 kMaxPathBytes = 64 * 1024;

enum Kind : quint8 { Absolute = 0, DocumentRelative = 1 };
enum Flags : quint8 { ReadOnly = 0x01 };

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct Bookmark
{
    Kind kind = Absolute;
    quint8 flags = 0;
    FileIdentity identity;
    QByteArray path; // file-system encoding; relative for DocumentRelative
};

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino)};
}

// The absolute, cleaned path of a local-file URL; empty for anything else.
QString localPath(const QUrl& url)
{
    if (!url.isValid() || !url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    if (!QDir::isAbsolutePath(path))
        return {};
    return QDir::cleanPath(path);
}

QString documentFolder(const QUrl& docUrl)
{
    const QString doc = localPath(docUrl);
    return doc.isEmpty() ? QString() : QFileInfo(doc).absolutePath();
}

template<typename T>
void appendBigEndian(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

QByteArray encode(const Bookmark& b)
{
    QByteArray out;
    out.reserve(kHeaderSize + b.path.size());
    out.append(kMagic, sizeof kMagic);
    out.append(char(kVersion));
    out.append(char(b.kind));
    out.append(char(b.flags));
    appendBigEndian<quint64>(out, b.identity.device);
    appendBigEndian<quint64>(out, b.identity.inode);
    appendBigEndian<quint32>(out, quint32(b.path.size()));
    out.append(b.path);
    return out;
}

std::optional<Bookmark> decode(const QByteArray& data)
{
    if (data.size() < kHeaderSize || !data.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return std::nullopt;
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    if (p[4] != kVersion)
        return std::nullopt;
    Bookmark b;
    if (p[5] != Absolute && p[5] != DocumentRelative)
        return std::nullopt;
    b.kind = Kind(p[5]);
    b.flags = p[6];
    if (b.flags & ~ReadOnly)
        return std::nullopt;
    b.identity.device = qFromBigEndian<quint64>(p + 7);
    b.identity.inode = qFromBigEndian<quint64>(p + 15);
    const quint32 length = qFromBigEndian<quint32>(p + 23);
    if (length == 0 || length > kMaxPathBytes || quint64(data.size()) != kHeaderSize + quint64(length))
        return std::nullopt;
    b.path = data.mid(kHeaderSize);
    if (b.path.contains('\0') || (b.path.front() == '/') != (b.kind == Absolute))
        return std::nullopt;
    return b;
}

QByteArray make(const QUrl& url, quint8 flags, const QUrl* docUrl)
{
    const QString path = localPath(url);
    if (path.isEmpty())
        return {};
    const std::optional<FileIdentity> identity = identityOf(path);
    if (!identity)
        return {};
    Bookmark b;
    b.flags = flags;
    b.identity = *identity;
    if (docUrl) {
        const QString folder = documentFolder(*docUrl);
        if (folder.isEmpty())
            return {};
        b.kind = DocumentRelative;
        b.path = QFile::encodeName(QDir(folder).relativeFilePath(path));
    } else {
        b.path = QFile::encodeName(path);
    }
    if (b.path.isEmpty() || quint32(b.path.size()) > kMaxPathBytes)
        return {};
    return encode(b);
}

QUrl resolve(const QByteArray& data, const QUrl* docUrl, bool* isStale)
{
    if (isStale)
        *isStale = false;
    const std::optional<Bookmark> b = decode(data);
    if (!b)
        return {};
    QString path = QFile::decodeName(b->path);
    if (b->kind == DocumentRelative) {
        const QString folder = docUrl ? documentFolder(*docUrl) : QString();
        if (folder.isEmpty())
            return {};
        path = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    }
    const std::optional<FileIdentity> identity = identityOf(path);
    if (!identity)
        return {};
    if (isStale)
        *isStale = *identity != b->identity;
    return QUrl::fromLocalFile(path);
}

} // namespace

QByteArray QvBookmark::bookmarkForURL_RO(const QUrl& url)
{
    return make(url, ReadOnly, nullptr);
}

QByteArray QvBookmark::bookmarkForURL_RW(const QUrl& url)
{
    return make(url, 0, nullptr);
}

QByteArray QvBookmark::docBookmarkForURL_RO(const QUrl& url, const QUrl& docUrl)
{
    return make(url, ReadOnly, &docUrl);
}

QByteArray QvBookmark::docBookmarkForURL_RW(const QUrl& url, const QUrl& docUrl)
{
    return make(url, 0, &docUrl);
}

QUrl QvBookmark::urlForBookmark(const QByteArray& bookmark, bool* isStale)
{
    return resolve(bookmark, nullptr, isStale);
}

QUrl QvBookmark::urlForDocBookmark(const QByteArray& bookmark, const QUrl& docUrl, bool* isStale)
{
    return resolve(bookmark, &docUrl, isStale);
}
