#pragma once

#include "automation/automationhooks.h"
#include "automation/scanwait.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

#include <functional>

class LibraryStore;
struct FileRecord;

// The org.tessary.Tessary.Actions interface of the running instance: find files, get the latest
// download and open a search, on the one store of the application.
//
// Every call first brings the main window forward. FindFiles and LatestDownload answer from the
// live library at once; while a scan runs, or changes noticed in the folders are still being
// read, they wait for it (see ScanWait) with a delayed reply, so the event loop, the scan and the
// window go on meanwhile; a scan still running after the wait fails the call with
// org.tessary.Tessary.Error.StillScanning. Files are lossless file:// URIs of the records' paths.
//
// Main thread only. The adaptor is a child of the object registered on the bus. The store should
// outlive both; one destroyed during a wait fails that call instead of crashing.
class ActionsAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tessary.Tessary.Actions")

public:
    using Hooks = AutomationHooks;

    // `bus` is the connection `registeredObject` is registered on, where the replies go.
    ActionsAdaptor(QObject *registeredObject, const QDBusConnection &bus, LibraryStore &store, Hooks hooks,
        ScanWait::Timing timing = {});
    ~ActionsAdaptor() override;

public Q_SLOTS:
    // The trailing message is the call itself (not part of the D-Bus signature).
    QStringList FindFiles(const QString &query, const QDBusMessage &call);
    QString LatestDownload(const QDBusMessage &call);
    void SearchInTessary(const QString &query);

private:
    // Local files among `found`, newest first as given, at most 100, as file:// URIs.
    static QStringList foundUris(const QList<FileRecord> &found);
    // The newest local download among `recent` (newest first), as a file:// URI; empty if none.
    static QString latestLocalUri(const QList<FileRecord> &recent);
    using Answer = std::function<QDBusMessage(LibraryStore &store, const QDBusMessage &call)>;
    // Replies to the current call once the store stopped scanning, with what `answer` makes of
    // it then, or with the StillScanning error when the wait ran out.
    void answerAfterScan(const QDBusMessage &call, Answer answer);
    void showMain() const;

    QDBusConnection m_bus;
    QPointer<LibraryStore> m_store;
    Hooks m_hooks;
    ScanWait::Timing m_timing;
};
