#include "ui/sections/filedelegate.h"

#include "store/librarystore.h"
#include "ui/sections/filelistmodel.h"
#include "ui/sections/filepainter.h"
#include "ui/sections/fileview.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QHelpEvent>
#include <QToolTip>

FileDelegate::FileDelegate(LibraryStore &store, FileView &view) : QStyledItemDelegate(&view), m_store(store), m_view(view) { }

void FileDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const FileListModel *>(index.model());
    if (!model || index.row() >= model->rowCount())
        return;
    const FileRecord &file = model->record(index.row());
    FilePainter::Look look;
    look.tileSide = int(m_store.tileSize());
    look.selected = m_store.selectedIDs().contains(file.id());
    look.minimal = m_store.minimal();
    if (!file.isCloudOnly) {
        const ThumbnailCache &cache = ThumbnailCache::shared();
        const QSize box = m_store.listMode() ? FilePainter::kRowThumbnailBox : FilePainter::tileThumbnailBox(look.tileSide);
        bool madeForBox = false;
        look.thumbnail = cache.cached(file, box, &madeForBox);
        // A thumbnail made for a smaller tile shows, scaled, until one for this size is in.
        if (!madeForBox)
            m_view.noteRequested(index.row(), file, box);
    }
    if (m_store.listMode())
        FilePainter::paintRow(*painter, option.rect, option.palette, file, look, m_locale);
    else
        FilePainter::paintTile(*painter, QRect(option.rect.topLeft(), m_itemSize), option.palette, file, look);
    if (option.state & QStyle::State_HasFocus && m_view.hasFocus()) {
        painter->save();
        QPen pen(option.palette.color(QPalette::Highlight), 1, Qt::DotLine);
        painter->setPen(pen);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

QSize FileDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_itemSize;
}

bool FileDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
    const QModelIndex &index)
{
    const auto *model = qobject_cast<const FileListModel *>(index.model());
    if (event->type() == QEvent::ToolTip && model && !m_store.listMode() && index.row() < model->rowCount()
        && FilePainter::hasTextButton(model->record(index.row()))
        && FilePainter::textButtonRect(QRect(option.rect.topLeft(), m_itemSize), int(m_store.tileSize())).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), QStringLiteral("Copy image text"), view);
        return true;
    }
    QToolTip::hideText();
    return true;
}
