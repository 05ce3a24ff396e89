#pragma once

#include "library/filerecord.h"

#include <QCache>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <stop_token>

// The thumbnails of the interface: one shared instance holding at most 400 images in memory,
// keyed by the file's id and modification time (an edited file gets a new key), filled from the
// desktop's shared thumbnail cache or made in the background.
//
// Images are 280 x 220 device-independent pixels times the device pixel ratio, scaled to fit
// with their aspect ratio kept. Besides the count, the images together stay within
// kByteBudget. A file whose thumbnail could not be made is not asked for again until it
// changes (a new key).
//
// Threading: main thread only; generation runs on a bounded pool of worker threads and its
// results come back to the main thread.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        // Device pixels per device-independent pixel; the primary screen's for `shared`.
        double devicePixelRatio = 1.0;
        int threads = 2;
        // Names the folder of recorded failures in the shared cache.
        QString version;
    };

    static constexpr QSize kPointSize {280, 220};
    static constexpr int kCapacity = 400;
    static constexpr qint64 kByteBudget = 150LL * 1024 * 1024;

    static ThumbnailCache &shared();
    // A cache of its own (tests, tools); `shared` is the one the interface uses.
    explicit ThumbnailCache(const Options &options, QObject *parent = nullptr);
    // Withdraws every request and waits for the running ones to stop; `shared` does so when the
    // application is about to quit.
    ~ThumbnailCache() override;

    // The record's id followed by its modification time in seconds since 1970, the shortest
    // decimal text that reads back as the same number.
    static QString key(const FileRecord &file);
    // The desktop's icon for the file's type.
    static QIcon fileIcon(const FileRecord &file);

    // The size, in pixels, thumbnails are made to fit.
    QSize pixelSize() const { return m_pixelSize; }

    // The cached thumbnail of the file, or a null image. Never blocks.
    QImage cached(const FileRecord &file) const;
    // Asks for the file's thumbnail unless it is cached or the file's contents are not on this
    // computer. `thumbnailReady` follows when one was made; the latest requests are served first.
    void request(const FileRecord &file);
    // Withdraws a request that has not started (its tile scrolled away); a running one is told
    // to stop.
    void cancel(const FileRecord &file);
    // Whether a request for the file is waiting or running.
    bool isRequested(const FileRecord &file) const;
    // Whether no thumbnail could be had for the file in its present state (undecodable, or of a
    // type nothing makes thumbnails of); it is not asked for again until the file changes.
    bool hasFailed(const FileRecord &file) const { return m_failed.contains(key(file)); }

Q_SIGNALS:
    void thumbnailReady(const QString &key);

protected:
    ThumbnailCache();

private:
    struct Job
    {
        QString key;
        FileRecord file;
    };
    struct Outcome
    {
        QImage image;
        bool failed = false;
    };

    void startWaiting();
    // Withdraws every request and waits up to `waitMs` (-1: for good) for the running ones.
    void withdrawAll(int waitMs);
    void finish(const QString &key, const Outcome &outcome);

    Options m_options;
    QSize m_pixelSize;
    // Cost = the image's bytes, but never less than a 400th of the budget, so the budget also
    // keeps the count at 400 or fewer.
    mutable QCache<QString, QImage> m_images;
    QSet<QString> m_failed;
    // Newest last; started from the back.
    QList<Job> m_waiting;
    QHash<QString, std::stop_source> m_running;
    // Asked for again after being told to stop: requeued if the stopped run gives nothing.
    QHash<QString, FileRecord> m_askedAgain;
    QThreadPool m_pool;
};
