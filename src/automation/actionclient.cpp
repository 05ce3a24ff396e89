#include "automation/actionclient.h"

#include "automation/actionsprotocol.h"
#include "platform/fileurl.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QUrl>

namespace {

ActionClient::Outcome failure(const QString &message)
{
    return { 1, QByteArray(), message };
}

// A file URI of the reply as the path's exact bytes and a newline.
bool appendPath(QByteArray &output, const QString &uri)
{
    const std::optional<QByteArray> path = FileUrl::toPath(QUrl(uri, QUrl::StrictMode));
    if (!path)
        return false;
    output += *path + '\n';
    return true;
}

} // namespace

ActionClient::ActionClient(const QDBusConnection &bus, Launcher launcher, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_launcher(std::move(launcher))
{
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(kStartTimeoutMs);
    connect(&m_startTimer, &QTimer::timeout, this,
        [this] { finish(failure(QStringLiteral("Tessary did not start in time."))); });
}

ActionClient::~ActionClient() = default;

void ActionClient::start(const QString &method, const QVariantList &arguments)
{
    m_method = method;
    m_arguments = arguments;
    QDBusConnectionInterface *daemon = m_bus.interface();
    if (!m_bus.isConnected() || daemon == nullptr) {
        finish(failure(QStringLiteral("There is no session bus to reach Tessary on.")));
        return;
    }
    const QString name = ActionsProtocol::serviceName();
    if (daemon->isServiceRegistered(name).value()) {
        call();
        return;
    }
    // The bus starts an activatable service on the first call to it.
    const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
    if (activatable.isValid() && activatable.value().contains(name)) {
        call();
        return;
    }
    m_serviceWatcher = new QDBusServiceWatcher(name, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        m_startTimer.stop();
        call();
    });
    if (!m_launcher || !m_launcher()) {
        finish(failure(QStringLiteral("Tessary could not be started.")));
        return;
    }
    m_startTimer.start();
    // The name may have appeared between the first look and the watcher's subscription.
    if (daemon->isServiceRegistered(name).value()) {
        m_startTimer.stop();
        call();
    }
}

void ActionClient::call()
{
    if (m_called || m_finished)
        return;
    m_called = true;
    QDBusMessage message = QDBusMessage::createMethodCall(
        ActionsProtocol::serviceName(), ActionsProtocol::objectPath(), ActionsProtocol::interfaceName(), m_method);
    message.setArguments(m_arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &ActionClient::replied);
}

void ActionClient::replied(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString name = reply.errorName();
        if (name == ActionsProtocol::noDownloadsError() || name == ActionsProtocol::stillScanningError())
            finish(failure(reply.errorMessage()));
        else
            finish(failure(QStringLiteral("Tessary did not answer: %1").arg(reply.errorMessage())));
        return;
    }
    Outcome outcome;
    bool exact = true;
    for (const QVariant &value : reply.arguments()) {
        if (value.metaType() == QMetaType::fromType<QStringList>()) {
            for (const QString &uri : value.toStringList())
                exact = appendPath(outcome.output, uri) && exact;
        } else if (value.metaType() == QMetaType::fromType<QString>()) {
            exact = appendPath(outcome.output, value.toString()) && exact;
        }
    }
    if (!exact) {
        outcome.status = 1;
        outcome.error = QStringLiteral("Tessary answered with an address that is not a local file.");
    }
    finish(outcome);
}

void ActionClient::finish(const Outcome &outcome)
{
    if (m_finished)
        return;
    m_finished = true;
    m_startTimer.stop();
    Q_EMIT finished(outcome);
}
