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
// Each request names the box its view paints into, in device-independent pixels (280 x 220 by
// default); the image is read from the smallest cached size that covers the box times the device
// pixel ratio and scaled to fit it once, with its aspect ratio kept, so painting it needs no
// further scaling. One image is held per file, made for the largest box asked for. Besides the
// count, the images together stay within kByteBudget. A file whose thumbnail could not be made
// is not asked for again until it changes (a new key). A request for a file in a newer state
// withdraws those for its earlier states: their results are dropped.
//
// Threading: main thread only; reading and generation run on a pool of worker threads (one per
// core for the shared instance) and their results come back to the main thread.
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

    // The size, in pixels, thumbnails for the default box are made to fit.
    QSize pixelSize() const { return pixelBox(kPointSize); }
    // `pointBox` in pixels of this cache's device pixel ratio.
    QSize pixelBox(QSize pointBox) const;

    // The cached thumbnail of the file, or a null image. Never blocks.
    QImage cached(const FileRecord &file) const;
    // The same, and in `madeForBox` whether it was made for a box at least as large as
    // `pointBox` (it may be smaller than the box when the picture is).
    QImage cached(const FileRecord &file, QSize pointBox, bool *madeForBox) const;
    // Asks for the file's thumbnail fitting `pointBox` unless one made for such a box is cached
    // or the file's contents are not on this computer. `thumbnailReady` follows when one was
    // made; the latest requests are served first.
    void request(const FileRecord &file, QSize pointBox = kPointSize);
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
        QSize box; // pixels
    };
    struct Entry
    {
        QImage image;
        QSize box; // the pixel box it was made for
    };
    struct Running
    {
        std::stop_source stop;
        FileRecord file;
        QSize box;
        // Withdrawn because the file was asked for in a newer state: its result is dropped.
        bool superseded = false;
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
    // Withdraws the running and asked-again requests for earlier states of `file`.
    void supersede(const FileRecord &file);
    bool heldCovers(const QString &key, QSize box) const;

    Options m_options;
    // Cost = the image's bytes, but never less than a 400th of the budget, so the budget also
    // keeps the count at 400 or fewer.
    mutable QCache<QString, Entry> m_images;
    QSet<QString> m_failed;
    // Newest last; started from the back.
    QList<Job> m_waiting;
    QHash<QString, Running> m_running;
    // Asked for while running (told to stop, or for a larger box): queued again when the run
    // gives no thumbnail for that box.
    QHash<QString, Job> m_askedAgain;
    QThreadPool m_pool;
};
