#include "ui/desktop/quicksearchpanel.h"

#include "ui/desktop/desktopservices.h"
#include "ui/desktop/quicksearchview.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

QuickSearchPanel::QuickSearchPanel(LibraryStore &store, DesktopServices &services)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_view(new QuickSearchView(store, this))
{
    setWindowTitle(QStringLiteral("Quick Search"));
    setAccessibleName(windowTitle());
    setFixedSize(kSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(m_view);
    connect(m_view, &QuickSearchView::dismissRequested, this, &QWidget::hide);
    connect(m_view, &QuickSearchView::showMainRequested, &services, &DesktopServices::showMain);
}

void QuickSearchPanel::showCentred(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(), kSize);
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
    m_view->prepareToShow();
}

void QuickSearchPanel::paintEvent(QPaintEvent *)
{
    // A hairline edge: without a frame the panel would melt into a window of the same colour.
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
