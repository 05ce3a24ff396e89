#pragma once

#include "library/filerecord.h"

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>

// The thumbnails of the interface: one shared instance holding at most 400 images in memory,
// keyed by the file's id and modification time (an edited file gets a new key), filled from the
// desktop's shared thumbnail cache or made in the background.
//
// Threading: main thread only; generation runs on a bounded pool of worker threads and its
// results come back to the main thread.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    static ThumbnailCache &shared();

    // The record's id followed by its modification time in seconds since 1970, the shortest
    // decimal text that reads back as the same number.
    static QString key(const FileRecord &file);
    // The desktop's icon for the file's type.
    static QIcon fileIcon(const FileRecord &file);

    // The cached thumbnail of the file, or a null image. Never blocks.
    QImage cached(const FileRecord &file) const;
    // Asks for the file's thumbnail unless it is cached or the file's contents are not on this
    // computer. `thumbnailReady` follows when one was made; the latest requests are served first.
    void request(const FileRecord &file);
    // Withdraws a request that has not started (its tile scrolled away).
    void cancel(const FileRecord &file);

Q_SIGNALS:
    void thumbnailReady(const QString &key);

protected:
    ThumbnailCache() = default;
};
