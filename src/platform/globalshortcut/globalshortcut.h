#pragma once

#include "platform/globalshortcut/globalshortcutbackend.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

// The system-wide shortcut of the application over the first backend that works: each backend
// is tried in order until one answers other than `unavailable`, and that one is kept for later
// bindings. When none works the outcome is `unavailable`. Main thread only.
class GlobalShortcut : public QObject
{
    Q_OBJECT

public:
    using Factory = std::function<std::unique_ptr<GlobalShortcutBackend>()>;

    // The desktop's order: the freedesktop portal, KDE's global accelerator service, an X11 key
    // grab.
    static QList<Factory> standardBackends();

    explicit GlobalShortcut(QList<Factory> factories = standardBackends(), QObject *parent = nullptr);
    ~GlobalShortcut() override;

    // Binds `key` in place of the previous binding; `bound` follows.
    void bind(const HotKey &key);
    // The name of the backend in use; empty before a backend answered or when none works.
    QString backendName() const;

Q_SIGNALS:
    void bound(const ShortcutOutcome &outcome);
    void activated();

private:
    void tryBackend(qsizetype index);
    void answer(GlobalShortcutBackend *backend, const ShortcutOutcome &outcome);

    QList<Factory> m_factories;
    std::unique_ptr<GlobalShortcutBackend> m_backend;
    qsizetype m_index = -1; // of m_backend among the factories
    bool m_settled = false; // m_backend has answered other than `unavailable`
    HotKey m_key;
    HotKey m_probedKey; // the key the unsettled backend was asked to bind
};
