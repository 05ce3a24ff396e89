#pragma once

#include "library/filerecord.h"
#include "store/librarystore.h"

#include <QPointF>

#include <optional>

class QMenu;
class QMimeData;
class QWidget;

// The click, drag, key and context-menu rules every file tile and row follows, in one place, so
// the browser's list view and the single-file widgets of the other sections behave alike. It
// holds only the pointer origin of the last press; everything else is read from and written to
// the store. Main thread only.
class FileInteraction
{
public:
    explicit FileInteraction(LibraryStore &store) : m_store(store) { }

    // Dragging starts once the pointer is more than this far from where it was pressed.
    static constexpr double kDragDistance = 4;
    static constexpr int kDragIconSide = 40;

    static LibraryStore::ClickModifier modifier(Qt::KeyboardModifiers modifiers);

    // A mouse button went down on `file` at `position` (any coordinates, the same for move()).
    // A double click plays a song or previews any other file; a single press selects, except
    // that a plain press on a selected file keeps the selection so a drag can carry all of it.
    void press(const FileRecord &file, QPointF position, Qt::KeyboardModifiers modifiers, bool doubleClick);
    // The button came up; without a drag, a plain single click leaves only `file` selected.
    void release(const FileRecord &file, Qt::KeyboardModifiers modifiers);
    // The pointer moved with the button down. True once when a drag should start now; the
    // origin is then forgotten, so the following release does not change the selection.
    bool moveStartsDrag(QPointF position);
    // The files a drag from `file` carries: the chosen files when it is selected, else itself.
    QList<FileRecord> dragFiles(const FileRecord &file) const;
    // "text/uri-list" with each file's lossless URL.
    static QMimeData *mimeData(const QList<FileRecord> &files);
    // Runs a copy-only drag of dragFiles(file) from `source`.
    void startDrag(QWidget *source, const FileRecord &file);

    // Return, Space and the arrows; false for any other key (the caller passes it on). Up and
    // Down move by `columns`: the number of files in a row as the caller lays them out.
    bool key(int key, int columns);

    // Selects `file` first unless it is selected, then fills `menu` with the file actions.
    void fillContextMenu(QMenu &menu, const FileRecord &file);

private:
    LibraryStore &m_store;
    std::optional<QPointF> m_origin;
    bool m_doubleClick = false;
};
