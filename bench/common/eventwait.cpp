#include "common/eventwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

void EventWait::atMost(int maxMs)
{
    // The timer's event ends the wait when nothing else arrives.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool EventWait::until(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        atMost(5);
    }
    return true;
}
