#include "analysis/thumbnails/thumbnailprovider.h"

#include "platform/thumbnails/thumbnailstore.h"
#include "samplefiles.h"
#include "support/hostilefiles.h"
#include "support/testtree.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

const Timestamp kModified = Timestamp::fromUnix(1'700'000'000, 500);
const QString kVersion = QStringLiteral("9.9.9");

QByteArray pdf(QSizeF millimetres)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(millimetres, QPageSize::Millimeter));
    QPainter painter(&writer);
    painter.fillRect(QRect(0, 0, writer.width(), writer.height()), Qt::blue);
    painter.end();
    return bytes;
}

ThumbnailProvider::Request request(const QByteArray &path, FileKind kind, int edge = 280)
{
    ThumbnailProvider::Request r;
    r.path = path;
    r.modified = kModified;
    r.kind = kind;
    r.edge = edge;
    r.version = kVersion;
    return r;
}

} // namespace

class ThumbnailProviderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void makesFittingThumbnails_data();
    void makesFittingThumbnails();
    void hostileFilesFailWithoutCrashing_data();
    void hostileFilesFailWithoutCrashing();
    void thumbnailOfAnotherProgramIsUsedWhenCurrent();
    void recordedFailureIsNotRetriedUntilTheFileChanges();
    void contentsElsewhereAreNeverRead();
    void videoFrame();

private:
    TestTree m_home;
};

void ThumbnailProviderTest::initTestCase()
{
    m_home.becomeHome();
}

void ThumbnailProviderTest::init()
{
    QDir(ThumbnailStore::cacheFolder()).removeRecursively();
}

void ThumbnailProviderTest::makesFittingThumbnails_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("kindValue");
    QTest::addColumn<int>("edge");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("large_jpeg_scaled_to_the_written_folder")
        << QByteArray("photo.jpg") << SampleFiles::jpeg(2000, 1500) << int(FileKind::images) << 280 << QSize(512, 384);
    QTest::newRow("jpeg_for_a_two_times_screen")
        << QByteArray("photo.jpg") << SampleFiles::jpeg(2000, 1500) << int(FileKind::images) << 560 << QSize(560, 420);
    QTest::newRow("small_image_keeps_its_size")
        << QByteArray("icon.png") << SampleFiles::png(40, 30) << int(FileKind::images) << 280 << QSize(40, 30);
    QTest::newRow("exif_rotated_photo_stands_upright")
        << QByteArray("portrait.jpg") << SampleFiles::jpeg(1600, 1200, "Pixel 8", 6) << int(FileKind::images) << 200
        << QSize(192, 256);
    QTest::newRow("wrong_extension_decided_by_contents")
        << QByteArray("really-png.jpg") << SampleFiles::png(600, 300) << int(FileKind::images) << 256 << QSize(256, 128);
    QTest::newRow("pdf_first_page") << QByteArray("letter.pdf") << pdf(QSizeF(100, 200)) << int(FileKind::documents)
                                    << 256 << QSize(128, 256);
}

void ThumbnailProviderTest::makesFittingThumbnails()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(int, kindValue);
    QFETCH(int, edge);
    QFETCH(QSize, expected);

    TestTree tree;
    const QByteArray path = tree.file(name, contents);
    const auto result = ThumbnailProvider::provide(request(path, FileKind(FileKind::Value(kindValue)), edge));
    QCOMPARE(result.source, ThumbnailProvider::Source::generated);
    QVERIFY(!result.failed);
    // A page's size in points is rounded when written, hence a pixel of slack.
    QVERIFY2(qAbs(result.image.width() - expected.width()) <= 1 && qAbs(result.image.height() - expected.height()) <= 1,
        qPrintable(QStringLiteral("%1x%2").arg(result.image.width()).arg(result.image.height())));
    // Written back to the shared cache, where the next request finds it.
    const auto again = ThumbnailProvider::provide(request(path, FileKind(FileKind::Value(kindValue)), edge));
    QCOMPARE(again.source, ThumbnailProvider::Source::sharedCache);
}

void ThumbnailProviderTest::hostileFilesFailWithoutCrashing_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("kindValue");

    const QByteArray png = SampleFiles::png(300, 200);
    QTest::newRow("truncated_png") << QByteArray("cut.png") << png.left(png.size() / 2) << int(FileKind::images);
    QTest::newRow("jpeg_header_only") << QByteArray("cut.jpg") << SampleFiles::jpeg(300, 200).left(120)
                                      << int(FileKind::images);
    QTest::newRow("png_claiming_100000_square")
        << QByteArray("huge.png") << HostileFiles::claimingPng(100'000, 100'000) << int(FileKind::images);
    QTest::newRow("decompression_bomb_under_the_pixel_cap")
        << QByteArray("bomb.png") << HostileFiles::claimingPng(12'000, 12'000) << int(FileKind::images);
    QTest::newRow("empty_image") << QByteArray("empty.jpg") << QByteArray() << int(FileKind::images);
    QTest::newRow("text_posing_as_pdf") << QByteArray("fake.pdf") << QByteArray("not a pdf at all")
                                        << int(FileKind::documents);
    QTest::newRow("garbage_video") << QByteArray("noise.mp4") << QByteArray(5000, '\x47') << int(FileKind::videos);
}

void ThumbnailProviderTest::hostileFilesFailWithoutCrashing()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(int, kindValue);

    TestTree tree;
    const QByteArray path = tree.file(name, contents);
    const auto result = ThumbnailProvider::provide(request(path, FileKind(FileKind::Value(kindValue))));
    QCOMPARE(result.source, ThumbnailProvider::Source::none);
    QVERIFY(result.image.isNull());
    QVERIFY(result.failed);
    QVERIFY(ThumbnailStore::hasFailure(path, kModified, kVersion));
}

void ThumbnailProviderTest::thumbnailOfAnotherProgramIsUsedWhenCurrent()
{
    TestTree tree;
    const QByteArray path = tree.file("red.png", SampleFiles::png(400, 300, Qt::red));
    QImage planted(256, 192, QImage::Format_RGB32);
    planted.fill(Qt::green);
    QVERIFY(ThumbnailStore::write(path, kModified, planted, ThumbnailStore::Size::large));

    const auto current = ThumbnailProvider::provide(request(path, FileKind::images, 256));
    QCOMPARE(current.source, ThumbnailProvider::Source::sharedCache);
    QCOMPARE(current.image.pixelColor(10, 10), QColor(Qt::green));

    auto stale = request(path, FileKind::images, 256);
    stale.modified = Timestamp::fromUnix(1'700'000'100);
    const auto fresh = ThumbnailProvider::provide(stale);
    QCOMPARE(fresh.source, ThumbnailProvider::Source::generated);
    QCOMPARE(fresh.image.pixelColor(10, 10), QColor(Qt::red));
}

void ThumbnailProviderTest::recordedFailureIsNotRetriedUntilTheFileChanges()
{
    TestTree tree;
    const QByteArray path = tree.file("broken.png", QByteArray("\x89PNG broken"));
    QVERIFY(ThumbnailProvider::provide(request(path, FileKind::images)).failed);

    // Repaired without a new modification time: the recorded failure stands.
    tree.file("broken.png", SampleFiles::png(400, 300, Qt::red));
    QVERIFY(ThumbnailProvider::provide(request(path, FileKind::images)).failed);

    auto changed = request(path, FileKind::images);
    changed.modified = Timestamp::fromUnix(1'800'000'000);
    QCOMPARE(ThumbnailProvider::provide(changed).source, ThumbnailProvider::Source::generated);
}

void ThumbnailProviderTest::contentsElsewhereAreNeverRead()
{
    TestTree tree;
    const QByteArray placeholder = tree.file("photo.png.nextcloud", SampleFiles::png(400, 300, Qt::red));
    const QByteArray link = tree.symlink("link.png", tree.file("real.png", SampleFiles::png(400, 300, Qt::red)));
    const QByteArray fifo = tree.fifo("pipe.png");
    for (const QByteArray &path : {placeholder, link, fifo}) {
        const auto result = ThumbnailProvider::provide(request(path, FileKind::images));
        QCOMPARE(result.source, ThumbnailProvider::Source::none);
        QVERIFY(!result.failed);
    }
    QVERIFY(!QFileInfo::exists(ThumbnailStore::cacheFolder()));
}

void ThumbnailProviderTest::videoFrame()
{
    // The encoder is the ffmpeg program, which the project's setup installs for its benchmarks.
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg is not installed");
    TestTree tree;
    const QByteArray path = tree.path("clip.mp4");
    QProcess encoder;
    encoder.start(ffmpeg, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
        QStringLiteral("-i"), QStringLiteral("testsrc=size=640x360:rate=10:duration=3"), QStringLiteral("-c:v"),
        QStringLiteral("mpeg4"), QFile::decodeName(path)});
    QVERIFY(encoder.waitForFinished(60'000));
    QCOMPARE(encoder.exitCode(), 0);

    const auto result = ThumbnailProvider::provide(request(path, FileKind::videos, 560));
    QCOMPARE(result.source, ThumbnailProvider::Source::generated);
    QCOMPARE(result.image.size(), QSize(560, 315));

    // Cut short, the same video yields no frame rather than a crash.
    const QByteArray cut = tree.file("cut.mp4", readFile(path).left(600));
    QVERIFY(ThumbnailProvider::provide(request(cut, FileKind::videos)).failed);
}

QTEST_GUILESS_MAIN(ThumbnailProviderTest)
#include "thumbnailprovidertest.moc"
