#include "paintclock.h"
#include "common/eventwait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

PaintClock::PaintClock(QWidget &window) : m_window(window)
{
    m_clock.start();
    QCoreApplication::instance()->installEventFilter(this);
}

PaintClock::~PaintClock()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool PaintClock::waitForPaintAfter(int seen, int timeoutMs)
{
    const qint64 deadline = now() + qint64(timeoutMs) * 1'000'000;
    while (paints() <= seen) {
        const qint64 left = (deadline - now()) / 1'000'000;
        if (left <= 0)
            return false;
        EventWait::atMost(int(std::min<qint64>(left, 50)));
    }
    return true;
}

void PaintClock::waitUntilQuiet(int quietMs, int timeoutMs)
{
    const qint64 quiet = qint64(quietMs) * 1'000'000;
    const qint64 deadline = now() + qint64(timeoutMs) * 1'000'000;
    qint64 since = now();
    int seen = paints();
    while (now() - since < quiet && now() < deadline) {
        EventWait::atMost(5);
        if (paints() != seen) {
            seen = paints();
            since = now();
        }
    }
}

bool PaintClock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::UpdateRequest || m_delivering)
        return false;
    if (watched != &m_window && watched != m_window.windowHandle())
        return false;
    // Delivered here rather than after the filter returns, so that the time noted is the end
    // of the paint and not its start.
    m_delivering = true;
    watched->event(event);
    m_delivering = false;
    m_times.append(now());
    return true;
}
