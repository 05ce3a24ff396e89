#include "ui/sections/fileinteraction.h"

#include "platform/fileurl.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QWidget>

#include <cmath>

LibraryStore::ClickModifier FileInteraction::modifier(Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier)
        return LibraryStore::ClickModifier::command;
    if (modifiers & Qt::ShiftModifier)
        return LibraryStore::ClickModifier::shift;
    return LibraryStore::ClickModifier::none;
}

void FileInteraction::press(const FileRecord &file, QPointF position, Qt::KeyboardModifiers modifiers, bool doubleClick)
{
    m_origin = position;
    m_doubleClick = doubleClick;
    if (doubleClick) {
        if (file.kind == FileKind::music)
            m_store.play(file);
        else
            m_store.setPreview(file);
        return;
    }
    const LibraryStore::ClickModifier mod = modifier(modifiers);
    if (m_store.selectedIDs().contains(file.id()) && mod == LibraryStore::ClickModifier::none)
        return;
    m_store.select(file, mod);
}

void FileInteraction::release(const FileRecord &file, Qt::KeyboardModifiers modifiers)
{
    const bool wasClick = m_origin.has_value() && !m_doubleClick;
    m_origin.reset();
    if (wasClick && modifier(modifiers) == LibraryStore::ClickModifier::none)
        m_store.select(file, LibraryStore::ClickModifier::none);
}

bool FileInteraction::moveStartsDrag(QPointF position)
{
    if (!m_origin)
        return false;
    const QPointF delta = position - *m_origin;
    if (std::hypot(delta.x(), delta.y()) <= kDragDistance)
        return false;
    m_origin.reset();
    return true;
}

QList<FileRecord> FileInteraction::dragFiles(const FileRecord &file) const
{
    if (m_store.selectedIDs().contains(file.id()))
        return m_store.chosenFiles();
    return { file };
}

QMimeData *FileInteraction::mimeData(const QList<FileRecord> &files)
{
    // Written by hand rather than through QUrl so names that are not UTF-8 keep their bytes.
    QByteArray list;
    for (const FileRecord &file : files)
        list += FileUrl::encoded(file.path) + "\r\n";
    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), list);
    return data;
}

void FileInteraction::startDrag(QWidget *source, const FileRecord &file)
{
    const QList<FileRecord> files = dragFiles(file);
    if (files.isEmpty())
        return;
    // Each item's icon sits 5 further right than the previous one, cycling every four; only
    // those four places can show, so drawing the first four items is enough.
    const qsizetype shown = std::min<qsizetype>(files.size(), 4);
    const qreal ratio = source->devicePixelRatioF();
    QPixmap pixmap(QSize(kDragIconSide + 15, kDragIconSide) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        for (qsizetype i = shown - 1; i >= 0; --i)
            ThumbnailCache::fileIcon(files[i]).paint(&painter, QRect(int(i % 4) * 5, 0, kDragIconSide, kDragIconSide));
    }
    auto *drag = new QDrag(source);
    drag->setMimeData(mimeData(files));
    drag->setPixmap(pixmap);
    drag->setHotSpot(QPoint(kDragIconSide / 2, kDragIconSide / 2));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool FileInteraction::key(int key, int columns)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const std::optional<FileRecord> file = m_store.selected())
            m_store.open(*file);
        return true;
    case Qt::Key_Space:
        m_store.setPreview(m_store.selected());
        return true;
    case Qt::Key_Left:
        m_store.stepSelection(-1);
        return true;
    case Qt::Key_Right:
        m_store.stepSelection(1);
        return true;
    case Qt::Key_Down:
        m_store.stepSelection(columns);
        return true;
    case Qt::Key_Up:
        m_store.stepSelection(-columns);
        return true;
    default:
        return false;
    }
}

void FileInteraction::fillContextMenu(QMenu &menu, const FileRecord &file)
{
    if (!m_store.selectedIDs().contains(file.id()))
        m_store.select(file, LibraryStore::ClickModifier::none);
    LibraryStore *store = &m_store;
    const auto add = [&menu](const QString &title, auto action) { QObject::connect(menu.addAction(title), &QAction::triggered, &menu, action); };
    add(QStringLiteral("Quick Look"), [store, file] { store->setPreview(file); });
    add(QStringLiteral("Open"), [store, file] { store->open(file); });
    add(QStringLiteral("Show in Folder"), [store, file] { store->reveal(file); });
    add(QStringLiteral("Pin Folder to Sidebar"), [store, file] {
        const qsizetype slash = file.path.lastIndexOf('/');
        store->pin(slash <= 0 ? QByteArray("/") : file.path.left(slash));
    });
    add(QStringLiteral("Copy Files"), [store] { store->copyFiles(); });
    add(QStringLiteral("Copy Path"), [store, file] { store->copyPath(file); });
    add(QStringLiteral("Copy Text"), [store] { store->copyText(store->chosenFiles(), false); });
    add(QStringLiteral("Inspect"), [store, file] {
        store->setSelection(file.id());
        store->setShowInspector(true);
    });
    menu.addSeparator();
    const qsizetype count = m_store.chosenFiles().size();
    add(QStringLiteral("Move ") + QString::number(count) + QStringLiteral(" Selected to Trash…"),
        [store] { store->requestTrash(store->chosenFiles()); });
}
