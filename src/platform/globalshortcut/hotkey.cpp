#include "platform/globalshortcut/hotkey.h"

#include <QStringList>

#include <array>
#include <xkbcommon/xkbcommon.h>

namespace {

struct KeyRow
{
    quint32 code;    // virtual key code as stored
    int qtKey;       // Qt::Key
    quint32 keysym;  // X keysym
    const char *xkbName;
    const char *label;
};

// Letters and digits use their ASCII keysyms; the rest follow the X keysym names.
constexpr std::array kKeys {
    KeyRow { 0, Qt::Key_A, 'a', "a", "A" }, KeyRow { 11, Qt::Key_B, 'b', "b", "B" },
    KeyRow { 8, Qt::Key_C, 'c', "c", "C" }, KeyRow { 2, Qt::Key_D, 'd', "d", "D" },
    KeyRow { 14, Qt::Key_E, 'e', "e", "E" }, KeyRow { 3, Qt::Key_F, 'f', "f", "F" },
    KeyRow { 5, Qt::Key_G, 'g', "g", "G" }, KeyRow { 4, Qt::Key_H, 'h', "h", "H" },
    KeyRow { 34, Qt::Key_I, 'i', "i", "I" }, KeyRow { 38, Qt::Key_J, 'j', "j", "J" },
    KeyRow { 40, Qt::Key_K, 'k', "k", "K" }, KeyRow { 37, Qt::Key_L, 'l', "l", "L" },
    KeyRow { 46, Qt::Key_M, 'm', "m", "M" }, KeyRow { 45, Qt::Key_N, 'n', "n", "N" },
    KeyRow { 31, Qt::Key_O, 'o', "o", "O" }, KeyRow { 35, Qt::Key_P, 'p', "p", "P" },
    KeyRow { 12, Qt::Key_Q, 'q', "q", "Q" }, KeyRow { 15, Qt::Key_R, 'r', "r", "R" },
    KeyRow { 1, Qt::Key_S, 's', "s", "S" }, KeyRow { 17, Qt::Key_T, 't', "t", "T" },
    KeyRow { 32, Qt::Key_U, 'u', "u", "U" }, KeyRow { 9, Qt::Key_V, 'v', "v", "V" },
    KeyRow { 13, Qt::Key_W, 'w', "w", "W" }, KeyRow { 7, Qt::Key_X, 'x', "x", "X" },
    KeyRow { 16, Qt::Key_Y, 'y', "y", "Y" }, KeyRow { 6, Qt::Key_Z, 'z', "z", "Z" },
    KeyRow { 29, Qt::Key_0, '0', "0", "0" }, KeyRow { 18, Qt::Key_1, '1', "1", "1" },
    KeyRow { 19, Qt::Key_2, '2', "2", "2" }, KeyRow { 20, Qt::Key_3, '3', "3", "3" },
    KeyRow { 21, Qt::Key_4, '4', "4", "4" }, KeyRow { 23, Qt::Key_5, '5', "5", "5" },
    KeyRow { 22, Qt::Key_6, '6', "6", "6" }, KeyRow { 26, Qt::Key_7, '7', "7", "7" },
    KeyRow { 28, Qt::Key_8, '8', "8", "8" }, KeyRow { 25, Qt::Key_9, '9', "9", "9" },
    KeyRow { 49, Qt::Key_Space, 0x20, "space", "Space" },
    KeyRow { 24, Qt::Key_Equal, '=', "equal", "=" }, KeyRow { 27, Qt::Key_Minus, '-', "minus", "-" },
    KeyRow { 33, Qt::Key_BracketLeft, '[', "bracketleft", "[" },
    KeyRow { 30, Qt::Key_BracketRight, ']', "bracketright", "]" },
    KeyRow { 39, Qt::Key_Apostrophe, '\'', "apostrophe", "'" },
    KeyRow { 41, Qt::Key_Semicolon, ';', "semicolon", ";" },
    KeyRow { 42, Qt::Key_Backslash, '\\', "backslash", "\\" },
    KeyRow { 43, Qt::Key_Comma, ',', "comma", "," }, KeyRow { 47, Qt::Key_Period, '.', "period", "." },
    KeyRow { 44, Qt::Key_Slash, '/', "slash", "/" }, KeyRow { 50, Qt::Key_QuoteLeft, '`', "grave", "`" },
    KeyRow { 36, Qt::Key_Return, 0xff0d, "Return", "Return" },
    KeyRow { 48, Qt::Key_Tab, 0xff09, "Tab", "Tab" },
    KeyRow { 51, Qt::Key_Backspace, 0xff08, "BackSpace", "Backspace" },
    KeyRow { 117, Qt::Key_Delete, 0xffff, "Delete", "Del" },
    KeyRow { 115, Qt::Key_Home, 0xff50, "Home", "Home" }, KeyRow { 119, Qt::Key_End, 0xff57, "End", "End" },
    KeyRow { 116, Qt::Key_PageUp, 0xff55, "Prior", "PgUp" },
    KeyRow { 121, Qt::Key_PageDown, 0xff56, "Next", "PgDown" },
    KeyRow { 123, Qt::Key_Left, 0xff51, "Left", "Left" }, KeyRow { 124, Qt::Key_Right, 0xff53, "Right", "Right" },
    KeyRow { 126, Qt::Key_Up, 0xff52, "Up", "Up" }, KeyRow { 125, Qt::Key_Down, 0xff54, "Down", "Down" },
    KeyRow { 122, Qt::Key_F1, 0xffbe, "F1", "F1" }, KeyRow { 120, Qt::Key_F2, 0xffbf, "F2", "F2" },
    KeyRow { 99, Qt::Key_F3, 0xffc0, "F3", "F3" }, KeyRow { 118, Qt::Key_F4, 0xffc1, "F4", "F4" },
    KeyRow { 96, Qt::Key_F5, 0xffc2, "F5", "F5" }, KeyRow { 97, Qt::Key_F6, 0xffc3, "F6", "F6" },
    KeyRow { 98, Qt::Key_F7, 0xffc4, "F7", "F7" }, KeyRow { 100, Qt::Key_F8, 0xffc5, "F8", "F8" },
    KeyRow { 101, Qt::Key_F9, 0xffc6, "F9", "F9" }, KeyRow { 109, Qt::Key_F10, 0xffc7, "F10", "F10" },
    KeyRow { 103, Qt::Key_F11, 0xffc8, "F11", "F11" }, KeyRow { 111, Qt::Key_F12, 0xffc9, "F12", "F12" },
};

// With Shift held Qt reports the shifted symbol of a US layout; each maps back to its key.
constexpr std::array<std::pair<int, int>, 22> kShifted { {
    { Qt::Key_Exclam, Qt::Key_1 }, { Qt::Key_At, Qt::Key_2 }, { Qt::Key_NumberSign, Qt::Key_3 },
    { Qt::Key_Dollar, Qt::Key_4 }, { Qt::Key_Percent, Qt::Key_5 }, { Qt::Key_AsciiCircum, Qt::Key_6 },
    { Qt::Key_Ampersand, Qt::Key_7 }, { Qt::Key_Asterisk, Qt::Key_8 }, { Qt::Key_ParenLeft, Qt::Key_9 },
    { Qt::Key_ParenRight, Qt::Key_0 }, { Qt::Key_Underscore, Qt::Key_Minus }, { Qt::Key_Plus, Qt::Key_Equal },
    { Qt::Key_BraceLeft, Qt::Key_BracketLeft }, { Qt::Key_BraceRight, Qt::Key_BracketRight },
    { Qt::Key_Colon, Qt::Key_Semicolon }, { Qt::Key_QuoteDbl, Qt::Key_Apostrophe },
    { Qt::Key_Less, Qt::Key_Comma }, { Qt::Key_Greater, Qt::Key_Period }, { Qt::Key_Question, Qt::Key_Slash },
    { Qt::Key_AsciiTilde, Qt::Key_QuoteLeft }, { Qt::Key_Bar, Qt::Key_Backslash }, { Qt::Key_Backtab, Qt::Key_Tab },
} };

const KeyRow *rowForCode(quint32 code)
{
    for (const KeyRow &row : kKeys)
        if (row.code == code)
            return &row;
    return nullptr;
}

// Keysyms X defines: 29 bits.
constexpr quint32 kLastKeysym = 0x1fff'ffff;
// The keypad (KP_Space to KP_Equal) and the function keys F1 to F35.
constexpr quint32 kKeypadFirst = 0xff80;
constexpr quint32 kKeypadLast = 0xffbd;
constexpr quint32 kF1 = 0xffbe;
constexpr quint32 kF35 = 0xffe0;

bool isKeypad(quint32 keysym)
{
    return keysym >= kKeypadFirst && keysym <= kKeypadLast;
}

// The keypad keysym of a Qt key pressed with the keypad modifier; 0 for none.
quint32 keypadKeysym(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0xffb0 + quint32(key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
        return 0xff8d;
    case Qt::Key_Asterisk:
        return 0xffaa;
    case Qt::Key_Plus:
        return 0xffab;
    case Qt::Key_Comma:
        return 0xffac;
    case Qt::Key_Minus:
        return 0xffad;
    case Qt::Key_Period:
        return 0xffae;
    case Qt::Key_Slash:
        return 0xffaf;
    case Qt::Key_Equal:
        return 0xffbd;
    default:
        return 0;
    }
}

// The keysym a Qt key stands for, when the press carried none.
quint32 keysymOfQtKey(int key, bool keypad)
{
    if (keypad)
        return keypadKeysym(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return kF1 + quint32(key - Qt::Key_F1);
    // Below the special keys, a Qt key is a character's code point (upper case for letters).
    if (key >= 0x20 && key < Qt::Key_Escape)
        return xkb_utf32_to_keysym(char32_t(QChar::toLower(char32_t(key))));
    return 0;
}

QString keysymName(quint32 keysym)
{
    if (keysym == 0)
        return {};
    std::array<char, 64> name {};
    const int length = xkb_keysym_get_name(keysym, name.data(), name.size());
    return length > 0 ? QString::fromLatin1(name.data(), std::min<int>(length, int(name.size()) - 1)) : QString();
}

// The Qt key of a keysym, without modifiers; 0 for a keysym Qt has no key for.
int qtKeyOf(quint32 keysym)
{
    if (keysym >= kF1 && keysym <= kF35)
        return Qt::Key_F1 + int(keysym - kF1);
    if (keysym == 0xff8d)
        return Qt::Key_Enter;
    const char32_t character = xkb_keysym_to_utf32(keysym);
    if (character < 0x20 || character == 0x7f)
        return 0;
    return int(QChar::toUpper(character));
}

} // namespace

quint32 HotKey::maskOf(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    if (modifiers & Qt::MetaModifier)
        mask |= kSuper;
    if (modifiers & Qt::AltModifier)
        mask |= kAlt;
    if (modifiers & Qt::ShiftModifier)
        mask |= kShift;
    if (modifiers & Qt::ControlModifier)
        mask |= kCtrl;
    return mask;
}

bool HotKey::isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

std::optional<HotKey> HotKey::fromKeyPress(int key, Qt::KeyboardModifiers modifiers, quint32 keysym)
{
    if (isModifierKey(key))
        return std::nullopt;
    // A keypad digit is not the digit of the main block: it goes by its keysym.
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (!keypad)
        if (const std::optional<HotKey> classic = fromQtKey(key, modifiers))
            return classic;
    if (keysym == 0)
        keysym = keysymOfQtKey(key, keypad);
    // Shift may have given the upper-case keysym; the key is the same.
    keysym = xkb_keysym_to_lower(keysym);
    if (keysym == 0 || keysym > kLastKeysym || keysymName(keysym).isEmpty())
        return std::nullopt;
    return HotKey { kKeysymBase + keysym, maskOf(modifiers) };
}

std::optional<HotKey> HotKey::fromQtKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Enter)
        key = Qt::Key_Return;
    for (const auto &[shifted, plain] : kShifted)
        if (key == shifted)
            key = plain;
    for (const KeyRow &row : kKeys) {
        if (row.qtKey != key)
            continue;
        return HotKey { row.code, maskOf(modifiers) };
    }
    return std::nullopt;
}

QString HotKey::keyName() const
{
    if (const KeyRow *row = rowForCode(code))
        return QString::fromLatin1(row->label);
    const quint32 sym = keysym();
    if (sym == 0)
        return QStringLiteral("Key %1").arg(code);
    const int key = qtKeyOf(sym);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    if (key == 0 || key == Qt::Key_Enter)
        return (isKeypad(sym) ? QStringLiteral("Num+") : QString()) + keysymName(sym);
    const char32_t point = char32_t(key);
    const QString character = QString::fromUcs4(&point, 1);
    return isKeypad(sym) ? QStringLiteral("Num+") + character : character;
}

QString HotKey::label() const
{
    QStringList parts;
    if (mods & kSuper)
        parts.append(QStringLiteral("Super"));
    if (mods & kAlt)
        parts.append(QStringLiteral("Alt"));
    if (mods & kShift)
        parts.append(QStringLiteral("Shift"));
    if (mods & kCtrl)
        parts.append(QStringLiteral("Ctrl"));
    parts.append(keyName());
    return parts.join(u'+');
}

quint32 HotKey::keysym() const
{
    if (code >= kKeysymBase)
        return code - kKeysymBase <= kLastKeysym ? code - kKeysymBase : 0;
    const KeyRow *row = rowForCode(code);
    return row ? row->keysym : 0;
}

quint16 HotKey::x11Modifiers() const
{
    quint16 state = 0;
    if (mods & kShift)
        state |= 1;
    if (mods & kCtrl)
        state |= 4;
    if (mods & kAlt)
        state |= 8;
    if (mods & kSuper)
        state |= 64;
    return state;
}

QString HotKey::portalTrigger() const
{
    const KeyRow *row = rowForCode(code);
    const QString key = row ? QString::fromLatin1(row->xkbName) : keysymName(keysym());
    if (key.isEmpty())
        return {};
    QStringList parts;
    if (mods & kCtrl)
        parts.append(QStringLiteral("CTRL"));
    if (mods & kAlt)
        parts.append(QStringLiteral("ALT"));
    if (mods & kShift)
        parts.append(QStringLiteral("SHIFT"));
    if (mods & kSuper)
        parts.append(QStringLiteral("LOGO"));
    parts.append(key);
    return parts.join(u'+');
}

int HotKey::qtCombination() const
{
    const KeyRow *row = rowForCode(code);
    int combination = row ? row->qtKey : qtKeyOf(keysym());
    if (combination == 0)
        return 0;
    if (!row && isKeypad(keysym()))
        combination |= Qt::KeypadModifier;
    if (mods & kSuper)
        combination |= Qt::META;
    if (mods & kAlt)
        combination |= Qt::ALT;
    if (mods & kShift)
        combination |= Qt::SHIFT;
    if (mods & kCtrl)
        combination |= Qt::CTRL;
    return combination;
}
