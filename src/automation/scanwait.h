#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>

class LibraryStore;

// Waits, without blocking the event loop, until a store is no longer scanning: it looks every
// `step` for at most `maxLooks` times, then gives up.
//
// Main thread only. The wait deletes itself after reporting, and reports exactly once: finished
// true when the store stopped scanning, false when it still scanned after the last look or was
// destroyed meanwhile. A store that is not scanning is reported at once, before start() returns.
class ScanWait : public QObject
{
    Q_OBJECT

public:
    struct Timing
    {
        std::chrono::milliseconds step { 100 };
        int maxLooks = 300;
    };
    using Done = std::function<void(bool finished)>;

    // The wait is a child of `context`: destroying the context abandons it without a report.
    static void start(LibraryStore &store, Timing timing, QObject *context, Done done);

private:
    ScanWait(LibraryStore &store, Timing timing, QObject *context, Done done);
    void look();
    void report(bool finished);

    QPointer<LibraryStore> m_store;
    Timing m_timing;
    Done m_done;
    QTimer m_timer;
    int m_looks = 0;
};
