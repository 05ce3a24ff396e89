#include "store/audioplayer.h"
#include "store/storetesting.h"
#include "ui/sections/fileinteraction.h"

#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QWidget>

using namespace StoreTesting;

namespace {

class FakePlayer : public AudioPlayer
{
    Q_OBJECT

public:
    explicit FakePlayer(int *plays) : m_plays(plays) { }
    void play() override { ++*m_plays; }
    void pause() override { }

private:
    int *m_plays;
};

QSet<QByteArray> ids(std::initializer_list<const char *> paths)
{
    QSet<QByteArray> set;
    for (const char *path : paths)
        set.insert(QByteArray(path));
    return set;
}

} // namespace

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
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QSet<QByteArray>>("afterPress");
        QTest::addColumn<QSet<QByteArray>>("afterRelease");
        const QSet<QByteArray> three = ids({ "/lib/a.jpg", "/lib/b.pdf", "/lib/d.txt" });
        QTest::newRow("plain click keeps all until release") << int(Qt::NoModifier) << three << ids({ "/lib/b.pdf" });
        QTest::newRow("ctrl click removes the file") << int(Qt::ControlModifier) << ids({ "/lib/a.jpg", "/lib/d.txt" })
                                                     << ids({ "/lib/a.jpg", "/lib/d.txt" });
    }
    void pressAndRelease()
    {
        QFETCH(int, modifiers);
        QFETCH(QSet<QByteArray>, afterPress);
        QFETCH(QSet<QByteArray>, afterRelease);
        auto store = makeStore();
        store->setSelectedIDs(ids({ "/lib/a.jpg", "/lib/b.pdf", "/lib/d.txt" }));
        FileInteraction interaction(*store);
        const FileRecord clicked = store->files().at(1);
        interaction.press(clicked, QPointF(10, 10), Qt::KeyboardModifiers(modifiers), false);
        QCOMPARE(store->selectedIDs(), afterPress);
        interaction.release(clicked, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(store->selectedIDs(), afterRelease);
    }

    void pressOnUnselectedSelectsIt()
    {
        auto store = makeStore();
        store->setSelectedIDs(ids({ "/lib/a.jpg" }));
        FileInteraction interaction(*store);
        interaction.press(store->files().at(3), QPointF(), Qt::NoModifier, false);
        QCOMPARE(store->selectedIDs(), ids({ "/lib/d.txt" }));
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
        store->setSelectedIDs(ids({ "/lib/a.jpg", "/lib/b.pdf", "/lib/d.txt" }));
        FileInteraction interaction(*store);
        const FileRecord file = store->files().at(0);
        interaction.press(file, QPointF(10, 10), Qt::NoModifier, false);
        QCOMPARE(interaction.moveStartsDrag(to), starts);
        if (starts) {
            QVERIFY(!interaction.moveStartsDrag(to + QPointF(20, 0))); // once per press
            QCOMPARE(interaction.dragFiles(file).size(), 3);
        }
        interaction.release(file, Qt::NoModifier);
        QCOMPARE(store->selectedIDs().size(), starts ? 3 : 1);
    }

    void dragOfUnselectedFileCarriesOnlyIt()
    {
        auto store = makeStore();
        store->setSelectedIDs(ids({ "/lib/a.jpg", "/lib/b.pdf" }));
        FileInteraction interaction(*store);
        const QList<FileRecord> files = interaction.dragFiles(store->files().at(2));
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.first().path, QByteArray("/lib/c.mp3"));
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
        int played = 0;
        store->setAudioPlayerFactory([&played](const QByteArray &) { return std::make_unique<FakePlayer>(&played); });
        FileInteraction interaction(*store);
        const FileRecord file = store->files().at(row);
        interaction.press(file, QPointF(), Qt::NoModifier, false);
        interaction.release(file, Qt::NoModifier);
        interaction.press(file, QPointF(), Qt::NoModifier, true);
        interaction.release(file, Qt::NoModifier);
        QCOMPARE(played, plays ? 1 : 0);
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

    void contextMenuOfUnselectedFile()
    {
        auto store = makeStore();
        store->setSelectedIDs(ids({ "/lib/a.jpg", "/lib/b.pdf" }));
        FileInteraction interaction(*store);
        QMenu menu;
        const FileRecord file = store->files().at(3);
        interaction.fillContextMenu(menu, file);
        QCOMPARE(store->selectedIDs(), ids({ "/lib/d.txt" }));
        QStringList titles;
        for (const QAction *action : menu.actions())
            titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(titles,
            QStringList({ QStringLiteral("Quick Look"), QStringLiteral("Open"), QStringLiteral("Show in Folder"),
                QStringLiteral("Pin Folder to Sidebar"), QStringLiteral("Copy Files"), QStringLiteral("Copy Path"),
                QStringLiteral("Copy Text"), QStringLiteral("Inspect"), QStringLiteral("-"),
                QStringLiteral("Move 1 Selected to Trash…") }));
        for (const QAction *action : menu.actions())
            QVERIFY(action->shortcut().isEmpty());

        menu.actions().last()->trigger();
        QCOMPARE(store->pendingTrash().size(), 1);
        QCOMPARE(store->pendingTrash().first().path, file.path);
        menu.actions().at(7)->trigger(); // Inspect
        QVERIFY(store->showInspector());
        QCOMPARE(*store->selection(), file.path);
        menu.actions().at(3)->trigger(); // Pin Folder to Sidebar
        QCOMPARE(store->pinnedPaths(), QStringList { QStringLiteral("/lib") });
    }

    void contextMenuOfSelectedFileCountsTheSelection()
    {
        auto store = makeStore();
        store->setSelectedIDs(ids({ "/lib/a.jpg", "/lib/b.pdf" }));
        FileInteraction interaction(*store);
        QMenu menu;
        interaction.fillContextMenu(menu, store->files().at(0));
        QCOMPARE(store->selectedIDs().size(), 2);
        QCOMPARE(menu.actions().last()->text(), QStringLiteral("Move 2 Selected to Trash…"));
    }
};

QTEST_MAIN(FileInteractionTest)
#include "fileinteractiontest.moc"
