#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// A keyboard shortcut as Tessary stores it: a virtual key code and a modifier mask in the
// classic desktop-independent numbering (Space is 49, A is 0; the mask bits below), plus the
// translations each global-shortcut service needs. The stored numbers never change meaning, so
// a shortcut recorded once reads back the same on every desktop.
//
// Keys the classic numbering has no code for (accented letters and other alphabets, the keypad,
// F13 and above, media keys) are stored by their X keysym: code = kKeysymBase + keysym.
//
// Mask bits: Ctrl 256, Shift 512, Alt 2048, Super 4096. Pure values; thread-safe.
struct HotKey
{
    static constexpr quint32 kCtrl = 256;
    static constexpr quint32 kShift = 512;
    static constexpr quint32 kAlt = 2048;
    static constexpr quint32 kSuper = 4096;
    static constexpr quint32 kSpaceCode = 49;
    static constexpr quint32 kKeysymBase = 0x4000'0000;

    quint32 code = kSpaceCode;
    quint32 mods = kShift | kCtrl;

    // From a Qt key (Qt::Key) and Qt modifiers. Shifted symbols ("!", "{") count as their
    // unshifted keys. Absent for keys the table does not know (modifier keys among them).
    static std::optional<HotKey> fromQtKey(int key, Qt::KeyboardModifiers modifiers);
    // From a key press: the Qt key and modifiers and the X keysym the press produced (0 when the
    // platform gave none: then it is worked out from the Qt key). Keys of the classic table keep
    // their codes; any other key the X keyboard can name is stored by its keysym. Absent for
    // modifier keys and for keys without a keysym name.
    static std::optional<HotKey> fromKeyPress(int key, Qt::KeyboardModifiers modifiers, quint32 keysym = 0);
    // Shift, Ctrl, Alt, Super and the like: pressed on the way to a combination.
    static bool isModifierKey(int key);
    // The mask bits of Qt modifiers.
    static quint32 maskOf(Qt::KeyboardModifiers modifiers);
    // Whether Ctrl, Alt or Super is in the mask: a shortcut needs one of them.
    bool hasCommandModifier() const { return (mods & (kCtrl | kAlt | kSuper)) != 0; }

    // The key's name: "Space", "K", "F5", "=", "É", "Num+1", "F13"; "Key N" for a code that
    // names no key.
    QString keyName() const;
    // The modifiers' names in the order Super, Alt, Shift, Ctrl, then the key's, joined by "+":
    // "Shift+Ctrl+Space".
    QString label() const;

    // The X keysym of the key; 0 when unknown.
    quint32 keysym() const;
    // The X modifier state bits (Shift 1, Control 4, Mod1 8, Mod4 64).
    quint16 x11Modifiers() const;
    // The trigger in the freedesktop shortcut notation: "CTRL+SHIFT+space"; empty when the key
    // is unknown.
    QString portalTrigger() const;
    // The Qt key combination (key | modifiers) as one integer; 0 when the key is unknown.
    int qtCombination() const;

    friend bool operator==(const HotKey &, const HotKey &) = default;
};
