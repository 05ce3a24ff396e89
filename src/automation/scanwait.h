#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>

class LibraryStore;

// Waits, without blocking the event loop, until a store is no longer scanning and has no
// noticed changes left to read (those take about a second), for at most `step` x `maxLooks`.
//
// Main thread only. The wait deletes itself after reporting, and reports exactly once: finished
// true when the store settled, false when it was still busy at the end or was destroyed
// meanwhile. A store that is settled is reported at once, before start() returns, so the live
// library answers without any wait.
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
    static bool busy(const LibraryStore &store);
    void look();
    void report(bool finished);

    QPointer<LibraryStore> m_store;
    Done m_done;
    QTimer m_deadline;
};
