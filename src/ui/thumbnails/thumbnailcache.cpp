#include "ui/thumbnails/thumbnailcache.h"

#include "analysis/thumbnails/thumbnailprovider.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeDatabase>
#include <QScreen>

#include <cmath>

namespace {

constexpr qint64 kMinimumCost = ThumbnailCache::kByteBudget / ThumbnailCache::kCapacity;
// A stopped request ends at its next check; a reader helper gives up its file within seconds.
constexpr int kQuitGraceMs = 5000;

ThumbnailCache::Options sharedOptions()
{
    ThumbnailCache::Options options;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        options.devicePixelRatio = screen->devicePixelRatio();
    options.version = QStringLiteral(TESSARY_VERSION);
    return options;
}

// The image fitted into `box` in a format that paints without conversion.
QImage fitted(QImage image, QSize box)
{
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
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
    , m_pixelSize(QSize(static_cast<int>(std::lround(kPointSize.width() * options.devicePixelRatio)),
          static_cast<int>(std::lround(kPointSize.height() * options.devicePixelRatio)))
                      .expandedTo(QSize(1, 1)))
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
    for (std::stop_source &stop : m_running)
        stop.request_stop();
    m_pool.waitForDone(waitMs);
}

QString ThumbnailCache::key(const FileRecord &file)
{
    const double seconds = double(file.modified.unixSeconds()) + double(file.modified.nanoseconds()) / 1e9;
    return QString::fromUtf8(file.id()) + QString::number(seconds, 'f', QLocale::FloatingPointShortest);
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

QImage ThumbnailCache::cached(const FileRecord &file) const
{
    const QImage *image = m_images.object(key(file));
    return image != nullptr ? *image : QImage();
}

bool ThumbnailCache::isRequested(const FileRecord &file) const
{
    const QString k = key(file);
    return m_running.contains(k)
        || std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const Job &job) { return job.key == k; });
}

void ThumbnailCache::request(const FileRecord &file)
{
    // A file whose contents are elsewhere keeps its placeholder; asking would download it.
    if (file.isCloudOnly || file.isPackage)
        return;
    const QString k = key(file);
    if (m_images.contains(k) || m_failed.contains(k))
        return;
    if (const auto running = m_running.constFind(k); running != m_running.constEnd()) {
        if (running->stop_requested())
            m_askedAgain.insert(k, file);
        return;
    }
    // Asked again: it becomes the newest request.
    m_waiting.removeIf([&](const Job &job) { return job.key == k; });
    m_waiting.append(Job {k, file});
    startWaiting();
}

void ThumbnailCache::cancel(const FileRecord &file)
{
    const QString k = key(file);
    m_waiting.removeIf([&](const Job &job) { return job.key == k; });
    m_askedAgain.remove(k);
    if (auto running = m_running.find(k); running != m_running.end())
        running->request_stop();
}

void ThumbnailCache::startWaiting()
{
    while (!m_waiting.isEmpty() && m_running.size() < m_pool.maxThreadCount()) {
        const Job job = m_waiting.takeLast();
        std::stop_source stop;
        m_running.insert(job.key, stop);
        ThumbnailProvider::Request request;
        request.path = job.file.path;
        request.modified = job.file.modified;
        request.size = job.file.size;
        request.kind = job.file.kind;
        request.edge = std::max(m_pixelSize.width(), m_pixelSize.height());
        request.version = m_options.version;
        const QSize box = m_pixelSize;
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
    const bool withdrawn = running == m_running.end() || running->stop_requested();
    if (running != m_running.end())
        m_running.erase(running);
    // A cancelled request's result is still good: keeping it saves the work when the tile
    // comes back into view.
    if (!outcome.image.isNull()) {
        m_images.insert(key, new QImage(outcome.image), std::max(kMinimumCost, qint64(outcome.image.sizeInBytes())));
        Q_EMIT thumbnailReady(key);
    } else if (outcome.failed && !withdrawn) {
        m_failed.insert(key);
    }
    if (const auto again = m_askedAgain.find(key); again != m_askedAgain.end()) {
        if (outcome.image.isNull() && !m_failed.contains(key))
            m_waiting.append(Job {key, *again});
        m_askedAgain.erase(again);
    }
    startWaiting();
}
