#include "analysis/similar/similarityfinder.h"

#include "library/libraryscanner.h"
#include "platform/thumbnails/thumbnailstore.h"
#include "support/hostilefiles.h"
#include "support/testtree.h"
#include "syntheticphoto.h"

#include <QTest>

#include <map>

using namespace SyntheticPhoto;

using Groups = QList<QList<qsizetype>>;
// Distances between items by pair "ij" (i < j, single digits); missing pairs are far apart, and
// a negative value is a distance that cannot be computed.
using Distances = std::map<QByteArray, float>;

namespace {

FileRecord record(const char *path, qint64 modified, FileKind kind = FileKind::images)
{
    FileRecord r;
    r.path = path;
    r.kind = kind;
    r.modified = Timestamp::fromUnix(modified);
    return r;
}

QByteArrayList paths(const QList<FileRecord> &records)
{
    QByteArrayList out;
    for (const FileRecord &r : records)
        out.append(r.path);
    return out;
}

} // namespace

class SimilarityFinderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Cached thumbnails are read from here: never the user's own cache.
        m_home.becomeHome();
    }

    void grouping_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<Distances>("distances");
        QTest::addColumn<float>("threshold");
        QTest::addColumn<Groups>("expected");

        QTest::newRow("no images") << 0 << Distances{} << 0.35f << Groups{};
        QTest::newRow("nothing close") << 3 << Distances{{"01", 0.5f}, {"12", 0.9f}} << 0.35f << Groups{};
        // A newest; A-B and A-C close, B-C far: membership is decided against the anchor only.
        QTest::newRow("members judged against the anchor")
            << 3 << Distances{{"01", 0.2f}, {"02", 0.3f}, {"12", 0.7f}} << 0.35f << Groups{{0, 1, 2}};
        // The same three with B newest: B anchors B, A; C is close to A only and stays out.
        QTest::newRow("newest anchors, member's neighbour stays out")
            << 3 << Distances{{"01", 0.2f}, {"02", 0.7f}, {"12", 0.3f}} << 0.35f << Groups{{0, 1}};
        QTest::newRow("left-out image anchors a later group")
            << 4 << Distances{{"01", 0.2f}, {"12", 0.3f}, {"23", 0.1f}} << 0.35f << Groups{{0, 1}, {2, 3}};
        QTest::newRow("a placed image never anchors")
            << 3 << Distances{{"01", 0.1f}, {"12", 0.1f}} << 0.35f << Groups{{0, 1}};
        QTest::newRow("each image joins the first group that takes it")
            << 4 << Distances{{"02", 0.3f}, {"12", 0.1f}, {"13", 0.1f}} << 0.35f << Groups{{0, 2}, {1, 3}};
        QTest::newRow("distance equal to the threshold matches")
            << 2 << Distances{{"01", 0.35f}} << 0.35f << Groups{{0, 1}};
        QTest::newRow("just above the threshold does not")
            << 2 << Distances{{"01", std::nextafter(0.35f, 1.0f)}} << 0.35f << Groups{};
        QTest::newRow("threshold zero: identical prints only")
            << 3 << Distances{{"01", 0.0f}, {"02", 0.001f}} << 0.0f << Groups{{0, 1}};
        QTest::newRow("failed distance is no match")
            << 3 << Distances{{"01", -1.0f}, {"02", 0.1f}} << 0.35f << Groups{{0, 2}};
    }

    void grouping()
    {
        QFETCH(int, count);
        QFETCH(Distances, distances);
        QFETCH(float, threshold);
        QFETCH(Groups, expected);
        int calls = 0;
        const auto distance = [&](qsizetype i, qsizetype j) -> std::optional<float> {
            ++calls;
            if (i >= j)
                qFatal("distance asked for a pair out of order");
            const auto it = distances.find(QByteArray::number(i) + QByteArray::number(j));
            if (it == distances.end())
                return 1.0f;
            return it->second < 0 ? std::nullopt : std::optional<float>(it->second);
        };
        QCOMPARE(SimilarityFinder::group(count, distance, threshold), expected);
        QVERIFY(calls <= count * (count - 1) / 2);
    }

    void groupingStopsBeforeTheNextAnchor()
    {
        std::stop_source source;
        int calls = 0;
        const auto distance = [&](qsizetype, qsizetype) -> std::optional<float> {
            if (++calls == 3)
                source.request_stop();
            return 0.9f;
        };
        // Anchor 0 compares with 1, 2, 3; the stop comes during it, so anchor 1 never starts.
        QCOMPARE(SimilarityFinder::group(4, distance, 0.35f, source.get_token()), Groups{});
        QCOMPARE(calls, 3);
    }

    void candidates_data()
    {
        QTest::addColumn<QList<FileRecord>>("records");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<bool>("limited");

        FileRecord cloud = record("/cloud.jpg", 50);
        cloud.isCloudOnly = true;
        FileRecord package = record("/bundle.app", 60);
        package.isPackage = true;
        QTest::newRow("only local images, newest first")
            << QList<FileRecord>{record("/old.jpg", 10), record("/doc.pdf", 90, FileKind::documents), cloud,
                                 package, record("/new.png", 30), record("/mid.gif", 20)}
            << 2000 << QByteArrayList{"/new.png", "/mid.gif", "/old.jpg"} << false;
        QTest::newRow("equal dates keep input order")
            << QList<FileRecord>{record("/b", 5), record("/a", 5), record("/c", 6), record("/d", 5)} << 2000
            << QByteArrayList{"/c", "/b", "/a", "/d"} << false;
        QTest::newRow("nanoseconds decide") << QList<FileRecord>{record("/a", 5), [] {
            FileRecord r = record("/b", 5);
            r.modified = Timestamp::fromUnix(5, 1);
            return r;
        }()} << 2000 << QByteArrayList{"/b", "/a"} << false;
        QTest::newRow("limit keeps the newest") << QList<FileRecord>{record("/a", 1), record("/b", 3), record("/c", 2)}
                                                << 2 << QByteArrayList{"/b", "/c"} << true;
        QTest::newRow("ineligible records do not count toward the limit")
            << QList<FileRecord>{record("/a", 1), cloud, package, record("/t.txt", 9, FileKind::documents)} << 1
            << QByteArrayList{"/a"} << false;
    }

    void candidates()
    {
        QFETCH(QList<FileRecord>, records);
        QFETCH(int, limit);
        QFETCH(QByteArrayList, expected);
        QFETCH(bool, limited);
        const SimilarityFinder::Candidates result = SimilarityFinder::candidates(records, limit);
        QCOMPARE(paths(result.records), expected);
        QCOMPARE(result.limited, limited);
    }

    void findOnFiles()
    {
        TestTree tree;
        const QImage photo = make(21);
        const QImage other = make(22);
        // Newest first: the PNG copy anchors, the other photograph stands alone.
        const std::pair<const char *, QByteArray> files[] = {
            { "copy.png", encode(photo, "png") },
            { "photo.jpg", encode(photo, "jpg") },
            { "other.jpg", encode(other, "jpg") },
            { "small.jpg", encode(photo.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "jpg") },
            { "empty.jpg", QByteArray() },
            { "notes.gif", QByteArray("not an image") },
            { "bomb.png", HostileFiles::claimingPng(100000, 100000) },
        };
        qint64 time = 1'700'000'000;
        for (const auto &[name, bytes] : files) {
            tree.file(name, bytes);
            tree.setModified(name, Timestamp::fromUnix(time--));
        }
        tree.file("readme.txt", "words");
        QList<FileRecord> records = LibraryScanner::scan({tree.root()}).files;
        FileRecord cloud = record(tree.path("photo in the cloud.jpg").constData(), 1'800'000'000);
        cloud.isCloudOnly = true;
        records.append(cloud);
        FileRecord vanished = record(tree.path("vanished.jpg").constData(), 1'600'000'000);
        records.append(vanished);

        const SimilarityResult result = SimilarityFinder::find(records);
        QCOMPARE(result.scanned, 4);
        QCOMPARE(result.skipped, 4); // empty, not an image, bomb, vanished; the cloud file is not counted
        QCOMPARE(result.limited, false);
        QCOMPARE(result.groups.size(), 1);
        QCOMPARE(paths(result.groups.first().files),
                 (QByteArrayList{tree.path("copy.png"), tree.path("photo.jpg"), tree.path("small.jpg")}));
        QCOMPARE(result.groups.first().id(), tree.path("copy.png"));

        const SimilarityResult limited = SimilarityFinder::find(records, SimilarityFinder::kDefaultThreshold, 2);
        QCOMPARE(limited.scanned, 2);
        QCOMPARE(limited.limited, true);
        QCOMPARE(limited.groups.size(), 1);

        std::stop_source stopped;
        stopped.request_stop();
        QCOMPARE(SimilarityFinder::find(records, 0.35f, 2000, stopped.get_token()),
                 (SimilarityResult{{}, 0, 0, false}));
    }

    void workersGiveTheSameResult_data()
    {
        QTest::addColumn<int>("workers");
        QTest::newRow("two workers") << 2;
        QTest::newRow("more workers than cores") << 5;
        QTest::newRow("more workers than images") << 64;
        QTest::newRow("one per core") << 0;
    }

    // Printing is shared among threads; the groups must not depend on which finished first.
    void workersGiveTheSameResult()
    {
        QFETCH(int, workers);
        if (!m_families) {
            m_families = std::make_unique<TestTree>();
            // Six photographs with three variants each; their dates interleave the families, and
            // undecodable files sit between them.
            int index = 0;
            const auto add = [&](const QByteArray &name, const QByteArray &bytes) {
                m_families->file(name, bytes);
                m_families->setModified(name, Timestamp::fromUnix(1'700'000'000 + (index++ * 37) % 31));
            };
            for (quint32 family = 0; family < 6; ++family) {
                const QImage photo = make(100 + family);
                const QByteArray stem = "family" + QByteArray::number(family);
                add(stem + "-original.jpg", encode(photo, "jpg"));
                add(stem + "-small.png",
                    encode(photo.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "png"));
                add(stem + "-brighter.jpg", encode(scaledBrightness(photo, 1.08), "jpg", 70));
                add(stem + "-cropped.jpg", encode(photo.copy(12, 9, 616, 462), "jpg"));
                if (family % 2 == 0)
                    add(stem + "-broken.jpg", "not an image");
            }
            m_familyRecords = LibraryScanner::scan({m_families->root()}).files;
            m_oneWorker = SimilarityFinder::find(m_familyRecords, SimilarityFinder::kDefaultThreshold,
                                                 SimilarityFinder::kDefaultLimit, {}, 1);
        }
        QCOMPARE(m_oneWorker.scanned, 24);
        QCOMPARE(m_oneWorker.skipped, 3);
        QCOMPARE(m_oneWorker.groups.size(), 6);
        const SimilarityResult parallel = SimilarityFinder::find(
            m_familyRecords, SimilarityFinder::kDefaultThreshold, SimilarityFinder::kDefaultLimit, {}, workers);
        QCOMPARE(parallel, m_oneWorker);
    }

    void cachedThumbnail_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<qint64>("mtimeShift");
        QTest::addColumn<int>("edge");
        QTest::addColumn<bool>("used");
        QTest::newRow("current large thumbnail") << QByteArray("large") << qint64(0) << 256 << true;
        QTest::newRow("current extra-large thumbnail") << QByteArray("x-large") << qint64(0) << 512 << true;
        QTest::newRow("stale modification time") << QByteArray("large") << qint64(-1) << 256 << false;
        QTest::newRow("only a normal-size thumbnail") << QByteArray("normal") << qint64(0) << 128 << false;
    }

    // The file under test cannot be decoded, so only its cached thumbnail (a thumbnail of the
    // original photograph) can make it print, and then it must group with the original.
    void cachedThumbnail()
    {
        QFETCH(QByteArray, folder);
        QFETCH(qint64, mtimeShift);
        QFETCH(int, edge);
        QFETCH(bool, used);
        TestTree tree;
        const QImage photo = make(31, 1600, 1200);
        tree.file("original.jpg", encode(photo, "jpg"));
        tree.setModified("original.jpg", Timestamp::fromUnix(1'700'000'000));
        const QByteArray thumbnailed = tree.file("thumbnailed.jpg", "contents only a thumbnail shows");
        tree.setModified("thumbnailed.jpg", Timestamp::fromUnix(1'700'000'100, 500'000'000));
        // As a thumbnailer would write it, with the whole-second modification time.
        m_home.thumbnail(folder, ThumbnailStore::uriOf(thumbnailed), QByteArray::number(1'700'000'100 + mtimeShift),
            photo.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation));

        const SimilarityResult result = SimilarityFinder::find(LibraryScanner::scan({tree.root()}).files);
        QCOMPARE(result.scanned, used ? 2 : 1);
        QCOMPARE(result.skipped, used ? 0 : 1);
        QCOMPARE(result.groups.size(), used ? 1 : 0);
        if (used)
            QCOMPARE(paths(result.groups.first().files), (QByteArrayList{thumbnailed, tree.path("original.jpg")}));
    }

private:
    TestTree m_home;
    std::unique_ptr<TestTree> m_families;
    QList<FileRecord> m_familyRecords;
    SimilarityResult m_oneWorker;
};

QTEST_GUILESS_MAIN(SimilarityFinderTest)
#include "similarityfindertest.moc"
