#include "common/eventwait.h"

#include <QCoreApplication>
#include <QTimer>

void EventWait::atMost(int maxMs)
{
    // The timer's event ends the wait when nothing else arrives.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
