// The menu commands: one command per key, the tile-size clamps, Select All Files, and a focused
// text field keeping its own editing keys.

#include "storetesting.h"
#include "ui/shell/commands.h"

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace StoreTesting;

class CommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyKeyReachesOneCommand();
    void tileSizeClamps_data();
    void tileSizeClamps();
    void selectAllReplacesSelection_data();
    void selectAllReplacesSelection();
    void textFieldKeepsItsKeys_data();
    void textFieldKeepsItsKeys();
    void keysReachTheStoreOutsideTextFields();

private:
    StoreEnvironment m_environment;
};

// Two commands on one key would leave the key doing neither.
void CommandsTest::everyKeyReachesOneCommand()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    Commands commands(store);
    QSet<QString> taken;
    for (QAction *action : commands.actions()) {
        for (const QKeySequence &key : action->shortcuts()) {
            QVERIFY2(!taken.contains(key.toString()), qPrintable(key.toString()));
            taken.insert(key.toString());
        }
    }
    QVERIFY(!taken.isEmpty());
}

void CommandsTest::tileSizeClamps_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("expected");
    QTest::newRow("bigger_from_255_stops_at_260") << QStringLiteral("Bigger Thumbnails") << 255.0 << 260.0;
    QTest::newRow("bigger_one_step") << QStringLiteral("Bigger Thumbnails") << 170.0 << 180.0;
    QTest::newRow("smaller_from_115_stops_at_110") << QStringLiteral("Smaller Thumbnails") << 115.0 << 110.0;
}

void CommandsTest::tileSizeClamps()
{
    QFETCH(QString, title);
    QFETCH(double, start);
    QFETCH(double, expected);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    store.setTileSize(start);
    Commands commands(store);
    commands.action(title)->trigger();
    QCOMPARE(store.tileSize(), expected);
}

void CommandsTest::selectAllReplacesSelection_data()
{
    QTest::addColumn<int>("fileCount");
    QTest::newRow("empty_list_empties_the_selection") << 0;
    QTest::newRow("three_visible_files") << 3;
}

void CommandsTest::selectAllReplacesSelection()
{
    QFETCH(int, fileCount);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    QList<FileRecord> files;
    QSet<QByteArray> expected;
    for (int i = 0; i < fileCount; ++i) {
        files.append(record("/library/file" + QByteArray::number(i) + ".txt", FileKind::documents));
        expected.insert(files.last().id());
    }
    store.setFiles(files);
    store.navigate(place(u"Recents"));
    store.setSelectedIDs({ QByteArray("/elsewhere/stale.txt") });
    Commands commands(store);
    commands.action(QStringLiteral("Select All Files"))->trigger();
    QCOMPARE(store.selectedIDs(), expected);
}

void CommandsTest::textFieldKeepsItsKeys_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::newRow("ctrl_a_selects_the_text") << QKeyCombination(Qt::CTRL | Qt::Key_A);
    QTest::newRow("ctrl_left_moves_by_word") << QKeyCombination(Qt::CTRL | Qt::Key_Left);
    QTest::newRow("ctrl_right_moves_by_word") << QKeyCombination(Qt::CTRL | Qt::Key_Right);
    QTest::newRow("delete_deletes_a_character") << QKeyCombination(Qt::Key_Delete);
    QTest::newRow("ctrl_c_copies_the_text") << QKeyCombination(Qt::CTRL | Qt::Key_C);
}

void CommandsTest::textFieldKeepsItsKeys()
{
    QFETCH(QKeyCombination, key);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    Commands commands(store);
    QMainWindow window;
    commands.install(window.menuBar(), &window);
    auto *field = new QLineEdit(QStringLiteral("two words"), &window);
    window.setCentralWidget(field);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    field->setFocus();
    field->setCursorPosition(4);
    QList<QSignalSpy *> spies;
    for (QAction *action : commands.actions())
        spies.append(new QSignalSpy(action, &QAction::triggered));
    QTest::keyClick(field, key.key(), key.keyboardModifiers());
    for (QSignalSpy *spy : spies) {
        QCOMPARE(spy->count(), 0);
        delete spy;
    }
}

void CommandsTest::keysReachTheStoreOutsideTextFields()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    Commands commands(store);
    QMainWindow window;
    commands.install(window.menuBar(), &window);
    auto *central = new QWidget(&window);
    central->setFocusPolicy(Qt::StrongFocus);
    window.setCentralWidget(central);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    central->setFocus();
    QTest::keyClick(central, Qt::Key_2, Qt::ControlModifier);
    QVERIFY(store.listMode());
    QTest::keyClick(central, Qt::Key_I, Qt::ControlModifier);
    QVERIFY(store.showInspector());
    QTest::keyClick(central, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(store.destination().key(), QStringLiteral("Duplicates"));
}

QTEST_MAIN(CommandsTest)
#include "commandstest.moc"
