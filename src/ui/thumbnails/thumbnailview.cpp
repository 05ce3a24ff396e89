#include "ui/thumbnails/thumbnailview.h"

#include "ui/common/symbols.h"
#include "ui/common/theme.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal kCornerRadius = 6;
constexpr int kPadding = 12;

// A symbolic icon drawn in one colour.
QPixmap tinted(const QIcon &icon, QSize size, qreal ratio, const QColor &colour)
{
    QPixmap pixmap = icon.pixmap(size, ratio);
    if (pixmap.isNull())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), colour);
    return pixmap;
}

} // namespace

ThumbnailView::ThumbnailView(QWidget *parent) : QWidget(parent)
{
    setCache(&ThumbnailCache::shared());
}

ThumbnailView::~ThumbnailView()
{
    withdrawRequest();
}

void ThumbnailView::setCache(ThumbnailCache *cache)
{
    if (cache == m_cache)
        return;
    withdrawRequest();
    if (m_cache != nullptr)
        disconnect(m_cache, nullptr, this, nullptr);
    m_cache = cache;
    connect(m_cache, &ThumbnailCache::thumbnailReady, this, [this](const QString &key) {
        if (key == m_key)
            update();
    });
    if (isVisible())
        requestThumbnail();
    update();
}

void ThumbnailView::setFile(const std::optional<FileRecord> &file)
{
    if (file == m_file)
        return;
    withdrawRequest();
    m_file = file;
    m_key = file ? ThumbnailCache::key(*file) : QString();
    setAccessibleName(file ? file->name() : QString());
    if (isVisible())
        requestThumbnail();
    update();
}

void ThumbnailView::setMinimal(bool minimal)
{
    m_minimal = minimal;
    update();
}

void ThumbnailView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    requestThumbnail();
}

void ThumbnailView::hideEvent(QHideEvent *event)
{
    withdrawRequest();
    QWidget::hideEvent(event);
}

void ThumbnailView::requestThumbnail()
{
    if (m_file && m_cache != nullptr)
        m_cache->request(*m_file);
}

void ThumbnailView::withdrawRequest()
{
    if (m_file && m_cache != nullptr)
        m_cache->cancel(*m_file);
}

void ThumbnailView::paintEvent(QPaintEvent *)
{
    if (!m_file)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage image = m_file->isCloudOnly || m_cache == nullptr ? QImage() : m_cache->cached(*m_file);
    if (image.isNull()) {
        paintPlaceholder(painter);
        return;
    }
    const QSizeF size = QSizeF(image.size()).scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    QPainterPath rounded;
    rounded.addRoundedRect(target, kCornerRadius, kCornerRadius);
    painter.setClipPath(rounded);
    painter.drawImage(target, image);
}

void ThumbnailView::paintPlaceholder(QPainter &painter)
{
    const int side = std::max(0, std::min(width(), height()) - 2 * kPadding);
    if (side == 0)
        return;
    const QRect target((width() - side) / 2, (height() - side) / 2, side, side);
    const qreal ratio = devicePixelRatioF();
    if (m_file->isCloudOnly) {
        const QIcon cloud = Symbols::symbolicIcon(u"icloud");
        painter.drawPixmap(target, tinted(cloud, target.size(), ratio, Theme::systemGrey()));
        return;
    }
    const QIcon icon = ThumbnailCache::fileIcon(*m_file);
    if (!icon.isNull()) {
        icon.paint(&painter, target);
        return;
    }
    const QIcon symbol = Symbols::symbolicIcon(m_file->kind.symbol());
    painter.drawPixmap(target, tinted(symbol, target.size(), ratio, Theme::kindTint(m_file->kind, m_minimal)));
}
