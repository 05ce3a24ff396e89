#pragma once

#include "automation/actionsprotocol.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTest>

// Calls a method of the service org.tessary.Tessary from a second connection, as another
// process would, and keeps the event loop running until the reply arrives, so that objects
// served from the test's own process can answer.
inline QDBusMessage callOverBus(
    const QString &path, const QString &interface, const QString &method, const QVariantList &arguments = {})
{
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QDBusMessage message = QDBusMessage::createMethodCall(ActionsProtocol::serviceName(), path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCallWatcher watcher(client.asyncCall(message, 20'000));
    bool done = false;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, [&done] { done = true; });
    if (!QTest::qWaitFor([&done] { return done; }, 20'000))
        qWarning("no reply to %s", qPrintable(method));
    return watcher.reply();
}
