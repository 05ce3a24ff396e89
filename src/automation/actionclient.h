#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <QVariantList>

#include <functional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// Calls one method of org.tessary.Tessary.Actions on the running instance, starting Tessary
// first when nobody owns its name: through D-Bus activation when the bus can activate it, else
// through `launcher` (which starts the program) and then waiting for the name to appear.
//
// Asynchronous: start() returns at once and finished() is emitted exactly once. Main thread.
class ActionClient : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        // 0 on success, 1 on failure.
        int status = 0;
        // The reply: file paths (exact bytes), one per line.
        QByteArray output;
        // The failure's message, for standard error.
        QString error;
    };
    // Starts the application; false when it could not be started.
    using Launcher = std::function<bool()>;

    // Long enough for the running instance's 30-second wait for a scan.
    static constexpr int kCallTimeoutMs = 60'000;
    static constexpr int kStartTimeoutMs = 30'000;

    ActionClient(const QDBusConnection &bus, Launcher launcher, QObject *parent = nullptr);
    ~ActionClient() override;

    void start(const QString &method, const QVariantList &arguments);
    void setStartTimeout(int milliseconds) { m_startTimer.setInterval(milliseconds); }

Q_SIGNALS:
    void finished(const ActionClient::Outcome &outcome);

private:
    void call();
    void replied(QDBusPendingCallWatcher *watcher);
    void finish(const Outcome &outcome);

    QDBusConnection m_bus;
    Launcher m_launcher;
    QString m_method;
    QVariantList m_arguments;
    QDBusServiceWatcher *m_serviceWatcher = nullptr;
    QTimer m_startTimer;
    bool m_called = false;
    bool m_finished = false;
};
