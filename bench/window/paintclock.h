#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>


class QWidget;

// Notes when the paints of one top-level window complete. Installed as an application-wide event
// filter, it takes the update requests meant for the window (posted to its QWindow or to the
// top-level widget, whichever the toolkit uses), delivers them itself and notes the time once
// delivery returns, that is once the widgets were painted and the backing store flushed to the
// display. Nothing else about the delivery changes.
//
// Times are nanoseconds on the clock's own timeline (started when the clock is made). Main
// thread only; the window must outlive the clock.
class PaintClock : public QObject
{
public:
    explicit PaintClock(QWidget &window);
    ~PaintClock() override;

    qint64 now() const { return m_clock.nsecsElapsed(); }
    // Paints completed so far.
    int paints() const { return int(m_times.size()); }
    // When paint number `index` (counted from 0) completed.
    qint64 paintTime(int index) const { return m_times.at(index); }
    // When the latest paint completed; 0 before the first.
    qint64 lastPaint() const { return m_times.isEmpty() ? 0 : m_times.constLast(); }
    // Runs the event loop until more than `seen` paints have completed; false when `timeoutMs`
    // passed first.
    bool waitForPaintAfter(int seen, int timeoutMs = 5000);
    // Runs the event loop until no paint has completed for `quietMs`, or `timeoutMs` passed.
    void waitUntilQuiet(int quietMs, int timeoutMs = 10000);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    QElapsedTimer m_clock;
    QList<qint64> m_times;
    bool m_delivering = false;
};
