#pragma once

#include "library/filerecord.h"
#include "ui/sections/fileinteraction.h"

#include <QHash>
#include <QListView>

class FileListModel;
class LibraryStore;

// The browser's one view of `visibleFiles`: a grid of tiles (columns at least `tileSize` wide,
// 16 between columns, 18 between rows) or, in list mode, rows. Items are painted by a delegate,
// never made into widgets, and laid out in batches. The painted selection is the store's
// `selectedIDs`; the view's own selection model stays empty. Clicks, drags, keys and the context
// menu follow FileInteraction. Thumbnails are asked for when a tile is painted and withdrawn when
// it leaves the viewport. Main thread only.
class FileView : public QListView
{
    Q_OBJECT

public:
    FileView(LibraryStore &store, FileListModel &model, QWidget *parent = nullptr);

    // Called by the delegate when it painted `row` without its thumbnail for a `pointBox` box.
    void noteRequested(int row, const FileRecord &file, QSize pointBox);
    // The thumbnails asked for and not yet delivered, by key (for tests and diagnostics).
    qsizetype pendingThumbnails() const { return m_requested.size(); }
    // The number of files in a row as laid out now: the step of Up and Down.
    int columns() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void applyMode();
    void updateGrid();
    void followSelection();
    void cancelHidden();
    void cancelAll();
    void onThumbnailReady(const QString &key);
    // Handles a press on a tile's "Copy image text" button; true when it was one.
    bool pressTextButton(const QModelIndex &index, QPoint position);

    LibraryStore &m_store;
    FileListModel &m_model;
    FileInteraction m_interaction;
    struct Pending
    {
        int row = -1;
        FileRecord file;
    };
    // Thumbnail key -> the row asked for; cleared on every model reset, so rows stay valid.
    QHash<QString, Pending> m_requested;
    QModelIndex m_pressed;
};
