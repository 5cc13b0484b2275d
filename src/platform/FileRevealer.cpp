#include "platform/FileRevealer.h"

#include "platform/UrlOpener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

namespace {
void openFolderOf(const QString& path)
{
    UrlOpener::open(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

class DesktopFileRevealer : public FileRevealer {
public:
    void revealPath(const QString& path) override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            openFolderOf(path);
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
        // Asked without waiting: a file manager that has to start first must not freeze the window.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [path](QDBusPendingCallWatcher* w) {
            if (w->isError())
                openFolderOf(path);
            w->deleteLater();
        });
    }
};
} // namespace

FileRevealer& FileRevealer::production()
{
    static DesktopFileRevealer revealer;
    return revealer;
}
