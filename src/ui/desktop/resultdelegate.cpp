#include "ui/desktop/resultdelegate.h"

#include "library/filerecord.h"
#include "ui/common/theme.h"
#include "ui/desktop/quicksearchmodel.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QPainter>

ResultDelegate::ResultDelegate(std::function<const FileRecord *(const QModelIndex &)> fileOf, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_fileOf(std::move(fileOf))
{ }

void ResultDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const FileRecord *file = m_fileOf(index);
    if (!file)
        return;
    painter->save();
    const bool highlighted = index.data(QuickSearchModel::HighlightedRole).toBool();
    const QRect row = option.rect.adjusted(4, 2, -4, -2);
    if (highlighted) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(Theme::accent());
        painter->drawRoundedRect(row, 6, 6);
    }

    const QRect thumbRect(row.left() + 6, row.top() + (row.height() - kThumbnail) / 2, kThumbnail, kThumbnail);
    ThumbnailCache &cache = ThumbnailCache::shared();
    const QImage image = cache.cached(*file);
    if (!image.isNull()) {
        const QSize fitted = image.deviceIndependentSize().toSize().scaled(thumbRect.size(), Qt::KeepAspectRatio);
        QRect target(QPoint(), fitted);
        target.moveCenter(thumbRect.center());
        painter->drawImage(target, image);
    } else {
        ThumbnailCache::fileIcon(*file).paint(painter, thumbRect);
        if (!file->isCloudOnly && !cache.hasFailed(*file) && !cache.isRequested(*file))
            cache.request(*file);
    }

    const QColor text = highlighted ? QColor(Qt::white) : option.palette.color(QPalette::Text);
    QColor secondary = text;
    secondary.setAlphaF(0.65f);
    const QRect textRect(thumbRect.right() + 10, row.top() + 6, row.right() - thumbRect.right() - 16, row.height() - 12);
    const QFontMetrics metrics(option.font);
    painter->setFont(option.font);
    painter->setPen(text);
    painter->drawText(textRect.adjusted(0, 0, 0, -textRect.height() / 2), Qt::AlignLeft | Qt::AlignVCenter,
        metrics.elidedText(file->name(), Qt::ElideMiddle, textRect.width()));
    painter->setPen(secondary);
    painter->drawText(textRect.adjusted(0, textRect.height() / 2, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
        file->formattedSize());
    painter->restore();
}

QSize ResultDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return { option.rect.width(), kRowHeight };
}
