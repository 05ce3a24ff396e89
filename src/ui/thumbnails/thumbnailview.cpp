#include "ui/thumbnails/thumbnailview.h"

#include "ui/thumbnails/thumbnailcache.h"

#include <QPainter>

ThumbnailView::ThumbnailView(QWidget *parent) : QWidget(parent) { }

void ThumbnailView::setFile(const std::optional<FileRecord> &file)
{
    m_file = file;
    update();
}

void ThumbnailView::setMinimal(bool minimal)
{
    m_minimal = minimal;
    update();
}

void ThumbnailView::paintEvent(QPaintEvent *)
{
    if (!m_file)
        return;
    QPainter painter(this);
    const QIcon icon = ThumbnailCache::fileIcon(*m_file);
    const int side = qMin(width(), height()) / 2;
    icon.paint(&painter, QRect((width() - side) / 2, (height() - side) / 2, side, side));
}
