#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

// Measures how long the main thread's event loop is kept from running: a 1 ms precise timer
// notes the time between its ticks; the longest gap, less the interval, is the longest stall.
class EventLoopWatch : public QObject
{
public:
    EventLoopWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = threadCpuNanoseconds();
            const qint64 waited = runQueueNanoseconds();
            if (now - m_last > m_longest) {
                m_longest = now - m_last;
                m_longestCpu = cpu - m_lastCpu;
                m_longestWaited = waited - m_lastWaited;
            }
            m_last = now;
            m_lastCpu = cpu;
            m_lastWaited = waited;
            ++m_ticks;
        });
    }
    ~EventLoopWatch() override
    {
        if (m_schedstat >= 0)
            ::close(m_schedstat);
    }
    EventLoopWatch(const EventLoopWatch &) = delete;
    EventLoopWatch &operator=(const EventLoopWatch &) = delete;

    void start()
    {
        m_longest = 0;
        m_ticks = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNanoseconds();
        m_longestCpu = 0;
        m_lastWaited = runQueueNanoseconds();
        m_longestWaited = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestStallMs() const { return std::max<double>(0, double(m_longest) / 1e6 - 1.0); }
    qint64 ticks() const { return m_ticks; }
    // Main-thread processor time within the longest gap.
    double longestStallCpuMs() const { return double(m_longestCpu) / 1e6; }
    // Time the main thread was ready to run but waited for a processor within the longest gap
    // (the rest of the gap it worked or slept, for example on a lock or the display server).
    double longestStallWaitMs() const { return double(m_longestWaited) / 1e6; }

private:
    static qint64 threadCpuNanoseconds()
    {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    // The second field of the thread's schedstat: nanoseconds spent runnable on a run queue.
    qint64 runQueueNanoseconds() const
    {
        char text[96] = {};
        if (m_schedstat < 0 || ::pread(m_schedstat, text, sizeof text - 1, 0) <= 0)
            return 0;
        long long running = 0;
        long long waiting = 0;
        return std::sscanf(text, "%lld %lld", &running, &waiting) == 2 ? waiting : 0;
    }

    int m_schedstat = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;
    qint64 m_lastWaited = 0;
    qint64 m_longestWaited = 0;
    qint64 m_ticks = 0;
};
