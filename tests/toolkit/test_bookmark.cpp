#include "toolkit/QvBookmark.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

class BookmarkTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    QUrl makeFile(const QString& name, const QByteArray& content = "content")
    {
        const QString p = path(name);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return QUrl::fromLocalFile(p);
    }

    // Puts a new file (a new inode) at name while the old one still exists,
    // as a save through a temporary file does.
    void replaceFile(const QString& name)
    {
        makeFile(name + QStringLiteral(".new"), "replacement");
        ASSERT_EQ(::rename(QFile::encodeName(path(name + QStringLiteral(".new"))).constData(),
                           QFile::encodeName(path(name)).constData()),
                  0);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(BookmarkTest, RoundTripBothAccessModes)
{
    const QUrl url = makeFile(QStringLiteral("Contacts.calvorin"));
    for (const QByteArray& data : {QvBookmark::bookmarkForURL_RW(url), QvBookmark::bookmarkForURL_RO(url)}) {
        ASSERT_FALSE(data.isEmpty());
        bool stale = true;
        EXPECT_EQ(QvBookmark::urlForBookmark(data, &stale), url);
        EXPECT_FALSE(stale);
    }
    EXPECT_NE(QvBookmark::bookmarkForURL_RW(url), QvBookmark::bookmarkForURL_RO(url));
    // A folder is remembered too; the stale flag may be left out.
    const QUrl folder = QUrl::fromLocalFile(dir.path());
    EXPECT_EQ(QvBookmark::urlForBookmark(QvBookmark::bookmarkForURL_RW(folder), nullptr), folder);
}

TEST_F(BookmarkTest, NothingToBookmark)
{
    EXPECT_TRUE(QvBookmark::bookmarkForURL_RW(QUrl::fromLocalFile(path(QStringLiteral("missing")))).isEmpty());
    EXPECT_TRUE(QvBookmark::bookmarkForURL_RO(QUrl(QStringLiteral("https://example.com/a"))).isEmpty());
    EXPECT_TRUE(QvBookmark::bookmarkForURL_RW(QUrl()).isEmpty());
    EXPECT_TRUE(QvBookmark::bookmarkForURL_RW(QUrl::fromLocalFile(QStringLiteral("relative/file"))).isEmpty());
}

TEST_F(BookmarkTest, MissingFileDoesNotResolve)
{
    const QUrl url = makeFile(QStringLiteral("gone.calvorin"));
    const QByteArray data = QvBookmark::bookmarkForURL_RW(url);
    ASSERT_TRUE(QFile::remove(url.toLocalFile()));
    bool stale = true;
    EXPECT_TRUE(QvBookmark::urlForBookmark(data, &stale).isEmpty());
    EXPECT_FALSE(stale);
}

TEST_F(BookmarkTest, ReplacedFileResolvesStale)
{
    const QUrl url = makeFile(QStringLiteral("doc.calvorin"));
    const QByteArray data = QvBookmark::bookmarkForURL_RW(url);
    replaceFile(QStringLiteral("doc.calvorin"));
    bool stale = false;
    EXPECT_EQ(QvBookmark::urlForBookmark(data, &stale), url);
    EXPECT_TRUE(stale);
    // A fresh bookmark of the same path is current again.
    EXPECT_EQ(QvBookmark::urlForBookmark(QvBookmark::bookmarkForURL_RW(url), &stale), url);
    EXPECT_FALSE(stale);
}

TEST_F(BookmarkTest, DocumentFormFollowsAMovedFolder)
{
    const QUrl doc = makeFile(QStringLiteral("a/docs/book.calvorin"));
    const QUrl target = makeFile(QStringLiteral("a/data/list.txt"));
    const QByteArray data = QvBookmark::docBookmarkForURL_RW(target, doc);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_FALSE(data.contains("/a/data")); // kept relative to the document
    bool stale = true;
    EXPECT_EQ(QvBookmark::urlForDocBookmark(data, doc, &stale), target);
    EXPECT_FALSE(stale);

    ASSERT_TRUE(QDir(dir.path()).rename(QStringLiteral("a"), QStringLiteral("b")));
    const QUrl movedDoc = QUrl::fromLocalFile(path(QStringLiteral("b/docs/book.calvorin")));
    EXPECT_EQ(QvBookmark::urlForDocBookmark(data, movedDoc, &stale),
              QUrl::fromLocalFile(path(QStringLiteral("b/data/list.txt"))));
    EXPECT_FALSE(stale);
    // Without the document it cannot be placed; the old place is empty.
    EXPECT_TRUE(QvBookmark::urlForBookmark(data, &stale).isEmpty());
    EXPECT_TRUE(QvBookmark::urlForDocBookmark(data, doc, &stale).isEmpty());
    // The absolute form is unaffected by the document given.
    const QUrl moved = QUrl::fromLocalFile(path(QStringLiteral("b/data/list.txt")));
    EXPECT_EQ(QvBookmark::urlForDocBookmark(QvBookmark::bookmarkForURL_RO(moved), doc, &stale), moved);
    EXPECT_TRUE(QvBookmark::docBookmarkForURL_RO(moved, QUrl()).isEmpty());
}

TEST_F(BookmarkTest, MalformedDataIsRejected)
{
    const QUrl url = makeFile(QStringLiteral("x.calvorin"));
    const QByteArray good = QvBookmark::bookmarkForURL_RW(url);
    ASSERT_GT(good.size(), 27);
    const auto patched = [&](int offset, QByteArray bytes) {
        QByteArray b = good;
        b.replace(offset, bytes.size(), bytes);
        return b;
    };
    const auto withLength = [&](quint32 length) {
        char be[4];
        qToBigEndian(length, be);
        return patched(23, QByteArray(be, 4));
    };
    const QByteArray malformed[] = {
        QByteArray(),
        QByteArray("QVBM"),
        QByteArray("garbage that is long enough to pass the header size"),
        good.left(good.size() - 1),
        good + "x",
        patched(0, "XVBM"),
        patched(4, QByteArray(1, 2)),    // unknown version
        patched(5, QByteArray(1, 7)),    // unknown kind
        patched(5, QByteArray(1, 1)),    // relative kind with an absolute path
        patched(6, QByteArray(1, 0x40)), // unknown flag
        withLength(0),
        withLength(0xFFFFFFFF),
        withLength(quint32(good.size() - 27 + 1)),
        patched(28, QByteArray(1, '\0')),
    };
    for (const QByteArray& data : malformed) {
        bool stale = true;
        EXPECT_TRUE(QvBookmark::urlForBookmark(data, &stale).isEmpty()) << data.toHex().toStdString();
        EXPECT_FALSE(stale);
        EXPECT_TRUE(QvBookmark::urlForDocBookmark(data, url, &stale).isEmpty());
    }
    // Random bytes and random damage to a good bookmark never crash.
    QRandomGenerator random(7);
    for (int i = 0; i < 3000; ++i) {
        QByteArray data = i % 2 ? good : QByteArray(int(random.bounded(64)), '\0');
        for (int k = 0, n = int(random.bounded(1, 4)); k < n && !data.isEmpty(); ++k)
            data[int(random.bounded(data.size()))] = char(random.bounded(256));
        bool stale = false;
        const QUrl resolved = QvBookmark::urlForBookmark(data, &stale);
        EXPECT_TRUE(resolved.isEmpty() || resolved.isLocalFile());
    }
}
