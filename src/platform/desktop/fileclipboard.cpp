#include "platform/desktop/fileclipboard.h"

#include "platform/fileurl.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace FileClipboard {

QMimeData *filesMimeData(const QByteArrayList &paths)
{
    QByteArray uriList;
    QByteArray copiedFiles = "copy";
    for (const QByteArray &path : paths) {
        const QByteArray uri = FileUrl::encoded(path);
        uriList += uri + "\r\n";
        copiedFiles += '\n' + uri;
    }

    // setData, not setUrls: QUrl would re-encode the URIs and could change their bytes.
    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), uriList);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copiedFiles);
    data->setData(QStringLiteral("x-special/mate-copied-files"), copiedFiles);
    data->setData(QStringLiteral("text/plain"), paths.join('\n'));
    return data;
}

void copyFiles(const QByteArrayList &paths)
{
    QGuiApplication::clipboard()->setMimeData(filesMimeData(paths));
}

void copyText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace FileClipboard
