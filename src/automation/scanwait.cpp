#include "automation/scanwait.h"

#include "store/librarystore.h"

void ScanWait::start(LibraryStore &store, Timing timing, QObject *context, Done done)
{
    if (!store.scanning()) {
        done(true);
        return;
    }
    new ScanWait(store, timing, context, std::move(done));
}

ScanWait::ScanWait(LibraryStore &store, Timing timing, QObject *context, Done done)
    : QObject(context)
    , m_store(&store)
    , m_timing(timing)
    , m_done(std::move(done))
{
    // A precise timer: a coarse one may stretch each step by up to 5 %.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(m_timing.step);
    connect(&m_timer, &QTimer::timeout, this, &ScanWait::look);
    m_timer.start();
}

void ScanWait::look()
{
    ++m_looks;
    if (m_store.isNull()) {
        report(false);
        return;
    }
    if (!m_store->scanning())
        report(true);
    else if (m_looks >= m_timing.maxLooks)
        report(false);
}

void ScanWait::report(bool finished)
{
    m_timer.stop();
    const Done done = std::move(m_done);
    deleteLater();
    done(finished);
}
