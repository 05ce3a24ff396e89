#include "desktoptesting.h"

#include "platform/globalshortcut/kglobalaccelshortcut.h"
#include "platform/desktop/powersource.h"
#include "platform/globalshortcut/portalshortcut.h"
#include "ui/desktop/quicksearchpanel.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QTest>

using namespace DesktopTesting;

namespace {

// The shortcut entries of a BindShortcuts call: id and properties of each.
QList<QPair<QString, QVariantMap>> readShortcuts(const QVariant &value)
{
    QList<QPair<QString, QVariantMap>> shortcuts;
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QPair<QString, QVariantMap> entry;
        argument.beginStructure();
        argument >> entry.first >> entry.second;
        argument.endStructure();
        shortcuts.append(entry);
    }
    argument.endArray();
    return shortcuts;
}

// A stand-in for the desktop portal's GlobalShortcuts interface, served on its own connection:
// it records the calls and answers each request with a Response signal, as the portal does.
class FakePortal : public QDBusVirtualObject
{
public:
    explicit FakePortal(QDBusConnection bus)
        : m_bus(std::move(bus))
    { }

    uint bindResponse = 0;
    QVariantMap sessionOptions;
    QString boundSession;
    QList<QPair<QString, QVariantMap>> shortcuts;
    QStringList closedSessions;
    int sessions = 0;

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString member = message.member();
        if (member == u"CreateSession") {
            sessionOptions = qdbus_cast<QVariantMap>(message.arguments().value(0));
            const QString session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                                        .arg(senderPart(message), sessionOptions.value(QStringLiteral("session_handle_token")).toString());
            ++sessions;
            answer(message, sessionOptions, 0, { { QStringLiteral("session_handle"), session } });
        } else if (member == u"BindShortcuts") {
            boundSession = message.arguments().value(0).value<QDBusObjectPath>().path();
            shortcuts = readShortcuts(message.arguments().value(1));
            answer(message, qdbus_cast<QVariantMap>(message.arguments().value(3)), bindResponse, {});
        } else if (member == u"Close") {
            closedSessions.append(message.path());
            m_bus.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    void activate(const QString &id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(boundSession)) << id << qulonglong(0) << QVariantMap();
        m_bus.send(signal);
    }

private:
    static QString senderPart(const QDBusMessage &message)
    {
        return message.service().mid(1).replace(u'.', u'_');
    }

    // Replies with the request's object path, then sends its Response.
    void answer(const QDBusMessage &message, const QVariantMap &options, uint response, const QVariantMap &results)
    {
        const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                    .arg(senderPart(message), options.value(QStringLiteral("handle_token")).toString());
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        m_bus.send(signal);
    }

    QDBusConnection m_bus;
};

// A stand-in for KDE's global accelerator service.
class FakeKGlobalAccel : public QDBusVirtualObject
{
public:
    static constexpr const char *kComponentPath = "/component/org_tessary_Tessary";

    explicit FakeKGlobalAccel(QDBusConnection bus)
        : m_bus(std::move(bus))
    { }

    bool keyTaken = false;
    QStringList registered;
    QList<int> keys;
    uint flags = 0;

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString member = message.member();
        if (member == u"doRegister") {
            registered = message.arguments().value(0).toStringList();
            m_bus.send(message.createReply());
        } else if (member == u"setShortcut") {
            keys = qdbus_cast<QList<int>>(message.arguments().value(1));
            flags = message.arguments().value(2).toUInt();
            m_bus.send(message.createReply(QVariant::fromValue(keyTaken ? QList<int>() : keys)));
        } else if (member == u"getComponent") {
            m_bus.send(message.createReply(
                QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kComponentPath)))));
        } else if (member == u"setInactive") {
            m_bus.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    void press(const QString &action)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kComponentPath),
            QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("globalShortcutPressed"));
        signal << QStringLiteral("org.tessary.Tessary") << action << qlonglong(0);
        m_bus.send(signal);
    }

private:
    QDBusConnection m_bus;
};

// UPower's daemon object, as far as Tessary reads it.
class FakeUPower : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower")
    Q_PROPERTY(bool OnBattery MEMBER onBattery)

public:
    bool onBattery = true;
};

GlobalShortcut::Factory portal()
{
    return [] { return std::make_unique<PortalShortcut>(); };
}

GlobalShortcut::Factory kglobalaccel()
{
    return [] { return std::make_unique<KGlobalAccelShortcut>(); };
}

} // namespace

// The desktop services' shortcut backends against fake services on a private session bus (run
// under dbus-run-session).
class DesktopBusTest : public QObject
{
    Q_OBJECT

    StoreTesting::StoreEnvironment m_environment;
    QDBusConnection m_fakeBus { QString() };

    // Serves `object` under `service` at `path` (and below) until the test function ends.
    template <typename Fake> std::unique_ptr<Fake> serve(const QString &service, const QString &path)
    {
        auto fake = std::make_unique<Fake>(m_fakeBus);
        if (!m_fakeBus.registerService(service) || !m_fakeBus.registerVirtualObject(path, fake.get(), QDBusConnection::SubPath))
            return nullptr;
        return fake;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus: run under dbus-run-session");
        m_fakeBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-services"));
        QVERIFY(m_fakeBus.isConnected());
    }

    void cleanup()
    {
        for (const char *service : { "org.freedesktop.portal.Desktop", "org.kde.kglobalaccel" })
            m_fakeBus.unregisterService(QString::fromLatin1(service));
        m_fakeBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"), QDBusConnection::UnregisterTree);
        m_fakeBus.unregisterObject(QStringLiteral("/kglobalaccel"), QDBusConnection::UnregisterTree);
    }

    void portalBindsThePreferredTriggerAndAnswersActivation()
    {
        auto fake = serve<FakePortal>(QStringLiteral("org.freedesktop.portal.Desktop"),
            QStringLiteral("/org/freedesktop/portal/desktop"));
        QVERIFY(fake);
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services({ portal(), kglobalaccel() });
        services.configure(store, [] { });

        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Shift+Ctrl+Space"));
        QVERIFY(fake->sessionOptions.contains(QStringLiteral("handle_token")));
        QVERIFY(fake->sessionOptions.contains(QStringLiteral("session_handle_token")));
        QVERIFY(fake->boundSession.startsWith(u"/org/freedesktop/portal/desktop/session/"));
        QCOMPARE(fake->shortcuts.size(), 1);
        QCOMPARE(fake->shortcuts[0].first, QStringLiteral("quick-search"));
        QCOMPARE(fake->shortcuts[0].second.value(QStringLiteral("preferred_trigger")).toString(),
            QStringLiteral("CTRL+SHIFT+space"));

        fake->activate(QStringLiteral("something-else"));
        fake->activate(QStringLiteral("quick-search"));
        QTRY_VERIFY(services.panel() && services.panel()->isVisible());
        fake->activate(QStringLiteral("quick-search"));
        QTRY_VERIFY(!services.panel()->isVisible());

        // A new combination gets a new session; the old one is closed.
        const QString first = fake->boundSession;
        QCOMPARE(
            services.setShortcut(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier), DesktopServices::Recording::stored);
        QTRY_COMPARE(fake->sessions, 2);
        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Alt+Ctrl+K"));
        QCOMPARE(fake->shortcuts[0].second.value(QStringLiteral("preferred_trigger")).toString(),
            QStringLiteral("CTRL+ALT+k"));
        QTRY_COMPARE(fake->closedSessions, QStringList { first });
    }

    void portalRefusalShowsItsResponseCode()
    {
        auto fake = serve<FakePortal>(QStringLiteral("org.freedesktop.portal.Desktop"),
            QStringLiteral("/org/freedesktop/portal/desktop"));
        QVERIFY(fake);
        fake->bindResponse = 2;
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services({ portal(), kglobalaccel() });
        services.configure(store, [] { });
        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Shortcut unavailable (2). Choose another combination."));
    }

    void kglobalaccelServesWhenThereIsNoPortal()
    {
        auto fake = serve<FakeKGlobalAccel>(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"));
        QVERIFY(fake);
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services({ portal(), kglobalaccel() });
        services.configure(store, [] { });

        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Shift+Ctrl+Space"));
        QCOMPARE(fake->registered, StoreTesting::strings({ "org.tessary.Tessary", "quick-search", "Tessary", "Quick Search" }));
        QCOMPARE(fake->keys, QList<int> { (Qt::SHIFT | Qt::CTRL | Qt::Key_Space).toCombined() });
        QCOMPARE(fake->flags, 6u);

        fake->press(QStringLiteral("another-action"));
        fake->press(QStringLiteral("quick-search"));
        QTRY_VERIFY(services.panel() && services.panel()->isVisible());
    }

    void kglobalaccelKeyInUseIsARefusal()
    {
        auto fake = serve<FakeKGlobalAccel>(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"));
        QVERIFY(fake);
        fake->keyTaken = true;
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services({ portal(), kglobalaccel() });
        services.configure(store, [] { });
        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Shortcut unavailable (in use). Choose another combination."));
    }

    void powerSourceFollowsUPower()
    {
        const QString service = QStringLiteral("org.freedesktop.UPower");
        const QString path = QStringLiteral("/org/freedesktop/UPower");
        const auto announce = [&](const QVariantMap &changed, const QStringList &invalidated) {
            QDBusMessage signal = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
            QVERIFY(m_fakeBus.send(signal << service << changed << invalidated));
        };
        PowerSource power(QDBusConnection::sessionBus());
        FakeUPower upower;
        QVERIFY(m_fakeBus.registerObject(path, &upower, QDBusConnection::ExportAllProperties));
        QVERIFY(m_fakeBus.registerService(service));
        QTRY_VERIFY(power.onBattery());

        // A value arrives with the signal, or is asked for again when only its name does.
        announce({ { QStringLiteral("OnBattery"), false } }, {});
        QTRY_VERIFY(!power.onBattery());
        announce({}, { QStringLiteral("OnBattery") });
        QTRY_VERIFY(power.onBattery());

        // Without UPower: mains power.
        QVERIFY(m_fakeBus.unregisterService(service));
        m_fakeBus.unregisterObject(path);
        QTRY_VERIFY(!power.onBattery());
    }
};

QTEST_MAIN(DesktopBusTest)
#include "desktopbustest.moc"
