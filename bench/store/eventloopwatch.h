#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <ctime>

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
            if (now - m_last > m_longest) {
                m_longest = now - m_last;
                m_longestCpu = cpu - m_lastCpu;
            }
            m_last = now;
            m_lastCpu = cpu;
            ++m_ticks;
        });
    }
    void start()
    {
        m_longest = 0;
        m_ticks = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNanoseconds();
        m_longestCpu = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestStallMs() const { return std::max<double>(0, double(m_longest) / 1e6 - 1.0); }
    qint64 ticks() const { return m_ticks; }
    // Main-thread processor time within the longest gap.
    double longestStallCpuMs() const { return double(m_longestCpu) / 1e6; }

private:
    static qint64 threadCpuNanoseconds()
    {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;
    qint64 m_ticks = 0;
};
