#include "platform/desktop/filemanagerreveal.h"

#include "platform/fileurl.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kObjectPath = QStringLiteral("/org/freedesktop/FileManager1");

// The folder holding `path`: "/a/b/c" and "/a/b/c/" give "/a/b", "/a" gives "/".
QByteArray containingFolder(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

void openContainingFolder(const QByteArray &path)
{
    QDesktopServices::openUrl(FileUrl::fromPath(containingFolder(path)));
}

// The token that lets the file manager's window take the focus, when the launcher gave one.
QString startupId()
{
    for (const char *variable : { "XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID" }) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

} // namespace

namespace FileManagerReveal {

void reveal(const QByteArray &path)
{
    reveal(path, QDBusConnection::sessionBus());
}

void reveal(const QByteArray &path, const QDBusConnection &bus)
{
    if (!bus.isConnected()) {
        openContainingFolder(path);
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kObjectPath, kService, QStringLiteral("ShowItems"));
    message << QStringList { QString::fromLatin1(FileUrl::encoded(path)) } << startupId();

    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [path](QDBusPendingCallWatcher *call) {
        if (call->isError())
            openContainingFolder(path);
        call->deleteLater();
    });
}

void open(const QByteArray &path)
{
    QDesktopServices::openUrl(FileUrl::fromPath(path));
}

} // namespace FileManagerReveal
