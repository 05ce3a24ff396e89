#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs `update` on the next turn of the event loop, once however often it was scheduled in this
// one, so a burst of store changes (navigate() makes several) costs one update. While a menu is
// open or a mouse button is down it waits and tries again 200 ms later, so a widget the menu or a
// drag came from is never deleted under it: an update may rebuild what it likes. Main thread only.
class DeferredUpdate : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRetryMs = 200;

    DeferredUpdate(QObject *owner, std::function<void()> update);

    void schedule();
    // Schedules on every emission of each of `signals` of `sender`.
    template <typename Sender, typename... Signals> void follow(const Sender *sender, Signals... signals)
    {
        (connect(sender, signals, this, &DeferredUpdate::schedule), ...);
    }

private:
    void run();

    QTimer m_timer;
    std::function<void()> m_update;
};
