#pragma once

#include "automation/automationhooks.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QList>
#include <QPointer>
#include <QVariantMap>

class LibraryStore;

// One match of KRunner's D-Bus runner interface: a(sssida{sv}).
struct RunnerMatch
{
    QString id;
    QString text;
    QString iconName;
    int type = 0; // KRunner's match type
    double relevance = 0;
    QVariantMap properties;
};
// One action a match may offer: a(sss).
struct RunnerAction
{
    QString id;
    QString text;
    QString iconName;
};
Q_DECLARE_METATYPE(RunnerMatch)
Q_DECLARE_METATYPE(RunnerAction)
QDBusArgument &operator<<(QDBusArgument &argument, const RunnerMatch &match);
const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerMatch &match);
QDBusArgument &operator<<(QDBusArgument &argument, const RunnerAction &action);
const QDBusArgument &operator>>(const QDBusArgument &argument, RunnerAction &action);

// KRunner's runner interface (org.kde.krunner1) over the library: matches are the newest 20 of
// the store's search, named by their file:// URIs, with the file's name, its folder as subtext
// and its type's icon. Running a match opens the file; its "search" action shows Tessary
// searching for what was typed.
//
// Main thread only. The adaptor is a child of the object registered at the runner's path.
class RunnerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")

public:
    static QString objectPath() { return QStringLiteral("/org/tessary/Tessary/Runner"); }
    // KRunner's match type of a possible match, and the fewest letters worth a search.
    static constexpr int kPossibleMatch = 30;
    static constexpr int kMinimumLetters = 2;

    RunnerAdaptor(QObject *registeredObject, LibraryStore &store, AutomationHooks hooks);
    ~RunnerAdaptor() override;

public Q_SLOTS:
    QList<RunnerAction> Actions();
    QList<RunnerMatch> Match(const QString &query);
    void Run(const QString &matchId, const QString &actionId);

private:
    QPointer<LibraryStore> m_store;
    AutomationHooks m_hooks;
    QString m_lastQuery; // the text of the latest Match, for the search action
};
