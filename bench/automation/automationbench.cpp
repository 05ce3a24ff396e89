// Times the round trips of the desktop-facing D-Bus calls on 50,000 records with 50 MB of indexed
// text: FindFiles of org.tessary.Tessary.Actions and GetInitialResultSet of the GNOME Shell
// search provider, each called from a second bus connection as another process would.
// Run under dbus-run-session.

#include "automation/actionsadaptor.h"
#include "automation/actionsprotocol.h"
#include "automation/searchprovideradaptor.h"
#include "common/syntheticlibrary.h"
#include "store/librarystore.h"
#include "common/eventwait.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 50'000;
constexpr qint64 kTextBytes = 50'000'000;
constexpr int kCalls = 60;
constexpr double kTargetMs = 20;

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[size_t(share * double(values.size() - 1))];
}

// One call's round trip in milliseconds, with the event loop running so the served objects of
// this process can answer; negative when it failed.
double roundTrip(QDBusConnection &client, const QString &path, const QString &interface, const QString &method,
    const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(ActionsProtocol::serviceName(), path, interface, method);
    message.setArguments(arguments);
    QElapsedTimer clock;
    clock.start();
    QDBusPendingCallWatcher watcher(client.asyncCall(message, 30'000));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    return watcher.isError() ? -1 : ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "tessary-bench-automation: no session bus (run it under dbus-run-session)\n");
        return 2;
    }

    SeededRandom random(1);
    const Vocabulary vocabulary(random);
    const SyntheticLibrary library = SyntheticLibrary::generate(vocabulary, random, kRecords, kTextBytes,
        { { QStringLiteral("invoice"), 0.05 }, { QStringLiteral("acme"), 0.25 } });
    TextIndex index;
    for (qsizetype i = 0; i < library.records.size(); ++i) {
        const FileRecord &r = library.records[i];
        index.insert(r.path, TextEntry { r.modified.secondsSinceReferenceDate(), r.size, library.content[i], false });
    }
    LibraryStore::Setup setup;
    setup.settingsFile = QDir::temp().filePath(QStringLiteral("tessary-bench-automation-defaults.json"));
    LibraryStore store(setup);
    store.setFiles(library.records);
    store.setTextIndex(index);
    while (!store.viewsPrepared())
        EventWait::atMost(50);

    QObject instance;
    QObject provider;
    new ActionsAdaptor(&instance, bus, store, {});
    new SearchProviderAdaptor(&provider, store, {});
    if (!bus.registerObject(ActionsProtocol::objectPath(), &instance, QDBusConnection::ExportAdaptors)
        || !bus.registerObject(SearchProviderAdaptor::objectPath(), &provider, QDBusConnection::ExportAdaptors)
        || !bus.registerService(ActionsProtocol::serviceName())) {
        std::fprintf(stderr, "tessary-bench-automation: could not serve org.tessary.Tessary\n");
        return 2;
    }
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));

    struct Case
    {
        const char *what;
        QString path;
        QString interface;
        QString method;
        QVariantList arguments;
    };
    const QString providerInterface = QStringLiteral("org.gnome.Shell.SearchProvider2");
    const std::vector<Case> cases = {
        { "FindFiles \"invoice\" (text of 5 % of the files)", ActionsProtocol::objectPath(),
            ActionsProtocol::interfaceName(), QStringLiteral("FindFiles"), { QStringLiteral("invoice") } },
        { "FindFiles \"acme\" (text of 25 % of the files)", ActionsProtocol::objectPath(),
            ActionsProtocol::interfaceName(), QStringLiteral("FindFiles"), { QStringLiteral("acme") } },
        { "GetInitialResultSet [\"invoice\"]", SearchProviderAdaptor::objectPath(), providerInterface,
            QStringLiteral("GetInitialResultSet"), { QStringList { QStringLiteral("invoice") } } },
        { "GetInitialResultSet [\"acme\"]", SearchProviderAdaptor::objectPath(), providerInterface,
            QStringLiteral("GetInitialResultSet"), { QStringList { QStringLiteral("acme") } } },
    };

    std::printf("D-Bus round trips over %d records and %.1f MB of indexed text, %d calls each, median / 99th "
                "percentile (target: median at most %.0f ms):\n",
        kRecords, double(library.textBytes) / 1e6, kCalls, kTargetMs);
    bool met = true;
    for (const Case &c : cases) {
        std::vector<double> times;
        for (int i = 0; i < kCalls; ++i) {
            const double ms = roundTrip(client, c.path, c.interface, c.method, c.arguments);
            if (ms < 0) {
                std::fprintf(stderr, "tessary-bench-automation: %s failed\n", c.what);
                return 1;
            }
            times.push_back(ms);
        }
        const double median = percentile(times, 0.5);
        const bool pass = median <= kTargetMs;
        met = met && pass;
        std::printf("  %-48s %7.2f ms %7.2f ms  %s\n", c.what, median, percentile(times, 0.99), pass ? "PASS" : "FAIL");
    }
    // The share of the store's own search in those round trips.
    for (const QString &query : { QStringLiteral("invoice"), QStringLiteral("acme") }) {
        std::vector<double> times;
        for (int i = 0; i < kCalls; ++i) {
            QElapsedTimer clock;
            clock.start();
            const QList<FileRecord> found = store.searchFiles(query);
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("  of which LibraryStore::searchFiles \"%s\" alone%*s %7.2f ms\n", qPrintable(query),
            int(16 - query.size()), "", percentile(times, 0.5));
    }
    return met ? 0 : 1;
}
