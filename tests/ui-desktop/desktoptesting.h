#pragma once

#include "../store/storetesting.h"

#include "platform/globalshortcut/globalshortcut.h"
#include "ui/desktop/desktopservices.h"

#include <QList>
#include <QTimer>

#include <memory>

// Helpers shared by the desktop tests: a shortcut backend that answers as told, and a store with
// services over it.
namespace DesktopTesting {

// Records every key it is asked to bind and answers each with `outcome`. State is shared so the
// test can read it after the service has taken the backend.
struct FakeBackendState
{
    QString name = QStringLiteral("fake");
    ShortcutOutcome outcome { ShortcutOutcome::Result::registered, {} };
    QList<HotKey> bound;
    bool answersLater = false; // answer from the event loop, as a D-Bus service would
    class FakeBackend *live = nullptr;
};

class FakeBackend : public GlobalShortcutBackend
{
public:
    explicit FakeBackend(std::shared_ptr<FakeBackendState> state)
        : m_state(std::move(state))
    {
        m_state->live = this;
    }
    ~FakeBackend() override
    {
        if (m_state->live == this)
            m_state->live = nullptr;
    }
    QString name() const override { return m_state->name; }
    void bind(const HotKey &key) override
    {
        m_state->bound.append(key);
        if (m_state->answersLater)
            QTimer::singleShot(0, this, [this, outcome = m_state->outcome] { Q_EMIT bound(outcome); });
        else
            Q_EMIT bound(m_state->outcome);
    }
    void unbind() override { }
    void press() { Q_EMIT activated(); }

private:
    std::shared_ptr<FakeBackendState> m_state;
};

inline GlobalShortcut::Factory fakeFactory(const std::shared_ptr<FakeBackendState> &state)
{
    return [state] { return std::make_unique<FakeBackend>(state); };
}

inline FileRecord download(const QByteArray &path, qint64 createdSeconds)
{
    FileRecord file = StoreTesting::record(path, FileKind::documents, 1000);
    file.source = QStringLiteral("example.org");
    file.created = Timestamp::fromUnix(createdSeconds);
    return file;
}

// A store over a fresh settings file and services over one fake backend, configured with an
// openMain that counts its calls. Declared in this order, the services go before the store.
struct Desk
{
    explicit Desk(StoreTesting::StoreEnvironment &environment,
        std::shared_ptr<FakeBackendState> backend = std::make_shared<FakeBackendState>())
        : state(std::move(backend))
        , store(StoreTesting::setup(environment.newSettingsFile()))
        , services(QList<GlobalShortcut::Factory> { fakeFactory(state) })
    {
        services.configure(store, [this] { ++mainOpened; });
    }

    std::shared_ptr<FakeBackendState> state;
    LibraryStore store;
    DesktopServices services;
    int mainOpened = 0;
};

} // namespace DesktopTesting
