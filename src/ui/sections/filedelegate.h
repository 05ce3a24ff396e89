#pragma once

#include <QLocale>
#include <QStyledItemDelegate>

class FileView;
class LibraryStore;

// Paints the FileListModel's rows as tiles or list rows with FilePainter, taking the selection
// from the store and the thumbnail from the shared cache (asking for it when missing).
class FileDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    FileDelegate(LibraryStore &store, FileView &view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

    // The size every item gets (uniform), set by the view when its width or mode changes.
    void setItemSize(QSize size) { m_itemSize = size; }

private:
    LibraryStore &m_store;
    FileView &m_view;
    QSize m_itemSize;
    QLocale m_locale;
};
