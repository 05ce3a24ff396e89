#include "ui/thumbnails/thumbnailcache.h"

#include "analysis/thumbnails/thumbnailprovider.h"
#include "platform/thumbnails/imagehalving.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QScreen>
#include <QThread>

#include <cmath>
#include <optional>

namespace {

constexpr qint64 kMinimumCost = ThumbnailCache::kByteBudget / ThumbnailCache::kCapacity;
// A stopped request ends at its next check; a reader helper gives up its file within seconds.
constexpr int kQuitGraceMs = 5000;

ThumbnailCache::Options sharedOptions()
{
    ThumbnailCache::Options options;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        options.devicePixelRatio = screen->devicePixelRatio();
    // Reading a cached thumbnail is processor work in this process: one reader per core. Made
    // thumbnails wait on the reader helpers instead, which bound themselves.
    options.threads = std::max(2, QThread::idealThreadCount());
    options.version = QStringLiteral(TESSARY_VERSION);
    return options;
}

// The image fitted into `box` in a format that paints without conversion.
QImage fitted(QImage image, QSize box)
{
    if (image.width() > box.width() || image.height() > box.height()) {
        const QSize size = image.size().scaled(box, Qt::KeepAspectRatio);
        image = ImageHalving::halvedWhileCovering(std::move(image), size);
        if (image.size() != size)
            image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

bool covers(QSize box, QSize needed)
{
    return box.width() >= needed.width() && box.height() >= needed.height();
}

} // namespace

ThumbnailCache &ThumbnailCache::shared()
{
    // Never destroyed: tiles may ask for thumbnails until the very end of the process.
    static ThumbnailCache *instance = new ThumbnailCache;
    return *instance;
}

ThumbnailCache::ThumbnailCache() : ThumbnailCache(sharedOptions())
{
    // The shared cache outlives the application; a request still running while the process
    // exits would use what exit has already destroyed.
    if (QCoreApplication::instance() != nullptr)
        connect(
            QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { withdrawAll(kQuitGraceMs); });
}

ThumbnailCache::ThumbnailCache(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_images(kByteBudget)
{
    m_pool.setMaxThreadCount(std::max(1, options.threads));
}

ThumbnailCache::~ThumbnailCache()
{
    withdrawAll(-1);
}

void ThumbnailCache::withdrawAll(int waitMs)
{
    m_waiting.clear();
    m_askedAgain.clear();
    for (Running &running : m_running)
        running.stop.request_stop();
    m_pool.waitForDone(waitMs);
}

QString ThumbnailCache::key(const FileRecord &file)
{
    // The path's bytes one to one (a path need not be UTF-8, and decoding it would give two paths
    // one key), a NUL, which no path holds, so that no digit passes from the name to the time,
    // and the time in whole seconds and nanoseconds, which a double cannot hold apart.
    return QString::fromLatin1(file.id()) + QChar(u'\0') + QString::number(file.modified.unixSeconds()) + u'.'
        + QString::number(file.modified.nanoseconds());
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

QSize ThumbnailCache::pixelBox(QSize pointBox) const
{
    return QSize(static_cast<int>(std::lround(pointBox.width() * m_options.devicePixelRatio)),
        static_cast<int>(std::lround(pointBox.height() * m_options.devicePixelRatio)))
        .expandedTo(QSize(1, 1));
}

QImage ThumbnailCache::cached(const FileRecord &file) const
{
    const Entry *entry = m_images.object(key(file));
    return entry != nullptr ? entry->image : QImage();
}

QImage ThumbnailCache::cached(const FileRecord &file, QSize pointBox, bool *madeForBox) const
{
    const Entry *entry = m_images.object(key(file));
    *madeForBox = entry != nullptr && covers(entry->box, pixelBox(pointBox));
    return entry != nullptr ? entry->image : QImage();
}

bool ThumbnailCache::heldCovers(const QString &key, QSize box) const
{
    const Entry *entry = m_images.object(key);
    return entry != nullptr && covers(entry->box, box);
}

bool ThumbnailCache::isRequested(const FileRecord &file) const
{
    const QString k = key(file);
    return m_running.contains(k)
        || std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const Job &job) { return job.key == k; });
}

void ThumbnailCache::request(const FileRecord &file, QSize pointBox)
{
    // A file whose contents are elsewhere keeps its placeholder; asking would download it.
    if (file.isCloudOnly || file.isPackage)
        return;
    const QString k = key(file);
    QSize box = pixelBox(pointBox);
    if (heldCovers(k, box) || m_failed.contains(k))
        return;
    supersede(file);
    if (const auto running = m_running.constFind(k); running != m_running.constEnd()) {
        if (running->stop.stop_requested() || !covers(running->box, box)) {
            const auto again = m_askedAgain.constFind(k);
            m_askedAgain.insert(k, Job {k, file, again == m_askedAgain.constEnd() ? box : box.expandedTo(again->box)});
        }
        return;
    }
    // Asked again: it becomes the newest request, for the larger of the boxes. Requests for
    // earlier states of the file go (the key is the path and the modification time).
    m_waiting.removeIf([&](const Job &job) {
        if (job.file.path != file.path)
            return false;
        if (job.key == k)
            box = box.expandedTo(job.box);
        return job.key == k || job.file.modified < file.modified;
    });
    m_waiting.append(Job {k, file, box});
    startWaiting();
}

void ThumbnailCache::supersede(const FileRecord &file)
{
    const auto earlier = [&](const FileRecord &other) { return other.path == file.path && other.modified < file.modified; };
    for (auto it = m_askedAgain.begin(); it != m_askedAgain.end();)
        it = earlier(it->file) ? m_askedAgain.erase(it) : std::next(it);
    for (Running &running : m_running) {
        if (earlier(running.file)) {
            running.superseded = true;
            running.stop.request_stop();
        }
    }
}

void ThumbnailCache::cancel(const FileRecord &file)
{
    const QString k = key(file);
    m_waiting.removeIf([&](const Job &job) { return job.key == k; });
    m_askedAgain.remove(k);
    if (auto running = m_running.find(k); running != m_running.end())
        running->stop.request_stop();
}

void ThumbnailCache::startWaiting()
{
    while (!m_waiting.isEmpty() && m_running.size() < m_pool.maxThreadCount()) {
        const Job job = m_waiting.takeLast();
        std::stop_source stop;
        m_running.insert(job.key, Running {stop, job.file, job.box});
        ThumbnailProvider::Request request;
        request.path = job.file.path;
        request.modified = job.file.modified;
        request.size = job.file.size;
        request.kind = job.file.kind;
        // The smallest cached size that covers the box is read.
        request.edge = std::max(job.box.width(), job.box.height());
        request.version = m_options.version;
        const QSize box = job.box;
        const QString key = job.key;
        m_pool.start([this, request, box, key, token = stop.get_token()] {
            const ThumbnailProvider::Result result = ThumbnailProvider::provide(request, token);
            Outcome outcome;
            // Nothing to show for this state of the file (a failure, or a type nothing makes
            // thumbnails of) is remembered like a failure, so the tile does not ask again.
            outcome.failed = !result.cancelled && result.image.isNull();
            if (!result.image.isNull())
                outcome.image = fitted(result.image, box);
            // Queued to this object: dropped with it if it is gone (its destructor waits for us).
            QMetaObject::invokeMethod(this, [this, key, outcome] { finish(key, outcome); }, Qt::QueuedConnection);
        });
    }
}

void ThumbnailCache::finish(const QString &key, const Outcome &outcome)
{
    const auto running = m_running.find(key);
    const bool withdrawn = running == m_running.end() || running->stop.stop_requested();
    const bool superseded = running != m_running.end() && running->superseded;
    const QSize box = running != m_running.end() ? running->box : QSize();
    if (running != m_running.end())
        m_running.erase(running);
    std::optional<Job> again;
    if (const auto found = m_askedAgain.find(key); found != m_askedAgain.end()) {
        again = *found;
        m_askedAgain.erase(found);
    }
    bool ready = false;
    if (superseded) {
        // The file has changed since: what was read of it is of no use to anyone.
    } else if (!outcome.image.isNull()) {
        // A withdrawn request's result is still good: keeping it saves the work when the tile
        // comes back into view, but no one is told unless it was asked for again. A smaller one
        // does not replace a larger one held.
        if (!heldCovers(key, box))
            m_images.insert(key, new Entry {outcome.image, box}, std::max(kMinimumCost, qint64(outcome.image.sizeInBytes())));
        ready = !withdrawn || again.has_value();
    } else if (outcome.failed && !withdrawn) {
        m_failed.insert(key);
    }
    if (again && !m_failed.contains(key) && !heldCovers(key, again->box))
        m_waiting.append(*again);
    startWaiting();
    // Last: a receiver may ask for more at once.
    if (ready)
        Q_EMIT thumbnailReady(key);
}
