#include "desktoptesting.h"
#include "platform/globalshortcut/x11shortcut.h"
#include "ui/desktop/quicksearchpanel.h"
#include "ui/desktop/settingswindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace DesktopTesting;
using Result = ShortcutOutcome::Result;

Q_DECLARE_METATYPE(Qt::Key)

namespace {

QPushButton *recordButton(const SettingsWindow &window)
{
    const QList<QPushButton *> buttons = window.findChildren<QPushButton *>();
    for (QPushButton *button : buttons)
        if (button->text().startsWith(u"Record shortcut: ") || button->text().startsWith(u"Press a shortcut"))
            return button;
    return nullptr;
}

// The line under the record button, empty when hidden.
QString shownRefusal(const SettingsWindow &window)
{
    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    for (const QLabel *label : labels)
        if (label->text().startsWith(u"Hold ") || label->text().startsWith(u"This key"))
            return label->isVisibleTo(&window) ? label->text() : QString();
    return {};
}

} // namespace

// The stored shortcut, its translation, its registration and its recording in the settings window.
class ShortcutTest : public QObject
{
    Q_OBJECT

    StoreTesting::StoreEnvironment m_environment;

private Q_SLOTS:
    void storedValuesOfTheWrongTypeCountAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("defaults");
        QTest::addColumn<quint32>("code");
        QTest::addColumn<quint32>("mods");
        QTest::addColumn<QString>("label");
        QTest::newRow("all three stored") << QByteArray(R"({"hotKeyCode": 40, "hotKeyMods": 2304, "hotKeyLabel": "Alt+Ctrl+K"})")
                                          << 40u << 2304u << QStringLiteral("Alt+Ctrl+K");
        QTest::newRow("code as text") << QByteArray(R"({"hotKeyCode": "40", "hotKeyMods": 2304})") << 49u << 2304u
                                      << QStringLiteral("Shift+Ctrl+Space");
        QTest::newRow("negative mask") << QByteArray(R"({"hotKeyCode": 40, "hotKeyMods": -256})")
                                                       << 40u << 768u << QStringLiteral("Shift+Ctrl+Space");
        QTest::newRow("mask beyond 32 bits") << QByteArray(R"({"hotKeyMods": 4294967552})") << 49u << 768u
                                             << QStringLiteral("Shift+Ctrl+Space");
        QTest::newRow("label not text") << QByteArray(R"({"hotKeyLabel": 7})") << 49u << 768u
                                        << QStringLiteral("Shift+Ctrl+Space");
    }

    void storedValuesOfTheWrongTypeCountAsAbsent()
    {
        QFETCH(QByteArray, defaults);
        QFETCH(quint32, code);
        QFETCH(quint32, mods);
        QFETCH(QString, label);
        const QString file = m_environment.newSettingsFile();
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(defaults);
        out.close();

        auto state = std::make_shared<FakeBackendState>();
        LibraryStore store(StoreTesting::setup(file));
        DesktopServices services({ fakeFactory(state) });
        services.configure(store, [] { });
        QCOMPARE(state->bound, (QList<HotKey> { HotKey { code, mods } }));
        QCOMPARE(services.shortcutLabel(), label);
        QCOMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: ") + label);
    }

    void firstWorkingBackendIsKeptAndItsPressTogglesThePanel()
    {
        auto absent = std::make_shared<FakeBackendState>();
        absent->name = QStringLiteral("absent");
        absent->outcome = { Result::unavailable, {} };
        auto present = std::make_shared<FakeBackendState>();
        present->name = QStringLiteral("present");
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        DesktopServices services({ fakeFactory(absent), fakeFactory(present) });
        services.configure(store, [] { });

        QTRY_COMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Shift+Ctrl+Space"));
        QVERIFY(!absent->live);
        QVERIFY(present->live);
        QCOMPARE(
            services.setShortcut(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier), DesktopServices::Recording::stored);
        QCOMPARE(absent->bound.size(), 1);
        QCOMPARE(present->bound.size(), 2);
        QCOMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Alt+Ctrl+K"));

        present->live->press();
        QTRY_VERIFY(services.panel() && services.panel()->isVisible());
        present->live->press();
        QTRY_VERIFY(!services.panel()->isVisible());
    }

    void keyGrabIsUnavailableWithoutX11()
    {
        // The offscreen platform has no X connection: the grab must say so, not crash.
        X11Shortcut grab;
        QList<ShortcutOutcome> outcomes;
        connect(&grab, &GlobalShortcutBackend::bound, this, [&outcomes](const ShortcutOutcome &outcome) { outcomes.append(outcome); });
        grab.bind(HotKey());
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(int(outcomes.first().result), int(Result::unavailable));
    }

    void shortcutRecordedWhileTheServiceIsStillAnsweringWins()
    {
        auto state = std::make_shared<FakeBackendState>();
        state->answersLater = true;
        Desk desk(m_environment, state);
        QCOMPARE(desk.services.setShortcut(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier),
            DesktopServices::Recording::stored);
        QTRY_COMPARE(desk.store.hotKeyStatus(), QStringLiteral("Quick Search: Alt+Ctrl+K"));
        QCOMPARE(state->bound.last(), (HotKey { 40, HotKey::kCtrl | HotKey::kAlt }));
    }

    void refusedCombinationIsStillStored()
    {
        auto state = std::make_shared<FakeBackendState>();
        state->outcome = { Result::refused, QStringLiteral("BadAccess") };
        Desk desk(m_environment, state);
        QCOMPARE(desk.services.setShortcut(Qt::Key_F5, Qt::MetaModifier), DesktopServices::Recording::stored);
        QCOMPARE(desk.store.hotKeyLabel(), QStringLiteral("Super+F5"));
        QCOMPARE(desk.store.hotKeyCode(), 96u);
        QCOMPARE(desk.store.hotKeyMods(), 4096u);
        QCOMPARE(desk.store.hotKeyStatus(), QStringLiteral("Shortcut unavailable (BadAccess). Choose another combination."));
    }

    void recording_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("keysym"); // what the platform reports; 0 for none
        QTest::addColumn<bool>("stillRecording");
        QTest::addColumn<QString>("label"); // empty: nothing stored
        QTest::addColumn<quint32>("code");
        QTest::addColumn<quint32>("mods");
        QTest::addColumn<QString>("refusal"); // the line under the button

        const auto none = Qt::KeyboardModifiers();
        const QString needsModifier = QStringLiteral("Hold Ctrl, Alt or Super with the key.");
        const quint32 sym = HotKey::kKeysymBase;
        const auto row = [](const char *name, int key, Qt::KeyboardModifiers modifiers, quint32 keysym,
                             const QString &label, quint32 code, quint32 mods, const QString &refusal = {}) {
            const bool stored = !label.isEmpty() || key == Qt::Key_Escape;
            QTest::newRow(name) << key << modifiers << keysym << !stored << label << code << mods << refusal;
        };
        row("K alone is refused", Qt::Key_K, none, 'k', {}, 0, 0, needsModifier);
        row("Shift+K is refused", Qt::Key_K, Qt::ShiftModifier, 'K', {}, 0, 0, needsModifier);
        row("a lone modifier key waits for the rest", Qt::Key_Control, Qt::ControlModifier, 0xffe3, {}, 0, 0);
        row("Escape cancels", Qt::Key_Escape, none, 0xff1b, {}, 0, 0);
        row("Super+Alt+Ctrl+K in the fixed order", Qt::Key_K, Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier,
            'k', QStringLiteral("Super+Alt+Ctrl+K"), 40, 6400);
        row("Ctrl+Space", Qt::Key_Space, Qt::ControlModifier, ' ', QStringLiteral("Ctrl+Space"), 49, 256);
        row("shifted symbol counts as its key", Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, '!',
            QStringLiteral("Shift+Ctrl+1"), 18, 768);
        row("an accented letter", Qt::Key_Eacute, Qt::ControlModifier, 0xe9, QStringLiteral("Ctrl+É"), sym + 0xe9, 256);
        row("a shifted accented letter is its key", Qt::Key_Eacute, Qt::ShiftModifier | Qt::AltModifier, 0xc9,
            QStringLiteral("Alt+Shift+É"), sym + 0xe9, 2560);
        row("a keypad digit is not the digit above the letters", Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier,
            0xffb1, QStringLiteral("Ctrl+Num+1"), sym + 0xffb1, 256);
        row("F13", Qt::Key_F13, Qt::MetaModifier, 0xffca, QStringLiteral("Super+F13"), sym + 0xffca, 4096);
        row("a Cyrillic letter the platform gave no keysym for", 0x41a, Qt::AltModifier, 0, QStringLiteral("Alt+К"),
            sym + 0x6cb, 2048);
        row("Ctrl with a key nothing can name", Qt::Key_LaunchMail, Qt::ControlModifier, 0, {}, 0, 0,
            QStringLiteral("This key can’t be used for a shortcut. Try another key."));
    }

    void recording()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(quint32, keysym);
        QFETCH(bool, stillRecording);
        QFETCH(QString, label);
        QFETCH(quint32, code);
        QFETCH(quint32, mods);
        QFETCH(QString, refusal);

        Desk desk(m_environment);
        desk.services.showSettings();
        SettingsWindow *window = desk.services.settingsWindow();
        QVERIFY(window);
        QPushButton *button = recordButton(*window);
        QVERIFY(button);
        button->click();
        QVERIFY(window->isRecording());
        QVERIFY(!button->isEnabled());

        // Typed at another window: recording takes every key, so the field stays empty.
        QLineEdit elsewhere;
        for (const QEvent::Type type : { QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease }) {
            QKeyEvent event(type, key, modifiers, 0, keysym, 0, QString());
            QApplication::sendEvent(&elsewhere, &event);
        }
        QCOMPARE(elsewhere.text(), QString());

        QCOMPARE(window->isRecording(), stillRecording);
        if (label.isEmpty()) {
            QCOMPARE(desk.state->bound.size(), 1);
            QCOMPARE(desk.store.hotKeyLabel(), QStringLiteral("Shift+Ctrl+Space"));
        } else {
            QCOMPARE(desk.store.hotKeyLabel(), label);
            QCOMPARE(desk.store.hotKeyCode(), code);
            QCOMPARE(desk.store.hotKeyMods(), mods);
            QCOMPARE(desk.state->bound.size(), 2);
            QCOMPARE(desk.state->bound.last(), (HotKey { code, mods }));
            QCOMPARE(desk.store.hotKeyStatus(), QStringLiteral("Quick Search: ") + label);
        }
        QCOMPARE(shownRefusal(*window), refusal);
        if (!stillRecording) {
            QCOMPARE(button->text(), QStringLiteral("Record shortcut: ") + desk.store.hotKeyLabel());
            // Keys reach their widgets again.
            QTest::keyClicks(&elsewhere, QStringLiteral("ok"));
            QCOMPARE(elsewhere.text(), QStringLiteral("ok"));
        }
    }

    void escapeCancelsRecordingThenClosesSettings()
    {
        Desk desk(m_environment);
        desk.services.showSettings();
        SettingsWindow *window = desk.services.settingsWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->recordShortcut();
        // Pressed on a control, which leaves Escape to its window.
        QCheckBox *control = window->findChild<QCheckBox *>();
        QTest::keyClick(control, Qt::Key_Escape);
        QVERIFY(!window->isRecording() && window->isVisible());
        QTest::keyClick(control, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    void closingTheWindowEndsRecording()
    {
        Desk desk(m_environment);
        desk.services.showSettings();
        SettingsWindow *window = desk.services.settingsWindow();
        window->recordShortcut();
        window->close();
        QVERIFY(!window->isRecording());
        QLineEdit field;
        QTest::keyClicks(&field, QStringLiteral("k"));
        QCOMPARE(field.text(), QStringLiteral("k"));
    }

    void storedShortcutSurvivesARestart()
    {
        const QString file = m_environment.newSettingsFile();
        {
            LibraryStore store(StoreTesting::setup(file));
            DesktopServices services({ fakeFactory(std::make_shared<FakeBackendState>()) });
            services.configure(store, [] { });
            QCOMPARE(services.setShortcut(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier),
                DesktopServices::Recording::stored);
        }
        auto state = std::make_shared<FakeBackendState>();
        LibraryStore store(StoreTesting::setup(file));
        DesktopServices services({ fakeFactory(state) });
        services.configure(store, [] { });
        QCOMPARE(state->bound, (QList<HotKey> { HotKey { 40, 6400 } }));
        QCOMPARE(store.hotKeyStatus(), QStringLiteral("Quick Search: Super+Alt+Ctrl+K"));
    }
};

QTEST_MAIN(ShortcutTest)
#include "shortcuttest.moc"
