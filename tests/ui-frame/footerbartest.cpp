#include "ui/frame/footerbar.h"

#include "frametesting.h"
#include "store/audioplayer.h"
#include "ui/frame/elidedlabel.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace StoreTesting;
using namespace FrameTesting;

namespace {

class SilentPlayer : public AudioPlayer
{
public:
    void play() override { }
    void pause() override { }
};

} // namespace

class FooterBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scanningSwapsTheDotForProgress()
    {
        Probe probe;
        LibraryStore store(setup(m_environment.newSettingsFile(), probe.workers({ QStringLiteral("scan") })));
        FooterBar footer(store);
        auto *busy = footer.findChild<QProgressBar *>(QStringLiteral("scanProgress"));
        auto *dot = footer.findChild<QWidget *>(QStringLiteral("statusDot"));
        QVERIFY(!shown(busy, &footer));
        QVERIFY(shown(dot, &footer));

        store.setRoots({ "/nowhere" });
        store.refresh();
        QVERIFY(store.scanning());
        QVERIFY(shown(busy, &footer));
        QVERIFY(!shown(dot, &footer));
        probe.gate.open();
        QTRY_VERIFY(!store.scanning());
        QVERIFY(!shown(busy, &footer));
        QVERIFY(shown(dot, &footer));
        QCOMPARE(footer.findChild<ElidedLabel *>(QStringLiteral("status"))->text(), store.status());
    }

    void quickLookFollowsTheSelection()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        const FileRecord report = record("/d/report.pdf", FileKind::documents);
        store.setFiles({ report });
        FooterBar footer(store);
        auto *quickLook = named<QPushButton>(&footer, QStringLiteral("Quick Look"));
        QVERIFY(!shown(quickLook, &footer));

        store.setSelection(report.path);
        QVERIFY(shown(quickLook, &footer));
        quickLook->click();
        QCOMPARE(store.preview(), std::optional<FileRecord>(report));
        store.setSelection(std::nullopt);
        QVERIFY(!shown(quickLook, &footer));
    }

    void player()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setAudioPlayerFactory([](const QByteArray &) { return std::make_unique<SilentPlayer>(); });
        const FileRecord first = record("/m/a first song with a rather long name.mp3", FileKind::music);
        const FileRecord second = record("/m/b.mp3", FileKind::music);
        store.setFiles({ first, second });
        FooterBar footer(store);
        auto *player = footer.findChild<QWidget *>(QStringLiteral("player"));
        QVERIFY(!shown(player, &footer));

        store.play(first);
        QVERIFY(shown(player, &footer));
        auto *song = footer.findChild<ElidedLabel *>(QStringLiteral("songName"));
        QCOMPARE(song->text(), first.name());
        auto *toggle = named<QToolButton>(&footer, QStringLiteral("Pause"));
        QCOMPARE(toggle->property("symbol").toString(), QStringLiteral("pause.fill"));
        toggle->click();
        QVERIFY(!store.playing());
        QCOMPARE(toggle->property("symbol").toString(), QStringLiteral("play.fill"));

        named<QToolButton>(&footer, QStringLiteral("Next song"))->click();
        QCOMPARE(song->text(), second.name());
        named<QToolButton>(&footer, QStringLiteral("Previous song"))->click();
        QCOMPARE(song->text(), first.name());
    }

private:
    StoreEnvironment m_environment;
};

QTEST_MAIN(FooterBarTest)
#include "footerbartest.moc"
