#include "store/storetesting.h"
#include "ui/sections/fileinteraction.h"

#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QWidget>

using namespace StoreTesting;

using Ids = QSet<QByteArray>;

class FileInteractionTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;

    std::unique_ptr<LibraryStore> makeStore()
    {
        auto store = std::make_unique<LibraryStore>(setup(m_environment.newSettingsFile()));
        store->setFiles({ record("/lib/a.jpg", FileKind::images), record("/lib/b.pdf", FileKind::documents),
            record("/lib/c.mp3", FileKind::music), record("/lib/d.txt", FileKind::documents) });
        return store;
    }

private Q_SLOTS:
    void cleanup() { settle(); }

    // Press and release with three files selected, with and without modifiers.
    void pressAndRelease_data()
    {
        QTest::addColumn<int>("clicked");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QSet<QByteArray>>("afterPress");
        QTest::addColumn<QSet<QByteArray>>("afterRelease");
        const QSet<QByteArray> three = Ids({ "/lib/a.jpg", "/lib/b.pdf", "/lib/d.txt" });
        QTest::newRow("plain click keeps all until release")
            << 1 << int(Qt::NoModifier) << three << Ids({ "/lib/b.pdf" });
        QTest::newRow("ctrl click removes the file") << 1 << int(Qt::ControlModifier)
                                                     << Ids({ "/lib/a.jpg", "/lib/d.txt" })
                                                     << Ids({ "/lib/a.jpg", "/lib/d.txt" });
        QTest::newRow("press on an unselected file selects it alone")
            << 2 << int(Qt::NoModifier) << Ids({ "/lib/c.mp3" }) << Ids({ "/lib/c.mp3" });
    }
    void pressAndRelease()
    {
        QFETCH(int, clicked);
        QFETCH(int, modifiers);
        QFETCH(QSet<QByteArray>, afterPress);
        QFETCH(QSet<QByteArray>, afterRelease);
        auto store = makeStore();
        store->setSelectedIDs(Ids({ "/lib/a.jpg", "/lib/b.pdf", "/lib/d.txt" }));
        FileInteraction interaction(*store);
        const FileRecord file = store->files().at(clicked);
        interaction.press(file, QPointF(10, 10), Qt::KeyboardModifiers(modifiers), false);
        QCOMPARE(store->selectedIDs(), afterPress);
        interaction.release(file, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(store->selectedIDs(), afterRelease);
    }

    // Only a move of more than four points starts a drag; after it, release changes nothing.
    void dragThreshold_data()
    {
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<bool>("starts");
        QTest::newRow("no move") << QPointF(10, 10) << false;
        QTest::newRow("exactly four") << QPointF(14, 10) << false;
        QTest::newRow("diagonal under four") << QPointF(12.8, 12.8) << false;
        QTest::newRow("4.1 sideways") << QPointF(14.1, 10) << true;
        QTest::newRow("far diagonal") << QPointF(20, 30) << true;
    }
    void dragThreshold()
    {
        QFETCH(QPointF, to);
        QFETCH(bool, starts);
        auto store = makeStore();
        store->setSelectedIDs(Ids({ "/lib/a.jpg", "/lib/b.pdf", "/lib/d.txt" }));
        FileInteraction interaction(*store);
        const FileRecord file = store->files().at(0);
        interaction.press(file, QPointF(10, 10), Qt::NoModifier, false);
        QCOMPARE(interaction.moveStartsDrag(to), starts);
        if (starts) {
            QVERIFY(!interaction.moveStartsDrag(to + QPointF(20, 0))); // once per press
            QCOMPARE(interaction.dragFiles(file).size(), 3);
            // A file outside the selection is dragged alone.
            const FileRecord unselected = store->files().at(2);
            QCOMPARE(interaction.dragFiles(unselected), QList<FileRecord> { unselected });
        }
        interaction.release(file, Qt::NoModifier);
        QCOMPARE(store->selectedIDs().size(), starts ? 3 : 1);
    }

    void uriListKeepsNamesThatAreNotUtf8()
    {
        const std::unique_ptr<QMimeData> data(FileInteraction::mimeData(
            { record("/lib/caf\xe9 menu.txt"), record("/lib/plain.txt") }));
        QCOMPARE(data->formats(), QStringList { QStringLiteral("text/uri-list") });
        QCOMPARE(data->data(QStringLiteral("text/uri-list")),
            QByteArray("file:///lib/caf%E9%20menu.txt\r\nfile:///lib/plain.txt\r\n"));
    }

    void doubleClick_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("plays");
        QTest::newRow("a song plays") << 2 << true;
        QTest::newRow("a document previews") << 1 << false;
    }
    void doubleClick()
    {
        QFETCH(int, row);
        QFETCH(bool, plays);
        auto store = makeStore();
        QStringList played;
        store->setAudioPlayerFactory(
            [&played](const QByteArray &path) { return std::make_unique<LoggingPlayer>(path, &played); });
        FileInteraction interaction(*store);
        const FileRecord file = store->files().at(row);
        interaction.press(file, QPointF(), Qt::NoModifier, false);
        interaction.release(file, Qt::NoModifier);
        interaction.press(file, QPointF(), Qt::NoModifier, true);
        interaction.release(file, Qt::NoModifier);
        QCOMPARE(played, plays ? QStringList { QStringLiteral("play c.mp3") } : QStringList());
        QCOMPARE(store->currentSong().has_value(), plays);
        QCOMPARE(store->preview().has_value(), !plays);
        if (!plays)
            QCOMPARE(store->preview()->path, file.path);
    }

    void keysOpenPreviewAndStep()
    {
        auto store = makeStore();
        FileInteraction interaction(*store);
        QVERIFY(interaction.key(Qt::Key_Space, 1));
        QVERIFY(!store->preview());
        QVERIFY(interaction.key(Qt::Key_Right, 1));
        const QByteArray first = *store->selection();
        QVERIFY(interaction.key(Qt::Key_Right, 1));
        QVERIFY(*store->selection() != first);
        QVERIFY(interaction.key(Qt::Key_Left, 1));
        QCOMPARE(*store->selection(), first);
        QVERIFY(interaction.key(Qt::Key_Space, 1));
        QCOMPARE(store->preview()->path, first);
        // Down and Up move by the row length the caller lays out.
        QVERIFY(interaction.key(Qt::Key_Down, 2));
        QCOMPARE(store->selection(), std::optional<QByteArray>(store->visibleFiles().at(2).path));
        QVERIFY(interaction.key(Qt::Key_Up, 2));
        QCOMPARE(*store->selection(), first);
        QVERIFY(!interaction.key(Qt::Key_A, 2));
    }

    // A right-click on a file outside the selection makes it the selection; on a selected file
    // it keeps the selection. The menu then acts on what is selected.
    void contextMenu_data()
    {
        QTest::addColumn<int>("clicked");
        QTest::addColumn<QSet<QByteArray>>("selected");
        QTest::newRow("unselected file") << 3 << Ids({ "/lib/d.txt" });
        QTest::newRow("selected file") << 0 << Ids({ "/lib/a.jpg", "/lib/b.pdf" });
    }
    void contextMenu()
    {
        QFETCH(int, clicked);
        QFETCH(QSet<QByteArray>, selected);
        auto store = makeStore();
        store->setSelectedIDs(Ids({ "/lib/a.jpg", "/lib/b.pdf" }));
        FileInteraction interaction(*store);
        QMenu menu;
        const FileRecord file = store->files().at(clicked);
        interaction.fillContextMenu(menu, file);
        QCOMPARE(store->selectedIDs(), selected);
        QMap<QString, QAction *> actions;
        for (QAction *action : menu.actions()) {
            QVERIFY(action->shortcut().isEmpty());
            actions.insert(action->text(), action);
        }

        actions.value(QStringLiteral("Move %1 Selected to Trash…").arg(selected.size()))->trigger();
        QSet<QByteArray> trashed;
        for (const FileRecord &pending : store->pendingTrash())
            trashed.insert(pending.path);
        QCOMPARE(trashed, selected);
        actions.value(QStringLiteral("Inspect"))->trigger();
        QVERIFY(store->showInspector());
        QCOMPARE(*store->selection(), file.path);
        actions.value(QStringLiteral("Pin Folder to Sidebar"))->trigger();
        QCOMPARE(store->pinnedPaths(), QStringList { QStringLiteral("/lib") });
    }
};

QTEST_MAIN(FileInteractionTest)
#include "fileinteractiontest.moc"
