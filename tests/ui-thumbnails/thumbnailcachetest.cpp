#include "ui/thumbnails/thumbnailcache.h"

#include "platform/thumbnails/thumbnailstore.h"
#include "samplefiles.h"
#include "support/testtree.h"
#include "ui/thumbnails/thumbnailview.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace {

FileRecord record(const QByteArray &path, const Timestamp &modified = Timestamp::fromUnix(1'700'000'000, 5))
{
    FileRecord file;
    file.path = path;
    file.kind = FileKind::images;
    file.modified = modified;
    return file;
}

ThumbnailCache::Options options(int threads = 2, double ratio = 1.0)
{
    ThumbnailCache::Options o;
    o.threads = threads;
    o.devicePixelRatio = ratio;
    o.version = QStringLiteral("test");
    return o;
}

QStringList readyKeys(const QSignalSpy &spy)
{
    QStringList keys;
    for (const QList<QVariant> &arguments : spy)
        keys.append(arguments.first().toString());
    return keys;
}

} // namespace

class ThumbnailCacheTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void thumbnailFitsTheScaledBox_data();
    void thumbnailFitsTheScaledBox();
    void key_data();
    void key();
    void touchedFileGetsNewKeyAndFreshThumbnail();
    void failureIsNotRetriedForTheSameState_data();
    void failureIsNotRetriedForTheSameState();
    void newestRequestsRunFirstAndCancelledOnesNever();
    void askedAgainWhileStoppingStillArrives();
    void holdsAtMostCapacityImages();
    void boxDecidesTheSizeReadAndTheScale_data();
    void boxDecidesTheSizeReadAndTheScale();
    void largerBoxReplacesTheImageSmallerKeepsIt();
    void withdrawnRequestsAreNeverDelivered_data();
    void withdrawnRequestsAreNeverDelivered();
    void viewPaintsThumbnailOnceReady();
    void hiddenViewWithdrawsItsRequest();

private:
    TestTree m_home;
};

void ThumbnailCacheTest::initTestCase()
{
    m_home.becomeHome();
}

void ThumbnailCacheTest::init()
{
    QDir(ThumbnailStore::cacheFolder()).removeRecursively();
}

void ThumbnailCacheTest::thumbnailFitsTheScaledBox_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QSize>("original");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("landscape_at_1x") << 1.0 << QSize(1200, 900) << QSize(280, 210);
    QTest::newRow("portrait_at_1x") << 1.0 << QSize(900, 1200) << QSize(165, 220);
    QTest::newRow("landscape_at_2x") << 2.0 << QSize(1200, 900) << QSize(560, 420);
    QTest::newRow("small_image_at_2x_keeps_its_size") << 2.0 << QSize(100, 50) << QSize(100, 50);
}

void ThumbnailCacheTest::thumbnailFitsTheScaledBox()
{
    QFETCH(double, ratio);
    QFETCH(QSize, original);
    QFETCH(QSize, expected);

    TestTree tree;
    const FileRecord file
        = record(tree.file("photo.png", SampleFiles::png(original.width(), original.height(), Qt::red)));
    ThumbnailCache cache(options(2, ratio));
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    cache.request(file);
    QVERIFY(ready.wait());
    QCOMPARE(readyKeys(ready), QStringList {ThumbnailCache::key(file)});
    QCOMPARE(cache.cached(file).size(), expected);
    QVERIFY(!cache.isRequested(file));
}

void ThumbnailCacheTest::key_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<qint64>("nanoseconds");
    QTest::addColumn<QByteArray>("otherPath");
    QTest::addColumn<qint64>("otherSeconds");
    QTest::addColumn<qint64>("otherNanoseconds");
    QTest::addColumn<bool>("same");

    QTest::newRow("same file and time") << QByteArray("/a.png") << 1'700'000'000LL << 5LL << QByteArray("/a.png")
                                        << 1'700'000'000LL << 5LL << true;
    QTest::newRow("a digit of the name read as the time") << QByteArray("/x/scan1") << 23LL << 0LL
                                                          << QByteArray("/x/scan") << 123LL << 0LL << false;
    QTest::newRow("a nanosecond apart") << QByteArray("/a.png") << 1'700'000'000LL << 1LL << QByteArray("/a.png")
                                        << 1'700'000'000LL << 2LL << false;
    QTest::newRow("names that are not UTF-8") << QByteArray("/caf\xe9.png") << 1LL << 0LL << QByteArray("/caf\xe8.png")
                                              << 1LL << 0LL << false;
}

void ThumbnailCacheTest::key()
{
    QFETCH(QByteArray, path);
    QFETCH(qint64, seconds);
    QFETCH(qint64, nanoseconds);
    QFETCH(QByteArray, otherPath);
    QFETCH(qint64, otherSeconds);
    QFETCH(qint64, otherNanoseconds);
    const QString key = ThumbnailCache::key(record(path, Timestamp::fromUnix(seconds, nanoseconds)));
    const QString other = ThumbnailCache::key(record(otherPath, Timestamp::fromUnix(otherSeconds, otherNanoseconds)));
    QTEST(key == other, "same");
}

void ThumbnailCacheTest::touchedFileGetsNewKeyAndFreshThumbnail()
{
    TestTree tree;
    const FileRecord before = record(tree.file("photo.png", SampleFiles::png(400, 300, Qt::red)));
    ThumbnailCache cache(options());
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    cache.request(before);
    QVERIFY(ready.wait());

    tree.file("photo.png", SampleFiles::png(400, 300, Qt::blue));
    const FileRecord after = record(before.path, Timestamp::fromUnix(1'700'000'060, 5));
    QVERIFY(cache.cached(after).isNull());
    cache.request(after);
    QTRY_COMPARE(ready.count(), 2);
    QCOMPARE(cache.cached(after).pixelColor(3, 3), QColor(Qt::blue));
    // Unchanged files keep their image for every view that asks.
    QCOMPARE(cache.cached(before).pixelColor(3, 3), QColor(Qt::red));
}

void ThumbnailCacheTest::failureIsNotRetriedForTheSameState_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("kindValue");

    QTest::newRow("undecodable_image") << QByteArray("broken.png") << QByteArray("\x89PNG no more")
                                       << int(FileKind::images);
    QTest::newRow("archive_nothing_makes_thumbnails_of") << QByteArray("a.zip") << QByteArray("PK\x03\x04")
                                                         << int(FileKind::archives);
}

void ThumbnailCacheTest::failureIsNotRetriedForTheSameState()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(int, kindValue);

    TestTree tree;
    FileRecord file = record(tree.file(name, contents));
    file.kind = FileKind(FileKind::Value(kindValue));
    ThumbnailCache cache(options());
    cache.request(file);
    QTRY_VERIFY(cache.hasFailed(file));
    QVERIFY(!cache.isRequested(file));
    cache.request(file);
    QVERIFY(!cache.isRequested(file));
    QVERIFY(cache.cached(file).isNull());
}

void ThumbnailCacheTest::newestRequestsRunFirstAndCancelledOnesNever()
{
    TestTree tree;
    QList<FileRecord> files;
    for (const char *name : {"a.png", "b.png", "c.png", "d.png"})
        files.append(record(tree.file(name, SampleFiles::png(400, 300, Qt::green))));
    ThumbnailCache cache(options(1));
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    // The first starts at once on the only thread; the others wait and are served newest first.
    for (const FileRecord &file : files)
        cache.request(file);
    cache.cancel(files[2]);
    QTRY_COMPARE(ready.count(), 3);
    QCOMPARE(readyKeys(ready),
        (QStringList {ThumbnailCache::key(files[0]), ThumbnailCache::key(files[3]), ThumbnailCache::key(files[1])}));
    QVERIFY(!ready.wait(200));
    QVERIFY(cache.cached(files[2]).isNull());
    QVERIFY(!cache.hasFailed(files[2]));
}

void ThumbnailCacheTest::askedAgainWhileStoppingStillArrives()
{
    TestTree tree;
    const FileRecord file = record(tree.file("photo.png", SampleFiles::png(2000, 1500, Qt::red)));
    ThumbnailCache cache(options(1));
    // The tile scrolls away just after its request started, then comes back.
    cache.request(file);
    cache.cancel(file);
    cache.request(file);
    QTRY_VERIFY(!cache.cached(file).isNull());
    QVERIFY(!cache.isRequested(file));
}

void ThumbnailCacheTest::holdsAtMostCapacityImages()
{
    TestTree tree;
    QList<FileRecord> files;
    for (int i = 0; i <= ThumbnailCache::kCapacity; ++i)
        files.append(record(tree.file("p" + QByteArray::number(i) + ".png", SampleFiles::png(8, 8, Qt::red))));
    ThumbnailCache cache(options());
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    for (const FileRecord &file : files)
        cache.request(file);
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), files.size(), 60'000);
    const auto held = std::count_if(files.cbegin(), files.cend(), [&](const FileRecord &f) { return !cache.cached(f).isNull(); });
    QCOMPARE(held, qsizetype(ThumbnailCache::kCapacity));
}

// Thumbnails of one picture in the shared cache at three sizes, each in its own colour.
void ThumbnailCacheTest::boxDecidesTheSizeReadAndTheScale_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("row_reads_normal") << 1.0 << QSize(35, 35) << QColor(Qt::green) << QSize(35, 26);
    QTest::newRow("default_tile_reads_large") << 1.0 << QSize(162, 162) << QColor(Qt::red) << QSize(162, 121);
    QTest::newRow("tile_at_2x_reads_x_large") << 2.0 << QSize(162, 162) << QColor(Qt::blue) << QSize(324, 243);
    QTest::newRow("inspector_box_reads_x_large") << 1.0 << QSize(280, 220) << QColor(Qt::blue) << QSize(280, 210);
    QTest::newRow("beyond_every_size_keeps_the_largest") << 1.0 << QSize(700, 700) << QColor(Qt::blue) << QSize(512, 384);
}

void ThumbnailCacheTest::boxDecidesTheSizeReadAndTheScale()
{
    QFETCH(double, ratio);
    QFETCH(QSize, box);
    QFETCH(QColor, colour);
    QFETCH(QSize, expected);

    TestTree tree;
    const FileRecord file = record(tree.file("photo.jpg", QByteArray("not read: the cache has it")));
    const auto store = [&](Qt::GlobalColor fill, ThumbnailStore::Size size) {
        QImage image(1024, 768, QImage::Format_RGB32);
        image.fill(fill);
        QVERIFY(ThumbnailStore::write(file.path, file.modified, image, size));
    };
    store(Qt::green, ThumbnailStore::Size::normal);
    store(Qt::red, ThumbnailStore::Size::large);
    store(Qt::blue, ThumbnailStore::Size::xLarge);
    ThumbnailCache cache(options(2, ratio));
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    cache.request(file, box);
    QVERIFY(ready.wait());
    const QImage image = cache.cached(file);
    QCOMPARE(image.size(), expected);
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), colour);
}

void ThumbnailCacheTest::largerBoxReplacesTheImageSmallerKeepsIt()
{
    TestTree tree;
    const FileRecord file = record(tree.file("photo.png", SampleFiles::png(1200, 900, Qt::red)));
    ThumbnailCache cache(options());
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    cache.request(file, QSize(162, 162));
    QVERIFY(ready.wait());
    QCOMPARE(cache.cached(file).size(), QSize(162, 121));
    bool madeForBox = false;
    cache.cached(file, QSize(100, 100), &madeForBox);
    QVERIFY(madeForBox);
    cache.cached(file, ThumbnailCache::kPointSize, &madeForBox);
    QVERIFY(!madeForBox);

    // The large size the first request wrote back is the best the shared cache has.
    cache.request(file);
    QVERIFY(ready.wait());
    QCOMPARE(cache.cached(file).size(), QSize(256, 192));
    cache.request(file, QSize(162, 162));
    QVERIFY(!cache.isRequested(file));
    QCOMPARE(cache.cached(file).size(), QSize(256, 192));
}

// A tile scrolled away, or a file changed on disk and asked for in its new state: the request
// for what is no longer wanted never sends `thumbnailReady`, whether it was waiting or running.
void ThumbnailCacheTest::withdrawnRequestsAreNeverDelivered_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<bool>("changed");

    QTest::newRow("scrolled_away_while_waiting") << true << false;
    QTest::newRow("scrolled_away_while_running") << false << false;
    QTest::newRow("changed_while_waiting") << true << true;
    QTest::newRow("changed_while_running") << false << true;
}

void ThumbnailCacheTest::withdrawnRequestsAreNeverDelivered()
{
    QFETCH(bool, waiting);
    QFETCH(bool, changed);

    TestTree tree;
    const FileRecord busy = record(tree.file("busy.png", SampleFiles::png(3000, 2000, Qt::green)));
    const FileRecord before = record(tree.file("photo.png", SampleFiles::png(1200, 900, Qt::red)));
    FileRecord last = record(tree.file("other.png", SampleFiles::png(400, 300, Qt::green)));
    ThumbnailCache cache(options(1));
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    if (waiting)
        cache.request(busy); // keeps the only thread, so the next request waits
    cache.request(before);
    if (changed) {
        tree.file("photo.png", SampleFiles::png(1200, 900, Qt::blue));
        last = record(before.path, Timestamp::fromUnix(1'700'000'060, 5));
    } else {
        cache.cancel(before);
    }
    cache.request(last);
    QTRY_VERIFY_WITH_TIMEOUT(readyKeys(ready).contains(ThumbnailCache::key(last)), 20'000);
    QTRY_VERIFY(!cache.isRequested(before));
    QVERIFY(!readyKeys(ready).contains(ThumbnailCache::key(before)));
    if (changed) {
        QVERIFY(cache.cached(before).isNull());
        QCOMPARE(cache.cached(last).pixelColor(3, 3), QColor(Qt::blue));
    }
}

void ThumbnailCacheTest::viewPaintsThumbnailOnceReady()
{
    TestTree tree;
    const FileRecord file = record(tree.file("photo.png", SampleFiles::png(400, 300, Qt::red)));
    ThumbnailCache cache(options());
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    ThumbnailView view;
    view.setCache(&cache);
    view.resize(200, 150);
    view.setFile(file);
    view.show();
    QVERIFY(ready.wait());
    QCOMPARE(view.grab().toImage().pixelColor(100, 75), QColor(Qt::red));
}

void ThumbnailCacheTest::hiddenViewWithdrawsItsRequest()
{
    TestTree tree;
    const FileRecord busy = record(tree.file("busy.png", SampleFiles::png(3000, 2000, Qt::red)));
    const FileRecord file = record(tree.file("photo.png", SampleFiles::png(400, 300, Qt::red)));
    ThumbnailCache cache(options(1));
    cache.request(busy); // keeps the only thread busy, so the view's request waits
    ThumbnailView view;
    view.setCache(&cache);
    view.setFile(file);
    view.show();
    QVERIFY(cache.isRequested(file));
    view.hide();
    QVERIFY(!cache.isRequested(file));

    // A cloud-only file keeps its placeholder: asking for its thumbnail would download it.
    FileRecord cloud = file;
    cloud.isCloudOnly = true;
    view.setFile(cloud);
    view.show();
    QVERIFY(!cache.isRequested(cloud));
}

QTEST_MAIN(ThumbnailCacheTest)
#include "thumbnailcachetest.moc"
