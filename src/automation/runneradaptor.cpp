#include "automation/runneradaptor.h"

#include "automation/desktopsearch.h"
#include "store/librarystore.h"

#include <QDBusMetaType>

namespace {

const QString kSearchAction = QStringLiteral("search");

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const RunnerMatch &match)
{
    argument.beginStructure();
    argument << match.id << match.text << match.iconName << match.type << match.relevance << match.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerMatch &match)
{
    argument.beginStructure();
    argument >> match.id >> match.text >> match.iconName >> match.type >> match.relevance >> match.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const RunnerAction &action)
{
    argument.beginStructure();
    argument << action.id << action.text << action.iconName;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerAction &action)
{
    argument.beginStructure();
    argument >> action.id >> action.text >> action.iconName;
    argument.endStructure();
    return argument;
}

RunnerAdaptor::RunnerAdaptor(QObject *registeredObject, LibraryStore &store, AutomationHooks hooks)
    : QDBusAbstractAdaptor(registeredObject)
    , m_store(&store)
    , m_hooks(std::move(hooks))
{
    qDBusRegisterMetaType<RunnerMatch>();
    qDBusRegisterMetaType<QList<RunnerMatch>>();
    qDBusRegisterMetaType<RunnerAction>();
    qDBusRegisterMetaType<QList<RunnerAction>>();
}

RunnerAdaptor::~RunnerAdaptor() = default;

QList<RunnerAction> RunnerAdaptor::Actions()
{
    return { RunnerAction { kSearchAction, QStringLiteral("Search in Tessary"), QStringLiteral("system-search") } };
}

QList<RunnerMatch> RunnerAdaptor::Match(const QString &query)
{
    QList<RunnerMatch> matches;
    m_lastQuery = query;
    if (m_store.isNull() || query.trimmed().size() < kMinimumLetters)
        return matches;
    const QList<DesktopSearch::Hit> hits = DesktopSearch::find(*m_store, query);
    for (qsizetype i = 0; i < hits.size(); ++i) {
        const DesktopSearch::Hit &hit = hits[i];
        RunnerMatch match;
        match.id = hit.id;
        match.text = hit.name;
        match.iconName = hit.icons.value(0);
        match.type = kPossibleMatch;
        // Newest first, as the library orders them.
        match.relevance = 1.0 - double(i) / (2.0 * DesktopSearch::kMaxHits);
        match.properties.insert(QStringLiteral("subtext"), hit.folder);
        match.properties.insert(QStringLiteral("urls"), QStringList { hit.id });
        matches.append(match);
    }
    return matches;
}

void RunnerAdaptor::Run(const QString &matchId, const QString &actionId)
{
    if (m_store.isNull())
        return;
    const std::optional<FileRecord> file = DesktopSearch::recordOf(*m_store, matchId);
    if (!file)
        return;
    if (actionId == kSearchAction)
        DesktopSearch::showSearch(*m_store, m_hooks, m_lastQuery.isEmpty() ? file->name() : m_lastQuery);
    else
        DesktopSearch::open(*m_store, m_hooks, *file);
}
