#pragma once

#include "platform/globalshortcut/hotkey.h"

#include <QObject>
#include <QString>

// What became of a request to bind a shortcut.
struct ShortcutOutcome
{
    enum class Result {
        registered,  // the shortcut is live
        refused,     // the service works but would not take this combination
        unavailable, // the service is absent on this desktop: try the next one
    };
    Result result = Result::unavailable;
    // For a refusal, the service's error code or error name, shown to the user.
    QString detail;
};

// One way of making a system-wide shortcut (a desktop service or a key grab). Main thread only.
class GlobalShortcutBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A short name for diagnostics ("portal", "kglobalaccel", "x11").
    virtual QString name() const = 0;
    // Binds `key` in place of any earlier binding of this backend. Exactly one `bound` follows
    // each call, possibly before it returns.
    virtual void bind(const HotKey &key) = 0;
    // Releases the binding, if any.
    virtual void unbind() = 0;

Q_SIGNALS:
    void bound(const ShortcutOutcome &outcome);
    // The bound shortcut was pressed.
    void activated();
};
