#pragma once

#include "platform/globalshortcut/globalshortcutbackend.h"

#include <QAbstractNativeEventFilter>
#include <QList>

struct xcb_connection_t;

// The shortcut as a passive key grab on the X11 root window, through Qt's own X connection.
// The key is grabbed once for each combination of NumLock and CapsLock, so the shortcut works
// whatever their state. Another client holding the grab is a refusal ("BadAccess").
// Unavailable when the application does not run on X11 (Wayland, the offscreen platform).
// Main thread only.
class X11Shortcut : public GlobalShortcutBackend, private QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    X11Shortcut();
    ~X11Shortcut() override;

    QString name() const override { return QStringLiteral("x11"); }
    void bind(const HotKey &key) override;
    void unbind() override;

private:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
    // The keycode that produces `keysym` in the current keyboard mapping; 0 when none does.
    quint8 keycodeFor(quint32 keysym) const;
    quint16 numLockMask() const;
    QList<quint16> lockVariants() const;

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    quint8 m_keycode = 0; // grabbed key; 0 when nothing is grabbed
    quint16 m_modifiers = 0;
    QList<quint16> m_grabbed; // the modifier states grabbed for m_keycode
};
