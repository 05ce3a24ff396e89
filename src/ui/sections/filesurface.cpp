#include "ui/sections/filesurface.h"

#include "store/librarystore.h"
#include "ui/sections/filepainter.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

// Screen readers see a file surface as a button named after the file; pressing it selects it.
class FileSurfaceAccessible : public QAccessibleWidget
{
public:
    explicit FileSurfaceAccessible(FileSurface *surface) : QAccessibleWidget(surface, QAccessible::Button) { }

    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<FileSurface *>(widget())->accessiblePress();
    }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == u"FileSurface" && object && object->isWidgetType())
        return new FileSurfaceAccessible(static_cast<FileSurface *>(object));
    return nullptr;
}

} // namespace

FileSurface::FileSurface(LibraryStore &store, const FileRecord &file, Shape shape, QWidget *parent)
    : QWidget(parent), m_store(store), m_file(file), m_shape(shape), m_interaction(store),
      m_thumbnailKey(ThumbnailCache::key(file))
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(file.name());
    if (shape == Shape::tile) {
        fitTileSize();
        connect(&store, &LibraryStore::tileSizeChanged, this, &FileSurface::fitTileSize);
    } else {
        setFixedHeight(FilePainter::kRowHeight);
        setAccessibleDescription(FilePainter::rowDescription(file, locale()));
    }
    connect(&store, &LibraryStore::selectedIDsChanged, this, qOverload<>(&QWidget::update));
    connect(&ThumbnailCache::shared(), &ThumbnailCache::thumbnailReady, this, [this](const QString &key) {
        if (key == m_thumbnailKey) {
            m_requested = false;
            update();
        }
    });
}

void FileSurface::setFile(const FileRecord &file)
{
    const QString key = ThumbnailCache::key(file);
    if (key != m_thumbnailKey && m_requested) {
        ThumbnailCache::shared().cancel(m_file);
        m_requested = false;
    }
    m_file = file;
    m_thumbnailKey = key;
    // A press on the file shown before is not completed on this one.
    m_pressed = false;
    setAccessibleName(file.name());
    if (m_shape == Shape::row)
        setAccessibleDescription(FilePainter::rowDescription(file, locale()));
    update();
}

FileSurface::~FileSurface()
{
    if (m_requested)
        ThumbnailCache::shared().cancel(m_file);
}

void FileSurface::fitTileSize()
{
    setFixedSize(int(m_store.tileSize()), FilePainter::tileHeight(int(m_store.tileSize()), font()));
}

QSize FileSurface::sizeHint() const
{
    if (m_shape == Shape::tile)
        return size();
    return QSize(400, FilePainter::kRowHeight);
}

void FileSurface::accessiblePress()
{
    m_store.select(m_file, LibraryStore::ClickModifier::none);
}

QRect FileSurface::tileRect() const
{
    return rect();
}

void FileSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    FilePainter::Look look;
    look.tileSide = int(m_store.tileSize());
    look.selected = m_store.selectedIDs().contains(m_file.id());
    look.minimal = m_store.minimal();
    if (!m_file.isCloudOnly) {
        look.thumbnail = ThumbnailCache::shared().cached(m_file);
        if (look.thumbnail.isNull() && !m_requested) {
            m_requested = true;
            ThumbnailCache::shared().request(m_file,
                m_shape == Shape::tile ? FilePainter::tileThumbnailBox(look.tileSide) : FilePainter::kRowThumbnailBox);
        }
    }
    if (m_shape == Shape::tile)
        FilePainter::paintTile(painter, tileRect(), palette(), m_file, look);
    else
        FilePainter::paintRow(painter, rect(), palette(), m_file, look, locale());
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void FileSurface::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton || pressTextButton(event->position().toPoint()))
        return;
    m_pressed = true;
    m_interaction.press(m_file, event->position(), event->modifiers(), false);
}

bool FileSurface::pressTextButton(QPoint position)
{
    if (m_shape != Shape::tile || !FilePainter::hasTextButton(m_file)
        || !FilePainter::textButtonRect(tileRect(), int(m_store.tileSize())).contains(position))
        return false;
    m_store.copyText({ m_file }, false);
    return true;
}

void FileSurface::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || pressTextButton(event->position().toPoint()))
        return;
    m_pressed = true;
    m_interaction.press(m_file, event->position(), event->modifiers(), true);
}

void FileSurface::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed && (event->buttons() & Qt::LeftButton) && m_interaction.moveStartsDrag(event->position()))
        m_interaction.startDrag(this, m_file);
}

void FileSurface::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    m_interaction.release(m_file, event->modifiers());
}

void FileSurface::keyPressEvent(QKeyEvent *event)
{
    // A surface stands alone in its strip or list: Up and Down move one place, like Left and Right.
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && m_interaction.key(event->key(), 1)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FileSurface::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    m_interaction.fillContextMenu(menu, m_file);
    menu.exec(event->globalPos());
}

bool FileSurface::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_shape == Shape::tile && FilePainter::hasTextButton(m_file)) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (FilePainter::textButtonRect(tileRect(), int(m_store.tileSize())).contains(help->pos()))
            QToolTip::showText(help->globalPos(), QStringLiteral("Copy image text"), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
