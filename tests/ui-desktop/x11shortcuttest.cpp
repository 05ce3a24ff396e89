#include "desktoptesting.h"

#include "platform/globalshortcut/x11shortcut.h"
#include "ui/desktop/quicksearchpanel.h"

#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace DesktopTesting;

namespace {

// Presses keys through the X test extension, as a user at the keyboard would.
bool press(const QString &keys)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), { QStringLiteral("key"), keys });
    return xdotool.waitForFinished(10'000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

} // namespace

// The key grab on a real X server (run under xvfb-run with the xcb platform).
class X11ShortcutTest : public QObject
{
    Q_OBJECT

    StoreTesting::StoreEnvironment m_environment;

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server: run under xvfb-run with QT_QPA_PLATFORM=xcb");
    }

    void keyPressTogglesThePanel()
    {
        // The standard order ends with the key grab, which is what works on a bare X server.
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services;
        services.configure(store, [] { });
        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Shift+Ctrl+Space"));

        QVERIFY(press(QStringLiteral("ctrl+shift+space")));
        QTRY_VERIFY(services.panel() && services.panel()->isVisible());
        QTRY_VERIFY(services.panel()->isActiveWindow());
        QVERIFY(press(QStringLiteral("ctrl+shift+space")));
        QTRY_VERIFY(!services.panel()->isVisible());

        // The old combination is released when a new one is recorded.
        QCOMPARE(
            services.setShortcut(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier), DesktopServices::Recording::stored);
        QCOMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Alt+Ctrl+K"));
        QVERIFY(press(QStringLiteral("ctrl+shift+space")));
        QTest::qWait(200); // a press that must have no effect: nothing to wait for
        QVERIFY(!services.panel()->isVisible());
        QVERIFY(press(QStringLiteral("ctrl+alt+k")));
        QTRY_VERIFY(services.panel()->isVisible());
    }

    void combinationHeldByAnotherClientIsRefused()
    {
        // Another client takes Alt+Ctrl+J first.
        xcb_connection_t *other = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(other));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        const xcb_keycode_t j = keycodeOf(other, 'j');
        QVERIFY(j != 0);
        xcb_generic_error_t *error = xcb_request_check(other,
            xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, j, XCB_GRAB_MODE_ASYNC,
                XCB_GRAB_MODE_ASYNC));
        QVERIFY(!error);

        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services({ [] { return std::make_unique<X11Shortcut>(); } });
        services.configure(store, [] { });
        QCOMPARE(
            services.setShortcut(Qt::Key_J, Qt::ControlModifier | Qt::AltModifier), DesktopServices::Recording::stored);
        QCOMPARE(store.hotKeyStatus(), QStringLiteral("Shortcut unavailable (BadAccess). Choose another combination."));
        QCOMPARE(store.hotKeyLabel(), QStringLiteral("Alt+Ctrl+J"));

        // Nothing of the refused combination stays grabbed: once the other client lets go, the
        // same combination is free for it to take again.
        xcb_ungrab_key(other, j, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
        xcb_flush(other);
        QTest::qWait(50);
        for (const quint16 lock : { quint16(0), quint16(XCB_MOD_MASK_LOCK) }) {
            error = xcb_request_check(other, xcb_grab_key_checked(other, 1, root,
                XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | lock, j, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            QVERIFY2(!error, "a grab of the refused combination was left behind");
        }
        xcb_disconnect(other);
    }

private:
    static xcb_keycode_t keycodeOf(xcb_connection_t *connection, xcb_keysym_t keysym)
    {
        const xcb_setup_t *setup = xcb_get_setup(connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t *mapping = xcb_get_keyboard_mapping_reply(connection,
            xcb_get_keyboard_mapping(connection, setup->min_keycode, quint8(count)), nullptr);
        xcb_keycode_t found = 0;
        if (mapping) {
            const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping);
            for (int code = 0; code < count && !found; ++code)
                if (symbols[code * mapping->keysyms_per_keycode] == keysym)
                    found = xcb_keycode_t(setup->min_keycode + code);
            std::free(mapping);
        }
        return found;
    }
};

QTEST_MAIN(X11ShortcutTest)
#include "x11shortcuttest.moc"
