#include "automation/actionsadaptor.h"

#include "automation/actionsprotocol.h"
#include "automation/desktopsearch.h"
#include "platform/fileurl.h"
#include "store/librarystore.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// What the actions may hand out: a file whose contents can be read now, not a cloud
// placeholder, and not a package folder.
bool isDeliverable(const FileRecord &file)
{
    return !file.isCloudOnly && !file.isPackage;
}

QString uriOf(const FileRecord &file)
{
    return QString::fromLatin1(FileUrl::encoded(file.path));
}

} // namespace

ActionsAdaptor::ActionsAdaptor(
    QObject *registeredObject, const QDBusConnection &bus, LibraryStore &store, Hooks hooks, ScanWait::Timing timing)
    : QDBusAbstractAdaptor(registeredObject)
    , m_bus(bus)
    , m_store(&store)
    , m_hooks(std::move(hooks))
    , m_timing(timing)
{ }

ActionsAdaptor::~ActionsAdaptor() = default;

QStringList ActionsAdaptor::foundUris(const QList<FileRecord> &found)
{
    QStringList uris;
    for (const FileRecord &file : found) {
        if (uris.size() == ActionsProtocol::kMaxFoundFiles)
            break;
        if (isDeliverable(file))
            uris.append(uriOf(file));
    }
    return uris;
}

QString ActionsAdaptor::latestLocalUri(const QList<FileRecord> &recent)
{
    for (const FileRecord &file : recent)
        if (isDeliverable(file))
            return uriOf(file);
    return QString();
}

QStringList ActionsAdaptor::FindFiles(const QString &query, const QDBusMessage &call)
{
    showMain();
    answerAfterScan(call, [query](LibraryStore &store, const QDBusMessage &request) {
        return request.createReply(foundUris(store.searchFiles(query)));
    });
    return QStringList();
}

QString ActionsAdaptor::LatestDownload(const QDBusMessage &call)
{
    showMain();
    answerAfterScan(call, [](LibraryStore &store, const QDBusMessage &request) {
        const QString uri = latestLocalUri(store.recentDownloads());
        if (uri.isEmpty())
            return request.createErrorReply(ActionsProtocol::noDownloadsError(), ActionsProtocol::noDownloadsMessage());
        return request.createReply(uri);
    });
    return QString();
}

void ActionsAdaptor::SearchInTessary(const QString &query)
{
    if (m_store.isNull())
        showMain();
    else
        DesktopSearch::showSearch(*m_store, m_hooks, query);
}

void ActionsAdaptor::answerAfterScan(const QDBusMessage &call, Answer answer)
{
    QDBusConnection bus = m_bus;
    call.setDelayedReply(true);
    const auto stillScanning = [call] {
        return call.createErrorReply(ActionsProtocol::stillScanningError(), ActionsProtocol::stillScanningMessage());
    };
    if (m_store.isNull()) {
        bus.send(stillScanning());
        return;
    }
    ScanWait::start(*m_store, m_timing, this,
        [store = m_store, call, bus, answer = std::move(answer), stillScanning](
            bool finished) mutable { bus.send(finished && !store.isNull() ? answer(*store, call) : stillScanning()); });
}

void ActionsAdaptor::showMain() const
{
    if (m_hooks.showMain)
        m_hooks.showMain();
}
