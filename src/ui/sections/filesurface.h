#pragma once

#include "library/filerecord.h"
#include "ui/sections/fileinteraction.h"

#include <QWidget>

class LibraryStore;

// One file drawn as a tile or a row outside the browser's list (the home strips and the
// duplicate groups), with the same clicks, drags, keys and context menu as the browser's items.
// It takes focus on a click so the keys reach it, its accessible name is the file's name (a row's
// description holds its other columns), a tile follows the thumbnail size, and it repaints when
// the selection or its thumbnail changes. Main thread only.
class FileSurface : public QWidget
{
    Q_OBJECT

public:
    enum class Shape { tile, row };

    FileSurface(LibraryStore &store, const FileRecord &file, Shape shape, QWidget *parent = nullptr);
    ~FileSurface() override;

    const FileRecord &file() const { return m_file; }
    // Shows `file` instead, keeping the widget: cheaper than a new one when a list moves on.
    void setFile(const FileRecord &file);
    QSize sizeHint() const override;
    // What an assistive technology's press does: selects only this file.
    void accessiblePress();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;

private:
    void fitTileSize();
    QRect tileRect() const;
    // Handles a press on the tile's "Copy image text" button; true when it was one.
    bool pressTextButton(QPoint position);

    LibraryStore &m_store;
    FileRecord m_file;
    Shape m_shape = Shape::tile;
    FileInteraction m_interaction;
    QString m_thumbnailKey;
    bool m_requested = false;
    bool m_pressed = false;
};
