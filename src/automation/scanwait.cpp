#include "automation/scanwait.h"

#include "store/librarystore.h"

bool ScanWait::busy(const LibraryStore &store)
{
    return store.scanning() || store.updating();
}

void ScanWait::start(LibraryStore &store, Timing timing, QObject *context, Done done)
{
    if (!busy(store)) {
        done(true);
        return;
    }
    new ScanWait(store, timing, context, std::move(done));
}

ScanWait::ScanWait(LibraryStore &store, Timing timing, QObject *context, Done done)
    : QObject(context)
    , m_store(&store)
    , m_done(std::move(done))
{
    // The answer goes out as soon as the store settles; the deadline ends a wait that lasts.
    connect(&store, &LibraryStore::scanningChanged, this, &ScanWait::look);
    connect(&store, &LibraryStore::updatingChanged, this, &ScanWait::look);
    connect(&store, &QObject::destroyed, this, [this] { report(false); });
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    m_deadline.setInterval(timing.step * timing.maxLooks);
    connect(&m_deadline, &QTimer::timeout, this, [this] { report(!m_store.isNull() && !busy(*m_store)); });
    m_deadline.start();
}

void ScanWait::look()
{
    if (!m_store.isNull() && !busy(*m_store))
        report(true);
}

void ScanWait::report(bool finished)
{
    if (!m_done)
        return;
    m_deadline.stop();
    const Done done = std::move(m_done);
    m_done = nullptr;
    deleteLater();
    done(finished);
}
