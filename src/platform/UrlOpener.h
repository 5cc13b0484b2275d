#pragma once
#include "platform/Seam.h"

#include <QList>
#include <QUrl>

// Opens an address in the user's handler for its scheme (the browser, the
// mail program, the file manager).
//
//   -[NSWorkspace openURL:]  ->  UrlOpener::open(url), true when a handler took it
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool openUrl(const QUrl& url) = 0;

    static bool open(const QUrl& url) { return Seam<UrlOpener>::current().openUrl(url); }
    static UrlOpener& production();
};

// For tests: records the addresses instead of opening them.
class RecordingUrlOpener : public UrlOpener {
public:
    RecordingUrlOpener() : m_install(this) {}
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return answer;
    }

    QList<QUrl> opened;
    bool answer = true;

private:
    ScopedSeam<UrlOpener> m_install;
};
