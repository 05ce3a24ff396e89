// Thumbnails already in the desktop's shared thumbnail cache, to images ready for painting, the
// way the window's grid asks for them: the shared ThumbnailCache, every picture of a folder
// requested at once for a tile of the default size, timed until the last has arrived.
//
// Usage: tessary-tiles-bench --fill SIZES FOLDER   fills $XDG_CACHE_HOME/thumbnails with a
//                                                  thumbnail of each picture at SIZES (a comma-
//                                                  separated list of normal, large, x-large)
//        tessary-tiles-bench FOLDER                times reading them back
//
// Both need XDG_CACHE_HOME set, so that the user's own cache is left alone.

#include "platform/thumbnails/thumbnailstore.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImageReader>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// The window's default tile is 170 points wide; its thumbnail is painted into a box 4 points
// inside each side.
constexpr QSize kTileBox {162, 162};

qint64 processorMilliseconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return qint64(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

QList<FileRecord> picturesOf(const QString &folder)
{
    QList<FileRecord> files;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        FileRecord file;
        file.path = QFile::encodeName(dir.absoluteFilePath(name));
        struct stat status {};
        if (::stat(file.path.constData(), &status) != 0)
            continue;
        file.modified = Timestamp::fromTimespec(status.st_mtim);
        file.size = status.st_size;
        file.kind = FileKind::images;
        files.append(file);
    }
    return files;
}

int fill(const QString &sizes, const QString &folder)
{
    QList<ThumbnailStore::Size> wanted;
    for (const QString &name : sizes.split(u',')) {
        if (name == QLatin1String("normal"))
            wanted.append(ThumbnailStore::Size::normal);
        else if (name == QLatin1String("large"))
            wanted.append(ThumbnailStore::Size::large);
        else if (name == QLatin1String("x-large"))
            wanted.append(ThumbnailStore::Size::xLarge);
    }
    std::atomic<int> failed = 0;
    const QList<FileRecord> files = picturesOf(folder);
    QtConcurrent::blockingMap(files, [&](const FileRecord &file) {
        QImageReader reader(QFile::decodeName(file.path));
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(512, 512, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        for (const ThumbnailStore::Size edge : wanted) {
            if (image.isNull() || !ThumbnailStore::write(file.path, file.modified, image, edge))
                ++failed;
        }
    });
    std::printf("%lld pictures, thumbnails at %s, %d failed\n", static_cast<long long>(files.size()), qPrintable(sizes),
        int(failed));
    return failed == 0 ? 0 : 1;
}

// The window asks for the box of its tiles where the cache takes one.
template <typename Cache> void request(Cache &cache, const FileRecord &file)
{
    if constexpr (requires { cache.request(file, kTileBox); })
        cache.request(file, kTileBox);
    else
        cache.request(file);
}

int time(const QString &folder)
{
    const QList<FileRecord> files = picturesOf(folder);
    ThumbnailCache &cache = ThumbnailCache::shared();
    int arrived = 0;
    QEventLoop loop;
    QObject::connect(&cache, &ThumbnailCache::thumbnailReady, &loop, [&] {
        if (++arrived == files.size())
            loop.quit();
    });
    // Failures send nothing: counted now and then, so the run ends even then.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const auto failed = std::count_if(files.cbegin(), files.cend(), [&](const FileRecord &f) { return cache.hasFailed(f); });
        if (arrived + failed >= files.size())
            loop.quit();
    });
    poll.start(50);

    QElapsedTimer timer;
    timer.start();
    const qint64 processorStart = processorMilliseconds();
    for (const FileRecord &file : files)
        request(cache, file);
    if (arrived < files.size())
        loop.exec();
    const qint64 wall = timer.elapsed();
    const qint64 processor = processorMilliseconds() - processorStart;
    std::printf("%d of %lld thumbnails ready for the window's tiles: %lld ms wall, %lld ms processor\n", arrived,
        static_cast<long long>(files.size()), static_cast<long long>(wall), static_cast<long long>(processor));
    return arrived == files.size() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (qEnvironmentVariableIsEmpty("XDG_CACHE_HOME")) {
        std::fprintf(stderr, "tessary-tiles-bench: set XDG_CACHE_HOME to a folder of its own\n");
        return 2;
    }
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--fill"))
        return fill(arguments[2], arguments[3]);
    if (arguments.size() == 2)
        return time(arguments[1]);
    std::fprintf(stderr, "usage: tessary-tiles-bench [--fill SIZES] FOLDER\n");
    return 2;
}
