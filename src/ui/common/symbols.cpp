#include "ui/common/symbols.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPaintDevice>
#include <QStandardPaths>

// The drawings are compiled into this static library; Qt must be told to register them.
static void registerIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// Draws a monochrome ("-symbolic") theme icon in the text colour of the palette in force, as
// the desktops do, so it stays legible in the dark look.
class PaletteTintedEngine : public QIconEngine
{
public:
    explicit PaletteTintedEngine(QIcon base) : m_base(std::move(base)) { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap drawn = m_base.pixmap(size, QIcon::Normal, state);
        if (drawn.isNull())
            return drawn;
        const QPalette palette = QGuiApplication::palette();
        QColor colour = palette.color(QPalette::Active, QPalette::WindowText);
        if (mode == QIcon::Disabled)
            colour = palette.color(QPalette::Disabled, QPalette::WindowText);
        QPainter tint(&drawn);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(drawn.rect(), colour);
        return drawn;
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_base.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_base.availableSizes(mode, state);
    }
    QIconEngine *clone() const override { return new PaletteTintedEngine(m_base); }

private:
    QIcon m_base;
};

QIcon themeIcon(const QString &name)
{
    if (name.endsWith(u"-symbolic"))
        return QIcon(new PaletteTintedEngine(QIcon::fromTheme(name)));
    return QIcon::fromTheme(name);
}

struct Row
{
    const char16_t *symbol;
    std::initializer_list<const char16_t *> names;
};

// Symbol name -> freedesktop names, most specific first. Breeze and Adwaita both know at least
// one name of every row.
const QHash<QString, QStringList> &table()
{
    static const QHash<QString, QStringList> rows = [] {
        const Row list[] = {
            { u"house", { u"go-home", u"user-home" } },
            { u"clock", { u"document-open-recent", u"appointment-soon" } },
            { u"photo", { u"image-x-generic" } },
            { u"play.rectangle", { u"video-x-generic" } },
            { u"film", { u"video-x-generic" } },
            { u"music.note", { u"audio-x-generic" } },
            { u"doc.text", { u"x-office-document", u"text-x-generic" } },
            { u"doc", { u"text-x-generic", u"application-x-generic" } },
            { u"archivebox", { u"package-x-generic", u"application-x-archive" } },
            { u"shippingbox", { u"package-x-generic", u"application-x-archive" } },
            { u"square.grid.2x2", { u"view-grid", u"view-app-grid", u"view-grid-symbolic" } },
            { u"app.dashed", { u"application-x-executable", u"applications-other" } },
            { u"externaldrive", { u"drive-harddisk" } },
            { u"camera.viewfinder", { u"camera-photo", u"image-x-generic" } },
            { u"square.on.square", { u"edit-copy" } },
            { u"doc.on.doc", { u"folder-documents", u"edit-copy" } },
            { u"sparkles", { u"edit-clear-all", u"edit-clear" } },
            { u"arrow.down.circle", { u"folder-download", u"emblem-downloads", u"go-down" } },
            { u"folder", { u"folder" } },
            { u"folder.badge.plus", { u"folder-new", u"list-add" } },
            { u"plus", { u"list-add" } },
            { u"magnifyingglass", { u"edit-find", u"system-search" } },
            { u"doc.text.magnifyingglass", { u"edit-find", u"system-search" } },
            { u"lock.shield", { u"security-high", u"channel-secure", u"system-lock-screen" } },
            { u"sidebar.left", { u"view-sidebar-start", u"sidebar-show", u"sidebar-show-symbolic", u"view-list-tree" } },
            { u"sidebar.right", { u"view-sidebar-end", u"sidebar-show-right", u"sidebar-show-right-symbolic", u"document-properties" } },
            { u"xmark.circle.fill", { u"edit-clear", u"window-close" } },
            { u"xmark", { u"window-close" } },
            { u"bolt.circle", { u"system-search", u"edit-find" } },
            { u"gearshape", { u"preferences-system", u"configure", u"emblem-system" } },
            { u"circle.lefthalf.filled", { u"preferences-desktop-theme", u"color-management", u"weather-clear-night" } },
            { u"paintpalette", { u"applications-graphics", u"color-picker", u"preferences-desktop-theme" } },
            { u"list.bullet", { u"view-list-details", u"view-list", u"view-list-symbolic" } },
            { u"cursorarrow.click", { u"input-mouse-click-left", u"input-mouse-symbolic", u"input-mouse" } },
            { u"backward.end.fill", { u"media-skip-backward" } },
            { u"forward.end.fill", { u"media-skip-forward" } },
            { u"play.fill", { u"media-playback-start" } },
            { u"pause.fill", { u"media-playback-pause" } },
            { u"text.viewfinder", { u"insert-text", u"scanner", u"edit-find" } },
            { u"chevron.left", { u"go-previous" } },
            { u"chevron.right", { u"go-next" } },
            { u"arrow.right", { u"go-next" } },
            { u"icloud", { u"folder-cloud", u"weather-overcast", u"folder-remote", u"network-server" } },
            { u"arrow.clockwise", { u"view-refresh" } },
            { u"globe", { u"applications-internet", u"web-browser", u"network-workgroup" } },
            { u"bookmark", { u"bookmark-new", u"bookmarks" } },
            { u"checkmark.circle.fill", { u"emblem-success", u"emblem-ok", u"emblem-default", u"object-select-symbolic" } },
            { u"circle", { u"radio", u"media-record", u"checkbox" } },
            { u"arrow.up.forward.app", { u"window-new", u"go-up" } },
            { u"square.stack.3d.up", { u"org.tessary.Tessary" } },
            { u"square.stack.3d.up.fill", { u"org.tessary.Tessary" } },
            { u"trash", { u"user-trash", u"edit-delete" } },
            { u"keyboard", { u"input-keyboard-symbolic", u"input-keyboard" } },
        };
        QHash<QString, QStringList> t;
        for (const Row &row : list) {
            QStringList names;
            for (const char16_t *name : row.names)
                names.append(QString::fromUtf16(name));
            t.insert(QString::fromUtf16(row.symbol), names);
        }
        return t;
    }();
    return rows;
}

} // namespace

namespace Symbols {

QStringList themeNames(QStringView symbol)
{
    return table().value(symbol.toString());
}

QStringList knownSymbols()
{
    return table().keys();
}

QIcon icon(QStringView symbol)
{
    if (symbol.startsWith(u"square.stack.3d.up"))
        return applicationIcon();
    for (const QString &name : table().value(symbol.toString())) {
        if (QIcon::hasThemeIcon(name))
            return themeIcon(name);
    }
    return {};
}

QIcon symbolicIcon(QStringView symbol)
{
    for (const QString &name : table().value(symbol.toString())) {
        const QString symbolic = name.endsWith(u"-symbolic") ? name : name + QStringLiteral("-symbolic");
        if (QIcon::hasThemeIcon(symbolic))
            return QIcon::fromTheme(symbolic);
    }
    return icon(symbol);
}

QIcon applicationIcon()
{
    static const QIcon icon = [] {
        registerIcons();
        return QIcon(QStringLiteral(":/icons/org.tessary.Tessary.svg"));
    }();
    return icon;
}

void installThemeFallback()
{
    // Some platforms (the offscreen one among them) search only the compiled-in icons; add the
    // desktop's icon folders so every window finds the same icons everywhere.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString &folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory)) {
        if (!paths.contains(folder))
            paths.append(folder);
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == u"hicolor")
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

} // namespace Symbols
