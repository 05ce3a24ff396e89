#include "ui/common/deferredupdate.h"

#include <QApplication>

DeferredUpdate::DeferredUpdate(QObject *owner, std::function<void()> update)
    : QObject(owner)
    , m_update(std::move(update))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &DeferredUpdate::run);
}

void DeferredUpdate::schedule()
{
    // A retry already waiting keeps its delay: the interaction is most likely still going on.
    if (!m_timer.isActive())
        m_timer.start(0);
}

void DeferredUpdate::run()
{
    if (QApplication::activePopupWidget() != nullptr || QGuiApplication::mouseButtons() != Qt::NoButton) {
        m_timer.start(kRetryMs);
        return;
    }
    m_timer.stop();
    m_update();
}
