#include "samplefiles.h"
#include "store/audioplayer.h"
#include "storetesting.h"
#include "support/testtree.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTest>

using namespace StoreTesting;

namespace {

FileRecord song(const QByteArray &name)
{
    return record("/m/" + name, FileKind::music);
}

} // namespace

class StorePlaybackTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;
    QStringList m_log;
    QList<QPointer<LoggingPlayer>> m_players;

    // c.mp3, a.mp3 and B.mp3 after a document: the playlist is B, a, c.
    std::unique_ptr<LibraryStore> makeStore()
    {
        auto store = std::make_unique<LibraryStore>(setup(m_environment.newSettingsFile()));
        store->setAudioPlayerFactory([this](const QByteArray &path) {
            auto player = std::make_unique<LoggingPlayer>(path, &m_log);
            m_players.append(player.get());
            return player;
        });
        store->setFiles({ record("/m/doc.pdf", FileKind::documents), song("c.mp3"), song("a.mp3"), song("B.mp3") });
        return store;
    }

    static QString current(const LibraryStore &store)
    {
        return store.currentSong() ? store.currentSong()->name() : QString();
    }

private Q_SLOTS:
    void init()
    {
        m_log.clear();
        m_players.clear();
    }
    void cleanup() { settle(); }

    void playlistInCodePointOrder()
    {
        auto store = makeStore();
        store->setFiles(QList<FileRecord>(store->files()) << record("/other/a.mp3", FileKind::music));
        QStringList paths;
        for (const FileRecord &file : store->playlist())
            paths << QString::fromUtf8(file.path);
        QCOMPARE(paths, strings({ "/m/B.mp3", "/m/a.mp3", "/other/a.mp3", "/m/c.mp3" }));
    }

    // `action` is "skip" and a step, or "end" (the song plays to its end), which may be followed at
    // once, before the event loop turns, by "play" and the song the user starts.
    void moveOn_data()
    {
        textColumns({ "from", "action", "to" });
        textRow("forward from the last wraps", { "c.mp3", "skip 1", "B.mp3" });
        textRow("back from the first wraps", { "B.mp3", "skip -1", "c.mp3" });
        textRow("more than a round back", { "B.mp3", "skip -4", "c.mp3" });
        textRow("no song yet counts from the first", { "", "skip 1", "a.mp3" });
        textRow("the end of the last song plays the first", { "c.mp3", "end", "B.mp3" });
        textRow("a song started as the last one ends keeps playing", { "B.mp3", "end play c.mp3", "c.mp3" });
    }

    void moveOn()
    {
        QFETCH(QString, from);
        QFETCH(QString, action);
        QFETCH(QString, to);
        auto store = makeStore();
        if (!from.isEmpty())
            store->play(song(from.toUtf8()));
        const QStringList words = action.split(u' ');
        if (words[0] == u"skip")
            store->skipSong(words[1].toInt());
        else
            Q_EMIT m_players.last()->finished();
        if (words.contains(u"play"))
            store->play(song(words.last().toUtf8()));
        settle();
        QCOMPARE(current(*store), to);
        QVERIFY(store->playing());
        QCOMPARE(m_log.last(), QStringLiteral("play ") + to);
        // Each replaced player was paused and is gone, so it can move nothing on.
        QVERIFY(from.isEmpty() || m_log.contains(QStringLiteral("pause ") + from));
        QCOMPARE(
            std::count_if(m_players.cbegin(), m_players.cend(), [](const auto &player) { return !player.isNull(); }),
            1);
    }

    void toggle()
    {
        auto store = makeStore();
        store->togglePlayback();
        QCOMPARE(current(*store), QStringLiteral("B.mp3"));
        store->togglePlayback();
        QVERIFY(!store->playing());
        QCOMPARE(m_log.last(), QStringLiteral("pause B.mp3"));
        store->skipSong(1);
        QVERIFY(store->playing());
        QCOMPARE(current(*store), QStringLiteral("a.mp3"));
        store->play(record("/m/doc.pdf", FileKind::documents));
        QCOMPARE(current(*store), QStringLiteral("a.mp3"));

        LibraryStore empty(setup(m_environment.newSettingsFile()));
        empty.setFiles({ record("/m/doc.pdf", FileKind::documents) });
        empty.togglePlayback();
        QVERIFY(!empty.currentSong() && !empty.playing());
    }

    // Qt Multimedia playing a real file to its end moves on to the next song.
    void realPlayerMovesOnAtTheEnd()
    {
        if (QMediaDevices::audioOutputs().isEmpty())
            QSKIP("no audio output on this machine: the real player cannot play");
        TestTree tree;
        const QByteArray first = tree.file("a.wav", SampleFiles::wav(200));
        const QByteArray second = tree.file("b.wav", SampleFiles::wav(200));
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setFiles({ record(first, FileKind::music), record(second, FileKind::music) });
        store.togglePlayback();
        QCOMPARE(store.currentSong()->path, first);
        QTRY_COMPARE_WITH_TIMEOUT(store.currentSong()->path, second, 10'000);
    }
};

QTEST_MAIN(StorePlaybackTest)
#include "storeplaybacktest.moc"
