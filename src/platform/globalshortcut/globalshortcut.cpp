#include "platform/globalshortcut/globalshortcut.h"

#include "platform/globalshortcut/kglobalaccelshortcut.h"
#include "platform/globalshortcut/portalshortcut.h"
#include "platform/globalshortcut/x11shortcut.h"

#include <QTimer>

QList<GlobalShortcut::Factory> GlobalShortcut::standardBackends()
{
    return {
        [] { return std::make_unique<PortalShortcut>(); },
        [] { return std::make_unique<KGlobalAccelShortcut>(); },
        [] { return std::make_unique<X11Shortcut>(); },
    };
}

GlobalShortcut::GlobalShortcut(QList<Factory> factories, QObject *parent)
    : QObject(parent)
    , m_factories(std::move(factories))
{ }

GlobalShortcut::~GlobalShortcut()
{
    if (m_backend)
        m_backend->unbind();
}

void GlobalShortcut::bind(const HotKey &key)
{
    m_key = key;
    if (m_backend && m_settled) {
        m_backend->bind(key);
        return;
    }
    if (!m_backend)
        tryBackend(0);
    // else: a backend is still probing; its answer binds m_key when it works.
}

QString GlobalShortcut::backendName() const
{
    return m_backend && m_settled ? m_backend->name() : QString();
}

void GlobalShortcut::tryBackend(qsizetype index)
{
    m_backend.reset();
    m_settled = false;
    m_index = index;
    if (index >= m_factories.size()) {
        Q_EMIT bound(ShortcutOutcome { ShortcutOutcome::Result::unavailable, {} });
        return;
    }
    m_backend = m_factories[index]();
    GlobalShortcutBackend *backend = m_backend.get();
    connect(backend, &GlobalShortcutBackend::activated, this, &GlobalShortcut::activated);
    connect(backend, &GlobalShortcutBackend::bound, this,
        [this, backend](const ShortcutOutcome &outcome) { answer(backend, outcome); });
    m_probedKey = m_key;
    backend->bind(m_key);
}

void GlobalShortcut::answer(GlobalShortcutBackend *backend, const ShortcutOutcome &outcome)
{
    if (backend != m_backend.get())
        return;
    if (outcome.result != ShortcutOutcome::Result::unavailable) {
        const bool probing = !m_settled;
        m_settled = true;
        // A newer key was asked for while this backend was answering the probe: bind that one.
        if (probing && m_key != m_probedKey) {
            backend->bind(m_key);
            return;
        }
        Q_EMIT bound(outcome);
        return;
    }
    // The backend may be inside its own signal: let it return before it is destroyed.
    const qsizetype next = m_index + 1;
    m_backend.release()->deleteLater();
    QTimer::singleShot(0, this, [this, next] {
        if (!m_backend)
            tryBackend(next);
    });
}
