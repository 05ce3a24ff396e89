#include "automation/automation.h"

#include "automation/actionsadaptor.h"
#include "automation/runneradaptor.h"
#include "automation/searchprovideradaptor.h"

#include <QDBusConnection>

namespace Automation {

void install(QObject *registeredObject, LibraryStore &store, std::function<void()> showMain,
    std::function<void(const QString &query)> searchInWindow)
{
    const AutomationHooks hooks { std::move(showMain), std::move(searchInWindow), {} };
    QDBusConnection bus = QDBusConnection::sessionBus();
    new ActionsAdaptor(registeredObject, bus, store, hooks);
    if (!bus.isConnected())
        return;
    // Each provider on an object of its own, owned by the registered object.
    auto *provider = new QObject(registeredObject);
    new SearchProviderAdaptor(provider, store, hooks);
    bus.registerObject(SearchProviderAdaptor::objectPath(), provider, QDBusConnection::ExportAdaptors);
    auto *runner = new QObject(registeredObject);
    new RunnerAdaptor(runner, store, hooks);
    bus.registerObject(RunnerAdaptor::objectPath(), runner, QDBusConnection::ExportAdaptors);
}

} // namespace Automation
