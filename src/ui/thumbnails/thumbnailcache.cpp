#include "ui/thumbnails/thumbnailcache.h"

#include <QLocale>
#include <QMimeDatabase>

ThumbnailCache &ThumbnailCache::shared()
{
    static ThumbnailCache *instance = new ThumbnailCache;
    return *instance;
}

QString ThumbnailCache::key(const FileRecord &file)
{
    const double seconds = double(file.modified.unixSeconds()) + double(file.modified.nanoseconds()) / 1e9;
    return QString::fromUtf8(file.id()) + QString::number(seconds, 'g', QLocale::FloatingPointShortest);
}

QIcon ThumbnailCache::fileIcon(const FileRecord &file)
{
    static QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(file.displayPath(), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    return icon;
}

QImage ThumbnailCache::cached(const FileRecord &) const
{
    return {};
}

void ThumbnailCache::request(const FileRecord &) { }

void ThumbnailCache::cancel(const FileRecord &) { }
