#pragma once

#include "automation/automationhooks.h"

#include <QDBusAbstractAdaptor>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

class LibraryStore;

// GNOME Shell's search provider interface (org.gnome.Shell.SearchProvider2) over the library:
// results are the newest 20 matches of the store's search, named by their file:// URIs, shown
// with the file's name, its folder as description and its type's icon. Activating a result opens
// the file; "launch search" shows Tessary searching for the terms.
//
// Main thread only. The adaptor is a child of the object registered at the provider's path.
class SearchProviderAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")

public:
    static QString objectPath() { return QStringLiteral("/org/tessary/Tessary/SearchProvider"); }

    SearchProviderAdaptor(QObject *registeredObject, LibraryStore &store, AutomationHooks hooks);
    ~SearchProviderAdaptor() override;

public Q_SLOTS:
    QStringList GetInitialResultSet(const QStringList &terms);
    QStringList GetSubsearchResultSet(const QStringList &previousResults, const QStringList &terms);
    QList<QVariantMap> GetResultMetas(const QStringList &identifiers);
    void ActivateResult(const QString &identifier, const QStringList &terms, uint timestamp);
    void LaunchSearch(const QStringList &terms, uint timestamp);

private:
    QPointer<LibraryStore> m_store;
    AutomationHooks m_hooks;
};
