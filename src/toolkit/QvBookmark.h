#pragma once
#include <QByteArray>
#include <QUrl>

// Remembers a local file across runs as bookmark data: the file's path and its
// identity (device and inode) in a small versioned format of our own. The data
// ends up in the settings file, so resolving treats it as untrusted.
//
// Resolving answers the file's URL when something exists at the path; the
// stale flag is set when that is no longer the file the bookmark was made of
// (it was replaced or re-created), so the caller should make a new bookmark.
// Nothing at the path, or data that is not a bookmark, answers an empty URL.
//
// The document form stores the path relative to the document's folder, so a
// folder holding both can move. The access mode (read-only or read-write) is
// recorded; there is no sandbox scope to open on this platform.
//
// Absent results: an empty QByteArray / an empty QUrl. isStale may be null.
class QvBookmark
{
public:
    static QByteArray bookmarkForURL_RO(const QUrl& url);
    static QByteArray bookmarkForURL_RW(const QUrl& url);
    static QByteArray docBookmarkForURL_RO(const QUrl& url, const QUrl& docUrl);
    static QByteArray docBookmarkForURL_RW(const QUrl& url, const QUrl& docUrl);

    static QUrl urlForBookmark(const QByteArray& bookmark, bool* isStale);
    static QUrl urlForDocBookmark(const QByteArray& bookmark, const QUrl& docUrl, bool* isStale);
};
