#include "ui/frame/toolbar.h"

#include "frametesting.h"

#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace StoreTesting;
using namespace FrameTesting;

class ToolbarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typingEditsTheQuery()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.navigate(place(u"Duplicates"));
        Toolbar toolbar(store);
        QLineEdit *field = toolbar.searchField();
        auto *clear = named<QToolButton>(&toolbar, QStringLiteral("Clear search"));
        auto *hint = toolbar.findChild<QLabel *>(QStringLiteral("searchHint"));
        QVERIFY(!shown(clear, &toolbar));
        QVERIFY(shown(hint, &toolbar));

        QSignalSpy changes(&store, &LibraryStore::queryChanged);
        QTest::keyClicks(field, QStringLiteral("pdfs"));
        QCOMPARE(store.query(), QStringLiteral("pdfs"));
        QCOMPARE(changes.size(), 4);
        QVERIFY(shown(clear, &toolbar));
        QVERIFY(!shown(hint, &toolbar));

        clear->click();
        QCOMPARE(store.query(), QString());
        QCOMPARE(field->text(), QString());
        QCOMPARE(store.destination().key(), QStringLiteral("Duplicates"));
        QVERIFY(!shown(clear, &toolbar));
        QVERIFY(shown(hint, &toolbar));
    }

    void storeChangesReachTheField()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        Toolbar toolbar(store);
        QLineEdit *field = toolbar.searchField();
        store.setQuery(QStringLiteral("big videos"));
        QCOMPARE(field->text(), QStringLiteral("big videos"));
        QVERIFY(shown(named<QToolButton>(&toolbar, QStringLiteral("Clear search")), &toolbar));

        // An edit in the middle keeps the cursor where the user typed.
        field->setCursorPosition(3);
        QTest::keyClick(field, Qt::Key_X);
        QCOMPARE(store.query(), QStringLiteral("bigx videos"));
        QCOMPARE(field->cursorPosition(), 4);

        store.navigate(place(u"Home"));
        QCOMPARE(field->text(), QString());
    }

    void toggles_data()
    {
        QTest::addColumn<QString>("help");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("symbolBefore");
        QTest::addColumn<QString>("symbolAfter");
        QTest::newRow("look") << QStringLiteral("Switch between Playful and Minimal") << QStringLiteral("minimal")
                              << QStringLiteral("paintpalette") << QStringLiteral("circle.lefthalf.filled");
        QTest::newRow("grid or list names the mode it switches to")
            << QStringLiteral("Switch grid / list") << QStringLiteral("listMode") << QStringLiteral("list.bullet")
            << QStringLiteral("square.grid.2x2");
        QTest::newRow("inspector") << QStringLiteral("Toggle inspector (Ctrl+I)") << QStringLiteral("showInspector")
                                   << QString() << QString();
    }

    void toggles()
    {
        QFETCH(QString, help);
        LibraryStore store(setup(m_environment.newSettingsFile()));
        Toolbar toolbar(store);
        auto *button = named<QToolButton>(&toolbar, help);
        QVERIFY(button);
        QFETCH(QString, setting);
        // Each button flips its own setting and no other.
        const auto state = [&store] {
            return QMap<QString, bool> { { QStringLiteral("minimal"), store.minimal() },
                { QStringLiteral("listMode"), store.listMode() },
                { QStringLiteral("showInspector"), store.showInspector() } };
        };
        const QMap<QString, bool> before = state();
        QTEST(button->property("symbol").toString(), "symbolBefore");
        button->click();
        QMap<QString, bool> expected = before;
        expected[setting] = !before[setting];
        QCOMPARE(state(), expected);
        QTEST(button->property("symbol").toString(), "symbolAfter");
        button->click();
        QCOMPARE(state(), before);
    }

    void navigationMenu()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        Toolbar toolbar(store);
        auto *button = toolbar.findChild<QToolButton *>(QStringLiteral("navigationMenu"));
        QVERIFY(button && button->menu());
        QStringList texts;
        QList<QAction *> actions;
        for (QAction *action : button->menu()->actions()) {
            if (!action->isSeparator()) {
                texts.append(action->text());
                actions.append(action);
            }
        }

        store.setQuery(QStringLiteral("text"));
        actions[texts.indexOf(QStringLiteral("Music"))]->trigger();
        QCOMPARE(store.destination().key(), QStringLiteral("Music"));
        QCOMPARE(store.query(), QString());
        const bool sidebar = store.showSidebar();
        actions.last()->trigger();
        QCOMPARE(store.showSidebar(), !sidebar);
    }

private:
    StoreEnvironment m_environment;
};

QTEST_MAIN(ToolbarTest)
#include "toolbartest.moc"
