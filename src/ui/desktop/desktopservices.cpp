#include "ui/desktop/desktopservices.h"

#include "store/librarystore.h"
#include "ui/desktop/downloadstray.h"
#include "ui/desktop/quicksearchpanel.h"
#include "ui/desktop/settingswindow.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QScreen>

namespace {

DesktopServices *g_shared = nullptr;

// Widgets must go before the application does: post routines run at the start of its
// destructor, while windows can still be destroyed.
void destroyShared()
{
    delete g_shared;
    g_shared = nullptr;
}

} // namespace

DesktopServices &DesktopServices::shared()
{
    if (!g_shared) {
        g_shared = new DesktopServices();
        qAddPostRoutine(destroyShared);
    }
    return *g_shared;
}

DesktopServices::DesktopServices(QList<GlobalShortcut::Factory> backends, QObject *parent)
    : QObject(parent)
    , m_backends(std::move(backends))
{ }

DesktopServices::~DesktopServices() = default;

void DesktopServices::configure(LibraryStore &store, std::function<void()> openMain)
{
    m_openMain = std::move(openMain);
    if (m_store)
        return;
    m_store = &store;
    m_panel.reset();
    m_settings.reset();
    m_tray = std::make_unique<DownloadsTray>(store, *this);
    if (!m_shortcut) {
        m_shortcut = std::make_unique<GlobalShortcut>(m_backends);
        connect(m_shortcut.get(), &GlobalShortcut::bound, this, &DesktopServices::showOutcome);
        // The press arrives from the desktop's event dispatch; toggle once it has returned.
        connect(m_shortcut.get(), &GlobalShortcut::activated, this, &DesktopServices::toggleSearch,
            Qt::QueuedConnection);
    }
    registerShortcut();
}

void DesktopServices::registerShortcut()
{
    if (!m_shortcut)
        return;
    HotKey key;
    if (m_store) {
        key.code = m_store->hotKeyCode();
        key.mods = m_store->hotKeyMods();
    }
    m_shortcut->bind(key);
}

DesktopServices::Recording DesktopServices::setShortcut(const QKeyEvent &event)
{
    // The X keysym of the press, where the platform reports one (X11 and Wayland do).
    return setShortcut(event.key(), event.modifiers(), event.nativeVirtualKey());
}

DesktopServices::Recording DesktopServices::setShortcut(int key, Qt::KeyboardModifiers modifiers, quint32 keysym)
{
    // Unconfigured there is nothing to store into; a modifier alone starts a combination.
    if (!m_store || HotKey::isModifierKey(key))
        return Recording::incomplete;
    const std::optional<HotKey> hotKey = HotKey::fromKeyPress(key, modifiers, keysym);
    if (!hotKey)
        return Recording::unnamedKey;
    if (!hotKey->hasCommandModifier())
        return Recording::needsModifier;
    m_store->setHotKey(hotKey->code, hotKey->mods, hotKey->label());
    registerShortcut();
    return Recording::stored;
}

QString DesktopServices::refusalText(Recording recording)
{
    switch (recording) {
    case Recording::needsModifier:
        return QStringLiteral("Hold Ctrl, Alt or Super with the key.");
    case Recording::unnamedKey:
        return QStringLiteral("This key can’t be used for a shortcut. Try another key.");
    case Recording::stored:
    case Recording::incomplete:
        break;
    }
    return {};
}

QString DesktopServices::shortcutLabel() const
{
    return m_store ? m_store->hotKeyLabel() : HotKey().label();
}

void DesktopServices::toggleSearch()
{
    if (!m_store)
        return;
    if (m_panel && m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    if (!m_panel)
        m_panel = std::make_unique<QuickSearchPanel>(*m_store, *this);
    m_panel->showCentred(QGuiApplication::screenAt(QCursor::pos()));
}

void DesktopServices::hideSearch()
{
    if (m_panel)
        m_panel->hide();
}

void DesktopServices::showMain()
{
    hideSearch();
    if (m_openMain)
        m_openMain();
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->windowTitle() == u"Tessary" && window != m_panel.get() && window->isVisible()) {
            window->raise();
            window->activateWindow();
            break;
        }
    }
}

void DesktopServices::showSettings()
{
    if (!m_store)
        return;
    if (!m_settings) {
        m_settings = std::make_unique<SettingsWindow>(*m_store, *this);
        Q_EMIT settingsWindowCreated(m_settings.get());
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

QString DesktopServices::registeredStatus(const QString &label)
{
    return QStringLiteral("Quick Search: ") + label;
}

QString DesktopServices::refusedStatus(const QString &detail)
{
    return QStringLiteral("Shortcut unavailable (") + detail + QStringLiteral("). Choose another combination.");
}

QString DesktopServices::unavailableStatus()
{
    return QStringLiteral("This desktop offers no global shortcut. Bind the command "
                          "tessary --quick-search to a key in your keyboard settings.");
}

void DesktopServices::showOutcome(const ShortcutOutcome &outcome)
{
    if (!m_store)
        return;
    switch (outcome.result) {
    case ShortcutOutcome::Result::registered:
        m_store->setHotKeyStatus(registeredStatus(shortcutLabel()));
        break;
    case ShortcutOutcome::Result::refused:
        m_store->setHotKeyStatus(refusedStatus(outcome.detail));
        break;
    case ShortcutOutcome::Result::unavailable:
        m_store->setHotKeyStatus(unavailableStatus());
        break;
    }
}
