#include "automation/searchprovideradaptor.h"

#include "automation/desktopsearch.h"
#include "store/librarystore.h"

#include <QDBusMetaType>

SearchProviderAdaptor::SearchProviderAdaptor(QObject *registeredObject, LibraryStore &store, AutomationHooks hooks)
    : QDBusAbstractAdaptor(registeredObject)
    , m_store(&store)
    , m_hooks(std::move(hooks))
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

SearchProviderAdaptor::~SearchProviderAdaptor() = default;

QStringList SearchProviderAdaptor::GetInitialResultSet(const QStringList &terms)
{
    QStringList ids;
    if (m_store.isNull())
        return ids;
    for (const DesktopSearch::Hit &hit : DesktopSearch::find(*m_store, DesktopSearch::queryOf(terms)))
        ids.append(hit.id);
    return ids;
}

QStringList SearchProviderAdaptor::GetSubsearchResultSet(const QStringList &, const QStringList &terms)
{
    // Searched afresh: a narrower search may reach matches beyond the earlier top 20.
    return GetInitialResultSet(terms);
}

QList<QVariantMap> SearchProviderAdaptor::GetResultMetas(const QStringList &identifiers)
{
    QList<QVariantMap> metas;
    if (m_store.isNull())
        return metas;
    for (const DesktopSearch::Hit &hit : DesktopSearch::describe(DesktopSearch::recordsOf(*m_store, identifiers))) {
        QVariantMap meta;
        meta.insert(QStringLiteral("id"), hit.id);
        meta.insert(QStringLiteral("name"), hit.name);
        meta.insert(QStringLiteral("description"), hit.folder);
        // A serialized themed icon with its fallback names, as the shell reads it.
        meta.insert(QStringLiteral("gicon"), QString(QStringLiteral(". GThemedIcon ") + hit.icons.join(u' ')));
        metas.append(meta);
    }
    return metas;
}

void SearchProviderAdaptor::ActivateResult(const QString &identifier, const QStringList &, uint)
{
    if (m_store.isNull())
        return;
    // Only a file the library holds is opened: the identifier comes from outside.
    if (const std::optional<FileRecord> file = DesktopSearch::recordOf(*m_store, identifier))
        DesktopSearch::open(*m_store, m_hooks, *file);
}

void SearchProviderAdaptor::LaunchSearch(const QStringList &terms, uint)
{
    if (!m_store.isNull())
        DesktopSearch::showSearch(*m_store, m_hooks, DesktopSearch::queryOf(terms));
}
