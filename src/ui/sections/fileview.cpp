#include "ui/sections/fileview.h"

#include "store/librarystore.h"
#include "ui/common/theme.h"
#include "ui/sections/filedelegate.h"
#include "ui/sections/filelistmodel.h"
#include "ui/sections/filepainter.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

namespace {
constexpr int kColumnGap = Theme::Metrics::kGridColumnGap;
constexpr int kRowGap = Theme::Metrics::kGridRowGap;
} // namespace

FileView::FileView(LibraryStore &store, FileListModel &model, QWidget *parent)
    : QListView(parent), m_store(store), m_model(model), m_interaction(store)
{
    setAccessibleName(QStringLiteral("Files"));
    setModel(&model);
    setItemDelegate(new FileDelegate(store, *this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Tiles wrap and rows take the viewport's width: nothing ever needs scrolling sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(24);
    applyMode();

    connect(&store, &LibraryStore::selectedIDsChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&store, &LibraryStore::minimalChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&store, &LibraryStore::selectionChanged, this, &FileView::followSelection);
    connect(&store, &LibraryStore::listModeChanged, this, &FileView::applyMode);
    connect(&store, &LibraryStore::tileSizeChanged, this, &FileView::updateGrid);
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, &FileView::cancelAll);
    connect(&ThumbnailCache::shared(), &ThumbnailCache::thumbnailReady, this, &FileView::onThumbnailReady);
}

void FileView::applyMode()
{
    setFlow(m_store.listMode() ? QListView::TopToBottom : QListView::LeftToRight);
    setWrapping(!m_store.listMode());
    setResizeMode(QListView::Adjust);
    updateGrid();
}

void FileView::updateGrid()
{
    auto *delegate = static_cast<FileDelegate *>(itemDelegate());
    // QListView wraps a row whose cells fill the width exactly, leaving a column empty (and
    // `columns()` wrong), so the cells take one point less than the width.
    const int width = std::max(1, viewport()->width() - 1);
    if (m_store.listMode()) {
        setGridSize(QSize());
        delegate->setItemSize(QSize(std::max(1, width), FilePainter::kRowHeight));
    } else {
        const int tile = std::max(1, int(m_store.tileSize()));
        // Each cell carries its gap on the right, so n cells need n * (column + 16) points.
        const int columns = std::max(1, width / (tile + kColumnGap));
        const int column = std::max(tile, width / columns - kColumnGap);
        const int height = FilePainter::tileHeight(tile, font());
        delegate->setItemSize(QSize(column, height));
        setGridSize(QSize(column + kColumnGap, height + kRowGap));
    }
    scheduleDelayedItemsLayout();
    viewport()->update();
}

int FileView::columns() const
{
    // A wrapping row holds as many grid cells as the viewport's width takes.
    if (m_store.listMode() || gridSize().width() <= 0)
        return 1;
    return std::max(1, viewport()->width() / gridSize().width());
}

void FileView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    updateGrid();
}

void FileView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    cancelHidden();
}

void FileView::noteRequested(int row, const FileRecord &file, QSize pointBox)
{
    QString key = ThumbnailCache::key(file);
    if (m_requested.contains(key))
        return;
    m_requested.insert(std::move(key), Pending { row, file });
    ThumbnailCache::shared().request(file, pointBox);
}

void FileView::cancelHidden()
{
    const QRect visible = viewport()->rect();
    for (auto it = m_requested.begin(); it != m_requested.end();) {
        if (!visualRect(m_model.index(it->row)).intersects(visible)) {
            ThumbnailCache::shared().cancel(it->file);
            it = m_requested.erase(it);
        } else {
            ++it;
        }
    }
}

void FileView::cancelAll()
{
    for (const Pending &pending : std::as_const(m_requested))
        ThumbnailCache::shared().cancel(pending.file);
    m_requested.clear();
    m_pressed = {};
}

void FileView::onThumbnailReady(const QString &key)
{
    const auto found = m_requested.constFind(key);
    if (found == m_requested.constEnd())
        return;
    const int row = found->row;
    m_requested.erase(found);
    viewport()->update(visualRect(m_model.index(row)));
}

void FileView::followSelection()
{
    if (!m_store.selection())
        return;
    const int row = m_model.rowOf(*m_store.selection());
    if (row < 0)
        return;
    const QModelIndex index = m_model.index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

bool FileView::pressTextButton(const QModelIndex &index, QPoint position)
{
    if (m_store.listMode())
        return false;
    const FileRecord &file = m_model.record(index.row());
    const QRect tile(visualRect(index).topLeft(), static_cast<FileDelegate *>(itemDelegate())->sizeHint({}, index));
    if (!FilePainter::hasTextButton(file) || !FilePainter::textButtonRect(tile, int(m_store.tileSize())).contains(position))
        return false;
    m_store.copyText({ file }, false);
    return true;
}

void FileView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressed = {};
    if (!index.isValid() || pressTextButton(index, event->position().toPoint()))
        return;
    m_pressed = m_model.index(index.row());
    m_interaction.press(m_model.record(index.row()), event->position(), event->modifiers(), false);
}

void FileView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressed = {};
    // A quick second click on the text button copies again rather than opening the preview.
    if (!index.isValid() || pressTextButton(index, event->position().toPoint()))
        return;
    m_pressed = m_model.index(index.row());
    m_interaction.press(m_model.record(index.row()), event->position(), event->modifiers(), true);
}

void FileView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_pressed.isValid())
        return;
    if (m_interaction.moveStartsDrag(event->position())) {
        // A copy: the model may be reset while the drag runs its own event loop.
        const FileRecord file = m_model.record(m_pressed.row());
        m_interaction.startDrag(this, file);
    }
}

void FileView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed.isValid())
        return;
    const FileRecord file = m_model.record(m_pressed.row());
    m_pressed = {};
    m_interaction.release(file, event->modifiers());
}

void FileView::keyPressEvent(QKeyEvent *event)
{
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && m_interaction.key(event->key(), columns())) {
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void FileView::contextMenuEvent(QContextMenuEvent *event)
{
    QModelIndex index = indexAt(event->pos());
    QPoint where = event->globalPos();
    // From the keyboard (the Menu key), the menu is for the selected file, shown beside it.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const int row = m_store.selection() ? m_model.rowOf(*m_store.selection()) : -1;
        index = row >= 0 ? m_model.index(row) : QModelIndex();
        if (index.isValid())
            where = viewport()->mapToGlobal(visualRect(index).center());
    }
    if (!index.isValid())
        return;
    const FileRecord file = m_model.record(index.row());
    QMenu menu(this);
    m_interaction.fillContextMenu(menu, file);
    menu.exec(where);
}
