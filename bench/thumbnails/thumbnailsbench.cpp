// Makes thumbnails of every photograph in a folder twice, the way the interface does (shared
// cache first, else generated and written back), on one worker thread per core: first against
// an empty thumbnail cache (cold), then against the cache the first pass filled (warm). Prints
// the wall time of each pass.
//
// Usage: tessary-thumbnails-bench FOLDER [EDGE]   (EDGE: longest side in pixels, default 560)

#include "analysis/thumbnails/thumbnailprovider.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <atomic>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// Processor time of the whole process so far, all threads, in milliseconds. On a busy machine
// it compares better than wall time.
qint64 processorMilliseconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return qint64(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Pass
{
    qint64 milliseconds = 0;
    qint64 processor = 0;
    int made = 0;
    int fromCache = 0;
    int failed = 0;
};

Pass run(const QList<ThumbnailProvider::Request> &requests)
{
    std::atomic<int> made = 0, fromCache = 0, failed = 0;
    QElapsedTimer timer;
    timer.start();
    const qint64 processorStart = processorMilliseconds();
    QtConcurrent::blockingMap(requests, [&](const ThumbnailProvider::Request &request) {
        const auto result = ThumbnailProvider::provide(request);
        if (result.source == ThumbnailProvider::Source::generated)
            ++made;
        else if (result.source == ThumbnailProvider::Source::sharedCache)
            ++fromCache;
        else
            ++failed;
    });
    return {timer.elapsed(), processorMilliseconds() - processorStart, made, fromCache, failed};
}

void print(const char *name, const Pass &pass)
{
    std::printf("%s: %lld ms wall, %lld ms processor (%d made, %d from the shared cache, %d without a thumbnail)\n",
        name, static_cast<long long>(pass.milliseconds), static_cast<long long>(pass.processor), pass.made,
        pass.fromCache, pass.failed);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: tessary-thumbnails-bench FOLDER [EDGE]\n");
        return 2;
    }
    const int edge = arguments.size() > 2 ? arguments[2].toInt() : 560;

    // A cache of its own, so the first pass is cold and the user's cache is left alone.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));

    QList<ThumbnailProvider::Request> requests;
    const QDir folder(arguments[1]);
    const QStringList names = folder.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
        QStringLiteral("*.JPG"), QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        ThumbnailProvider::Request request;
        request.path = QFile::encodeName(folder.absoluteFilePath(name));
        struct stat status {};
        if (::stat(request.path.constData(), &status) != 0)
            continue;
        request.modified = Timestamp::fromTimespec(status.st_mtim);
        request.kind = FileKind::images;
        request.edge = edge;
        request.version = QStringLiteral("bench");
        requests.append(request);
    }
    std::printf("%lld photographs, %d threads, %d-pixel thumbnails\n", static_cast<long long>(requests.size()),
        QThreadPool::globalInstance()->maxThreadCount(), edge);
    print("cold", run(requests));
    print("warm", run(requests));
    return 0;
}
