#include "ui/desktop/downloadstray.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/desktop/desktopservices.h"
#include "ui/desktop/downloadspanel.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

namespace {

// A Wayland client cannot place a window at the pointer; there the panel is a small window.
bool canPlacePopups()
{
    return !QGuiApplication::platformName().startsWith(u"wayland");
}

} // namespace

DownloadsTray::DownloadsTray(LibraryStore &store, DesktopServices &services, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_services(services)
    , m_menu(std::make_unique<QMenu>())
{
    m_quickSearch = m_menu->addAction(QString(), &services, &DesktopServices::toggleSearch);
    m_menu->addAction(QStringLiteral("Open Tessary"), &services, &DesktopServices::showMain);
    m_menu->addAction(QStringLiteral("Settings…"), &services, &DesktopServices::showSettings);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);
    updateMenuText();
    connect(m_menu.get(), &QMenu::aboutToShow, this, &DownloadsTray::updateMenuText);
    connect(&m_store, &LibraryStore::hotKeyChanged, this, &DownloadsTray::updateMenuText);
    connect(&m_store, &LibraryStore::menuBarEnabledChanged, this, &DownloadsTray::followSetting);
    followSetting();
}

DownloadsTray::~DownloadsTray() = default;

bool DownloadsTray::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void DownloadsTray::followSetting()
{
    if (!m_store.menuBarEnabled()) {
        m_icon.reset();
        if (m_panel)
            m_panel->hide();
        return;
    }
    if (m_icon)
        return;
    m_icon = std::make_unique<QSystemTrayIcon>(Symbols::applicationIcon());
    m_icon->setToolTip(QStringLiteral("Tessary"));
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showPanel(QCursor::pos());
    });
    m_icon->show();
}

void DownloadsTray::updateMenuText()
{
    m_quickSearch->setText(DownloadsPanel::quickSearchText(m_services.shortcutLabel()));
}

void DownloadsTray::showPanel(const QPoint &point)
{
    if (!m_panel) {
        const bool popup = canPlacePopups();
        m_panel = std::make_unique<DownloadsPanel>(m_store, m_services);
        m_panel->setWindowFlags(popup ? Qt::Popup : Qt::Tool);
        m_panel->setWindowTitle(QStringLiteral("Latest downloads"));
        connect(m_panel.get(), &DownloadsPanel::actionTaken, m_panel.get(), &QWidget::hide);
    }
    if (m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    m_panel->adjustSize();
    if (QScreen *screen = QGuiApplication::screenAt(point) ? QGuiApplication::screenAt(point)
                                                           : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        QRect frame(point, m_panel->size());
        // Open towards the inside of the screen: below a top panel, above a bottom one.
        if (frame.bottom() > area.bottom())
            frame.moveBottom(point.y());
        if (frame.right() > area.right())
            frame.moveRight(point.x());
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height() + 1)));
        m_panel->move(frame.topLeft());
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}
