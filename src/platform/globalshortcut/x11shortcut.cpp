#include "platform/globalshortcut/x11shortcut.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr quint8 kBadAccess = 10;
constexpr quint16 kLockMask = XCB_MOD_MASK_LOCK;
// The modifier state bits a shortcut can use; lock keys and mouse buttons are ignored.
constexpr quint16 kShortcutMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

struct FreeDeleter
{
    void operator()(void *memory) const { std::free(memory); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t *qtConnection()
{
    auto *app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

} // namespace

X11Shortcut::X11Shortcut()
    : m_connection(qtConnection())
{
    if (!m_connection)
        return;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    if (screens.rem > 0)
        m_root = screens.data->root;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Shortcut::~X11Shortcut()
{
    unbind();
    if (m_connection && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11Shortcut::bind(const HotKey &key)
{
    unbind();
    if (!m_connection || !m_root) {
        Q_EMIT bound(ShortcutOutcome { ShortcutOutcome::Result::unavailable, {} });
        return;
    }
    const quint8 keycode = keycodeFor(key.keysym());
    if (keycode == 0) {
        Q_EMIT bound(ShortcutOutcome { ShortcutOutcome::Result::refused, QStringLiteral("no such key") });
        return;
    }
    const quint16 modifiers = key.x11Modifiers();
    QList<xcb_void_cookie_t> cookies;
    const QList<quint16> variants = lockVariants();
    for (const quint16 extra : variants)
        cookies.append(xcb_grab_key_checked(m_connection, 1, m_root, modifiers | extra, keycode,
            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    QString failure;
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        const Reply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
        if (!error) {
            m_grabbed.append(modifiers | variants[i]);
        } else if (failure.isEmpty()) {
            failure = error->error_code == kBadAccess ? QStringLiteral("BadAccess")
                                                      : QStringLiteral("X error %1").arg(error->error_code);
        }
    }
    m_keycode = keycode;
    m_modifiers = modifiers;
    if (!failure.isEmpty()) {
        // Half a shortcut would fire only in some lock states: release what was taken.
        unbind();
        Q_EMIT bound(ShortcutOutcome { ShortcutOutcome::Result::refused, failure });
        return;
    }
    Q_EMIT bound(ShortcutOutcome { ShortcutOutcome::Result::registered, {} });
}

void X11Shortcut::unbind()
{
    if (m_connection && m_keycode != 0) {
        for (const quint16 state : std::as_const(m_grabbed))
            xcb_ungrab_key(m_connection, m_keycode, m_root, state);
        xcb_flush(m_connection);
    }
    m_grabbed.clear();
    m_keycode = 0;
}

bool X11Shortcut::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_keycode == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto *press = static_cast<const xcb_key_press_event_t *>(message);
    if (press->detail != m_keycode || press->event != m_root || (press->state & kShortcutMask) != m_modifiers)
        return false;
    Q_EMIT activated();
    return true;
}

quint8 X11Shortcut::keycodeFor(quint32 keysym) const
{
    if (keysym == 0)
        return 0;
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const quint8 count = quint8(setup->max_keycode - setup->min_keycode + 1);
    const Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, count), nullptr));
    if (!mapping)
        return 0;
    const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKey = mapping->keysyms_per_keycode;
    // The unshifted symbol first: "1" rather than the keypad's or a shifted level's.
    for (int level = 0; level < perKey; ++level)
        for (int code = 0; code < count; ++code)
            if (symbols[code * perKey + level] == keysym)
                return quint8(setup->min_keycode + code);
    return 0;
}

quint16 X11Shortcut::numLockMask() const
{
    constexpr xcb_keysym_t kNumLock = 0xff7f;
    const quint8 numLock = keycodeFor(kNumLock);
    const Reply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!mapping || numLock == 0)
        return XCB_MOD_MASK_2;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            if (codes[modifier * perModifier + i] == numLock)
                return quint16(1u << modifier);
    return XCB_MOD_MASK_2;
}

QList<quint16> X11Shortcut::lockVariants() const
{
    const quint16 numLock = numLockMask();
    return { 0, kLockMask, numLock, quint16(kLockMask | numLock) };
}
