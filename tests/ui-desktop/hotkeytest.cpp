#include "platform/globalshortcut/hotkey.h"

#include <QTest>

// The stored shortcut's translations for each desktop service.
class HotKeyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void translations_data()
    {
        QTest::addColumn<quint32>("code");
        QTest::addColumn<quint32>("mods");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<int>("x11State");
        QTest::addColumn<int>("qtCombination");

        QTest::newRow("default Shift+Ctrl+Space") << 49u << 768u << QStringLiteral("Shift+Ctrl+Space")
                                                  << QStringLiteral("CTRL+SHIFT+space") << 0x20u << (1 | 4)
                                                  << (Qt::SHIFT | Qt::CTRL | Qt::Key_Space).toCombined();
        QTest::newRow("every modifier on a letter")
            << 40u << 7936u << QStringLiteral("Super+Alt+Shift+Ctrl+K") << QStringLiteral("CTRL+ALT+SHIFT+LOGO+k")
            << quint32('k') << (1 | 4 | 8 | 64) << (Qt::META | Qt::ALT | Qt::SHIFT | Qt::CTRL | Qt::Key_K).toCombined();
        QTest::newRow("function key with Super") << 96u << 4096u << QStringLiteral("Super+F5") << QStringLiteral("LOGO+F5")
                                                 << 0xffc2u << 64 << (Qt::META | Qt::Key_F5).toCombined();
        QTest::newRow("A is code 0, not absent") << 0u << 2048u << QStringLiteral("Alt+A") << QStringLiteral("ALT+a")
                                                 << quint32('a') << 8 << (Qt::ALT | Qt::Key_A).toCombined();
        QTest::newRow("unknown code keeps its number") << 200u << 256u << QStringLiteral("Ctrl+Key 200") << QString()
                                                       << 0u << 4 << 0;
        // Keys outside the classic table, stored by their X keysym.
        const quint32 sym = HotKey::kKeysymBase;
        QTest::newRow("accented letter") << sym + 0xe9 << 256u << QStringLiteral("Ctrl+É")
                                         << QStringLiteral("CTRL+eacute") << 0xe9u << 4
                                         << (Qt::CTRL | Qt::Key_Eacute).toCombined();
        QTest::newRow("keypad digit")
            << sym + 0xffb1 << 256u << QStringLiteral("Ctrl+Num+1") << QStringLiteral("CTRL+KP_1") << 0xffb1u << 4
            << QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_1).toCombined();
        QTest::newRow("F13") << sym + 0xffca << 4096u << QStringLiteral("Super+F13") << QStringLiteral("LOGO+F13")
                             << 0xffcau << 64 << (Qt::META | Qt::Key_F13).toCombined();
        QTest::newRow("media key Qt has no key for") << sym + 0x1008ff19 << 256u << QStringLiteral("Ctrl+XF86Mail")
                                                     << QStringLiteral("CTRL+XF86Mail") << 0x1008ff19u << 4 << 0;
        QTest::newRow("beyond the keysyms X defines")
            << 0x7fff'ffffu << 256u << QStringLiteral("Ctrl+Key 2147483647") << QString() << 0u << 4 << 0;
    }

    void translations()
    {
        QFETCH(quint32, code);
        QFETCH(quint32, mods);
        const HotKey key { code, mods };
        QTEST(key.label(), "label");
        QTEST(key.portalTrigger(), "trigger");
        QTEST(key.keysym(), "keysym");
        QTEST(int(key.x11Modifiers()), "x11State");
        QTEST(key.qtCombination(), "qtCombination");
    }

    void fromQtKeyRoundTrips()
    {
        // Every key the table knows reads back as itself through its Qt combination.
        for (quint32 code = 0; code < 128; ++code) {
            const HotKey key { code, HotKey::kCtrl | HotKey::kAlt };
            const int combination = key.qtCombination();
            if (combination == 0)
                continue;
            const auto back = HotKey::fromQtKey(combination & ~int(Qt::KeyboardModifierMask),
                Qt::KeyboardModifiers(combination & int(Qt::KeyboardModifierMask)));
            QVERIFY2(back && *back == key, qPrintable(key.label()));
        }
        QVERIFY(!HotKey::fromQtKey(Qt::Key_Shift, Qt::ShiftModifier));
        QCOMPARE(HotKey::fromQtKey(Qt::Key_Enter, Qt::ControlModifier), (HotKey { 36, HotKey::kCtrl }));
    }
};

QTEST_GUILESS_MAIN(HotKeyTest)
#include "hotkeytest.moc"
