#include "ui/preview/quickpreview.h"

#include "samplefiles.h"
#include "support/testtree.h"
#include "ui/preview/imagepreviewpage.h"
#include "ui/preview/pdfpreviewpage.h"

#include <QBuffer>
#include <QMediaPlayer>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(QuickPreview::Page)

namespace {

FileRecord record(const QByteArray &path, FileKind kind, qint64 size = 1)
{
    FileRecord file;
    file.path = path;
    file.kind = kind;
    file.size = size;
    file.modified = Timestamp::fromUnix(1'700'000'000);
    return file;
}

QByteArray pdf(int pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.drawText(100, 100, QString::number(page + 1));
    }
    painter.end();
    return bytes;
}

// Frames of one pixel each, a tenth of a second apart, on a square screen of `side` pixels
// (each decoded frame is as large as the screen).
QByteArray animatedGif(int frames = 2, quint16 side = 1)
{
    const QByteArray frame = QByteArray("!\xF9\x04\x00\x0A\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02" "D\x01\x00", 23);
    QByteArray gif("GIF89a");
    for (int i = 0; i < 2; ++i)
        gif += char(side & 0xff) + QByteArray(1, char(side >> 8));
    gif += QByteArray("\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00", 9);
    for (int i = 0; i < frames; ++i)
        gif += frame;
    return gif + ";";
}

} // namespace

class QuickPreviewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pageFor_data();
    void pageFor();
    void textIsCutOnAWholeCharacter_data();
    void textIsCutOnAWholeCharacter();
    void unreadableContentsFallBackToDetails_data();
    void unreadableContentsFallBackToDetails();
    void pdfPagesRenderOnlyWhenInView();
    void pdfLayoutHoldsAnyPageSize_data();
    void pdfLayoutHoldsAnyPageSize();
    void animatedImagesPlay();
    void longAnimationsArriveInParts();
    void playbackStopsWhenTheFileChanges();

private:
    TestTree m_home;
};

void QuickPreviewTest::initTestCase()
{
    m_home.becomeHome();
}

void QuickPreviewTest::pageFor_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("kindValue");
    QTest::addColumn<bool>("cloudOnly");
    QTest::addColumn<QuickPreview::Page>("page");

    QTest::newRow("photo") << QByteArray("/a/b.jpg") << int(FileKind::images) << false << QuickPreview::Page::image;
    QTest::newRow("movie") << QByteArray("/a/b.mp4") << int(FileKind::videos) << false << QuickPreview::Page::video;
    QTest::newRow("song") << QByteArray("/a/b.flac") << int(FileKind::music) << false << QuickPreview::Page::audio;
    QTest::newRow("pdf_any_case") << QByteArray("/a/b.PDF") << int(FileKind::documents) << false
                                  << QuickPreview::Page::pdf;
    QTest::newRow("word_document") << QByteArray("/a/b.docx") << int(FileKind::documents) << false
                                   << QuickPreview::Page::office;
    QTest::newRow("rich_text") << QByteArray("/a/b.rtf") << int(FileKind::documents) << false
                               << QuickPreview::Page::office;
    QTest::newRow("notes") << QByteArray("/a/b.txt") << int(FileKind::documents) << false << QuickPreview::Page::text;
    QTest::newRow("c_source_by_mime_type") << QByteArray("/a/main.cpp") << int(FileKind::other) << false
                                           << QuickPreview::Page::text;
    QTest::newRow("archive") << QByteArray("/a/b.zip") << int(FileKind::archives) << false
                             << QuickPreview::Page::details;
    QTest::newRow("cloud_only_pdf") << QByteArray("/a/b.pdf") << int(FileKind::documents) << true
                                    << QuickPreview::Page::details;
}

void QuickPreviewTest::pageFor()
{
    QFETCH(QByteArray, path);
    QFETCH(int, kindValue);
    QFETCH(bool, cloudOnly);
    QFETCH(QuickPreview::Page, page);
    FileRecord file = record(path, FileKind(FileKind::Value(kindValue)));
    file.isCloudOnly = cloudOnly;
    QCOMPARE(QuickPreview::pageFor(file), page);
}

void QuickPreviewTest::textIsCutOnAWholeCharacter_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("expectedTail");
    QTest::addColumn<qsizetype>("expectedLength");

    // "é" is two bytes; here its second byte would be byte 1,000,001.
    QTest::newRow("two_byte_character_across_the_cut")
        << QByteArray(999'999, 'a') + "\xC3\xA9tail" << QStringLiteral("aaa") << qsizetype(999'999);
    QTest::newRow("exactly_the_limit") << QByteArray(999'998, 'a') + "\xC3\xA9" << QStringLiteral("a\u00E9")
                                       << qsizetype(999'999);
    QTest::newRow("short_file_whole") << QByteArray("caf\xC3\xA9\n") << QStringLiteral("\u00E9\n") << qsizetype(5);
}

void QuickPreviewTest::textIsCutOnAWholeCharacter()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, expectedTail);
    QFETCH(qsizetype, expectedLength);

    TestTree tree;
    QuickPreview preview;
    QSignalSpy shown(&preview, &QuickPreview::contentsShown);
    preview.setFile(record(tree.file("notes.txt", contents), FileKind::documents, contents.size()));
    QVERIFY(shown.wait());
    QCOMPARE(preview.currentPage(), QuickPreview::Page::text);
    const QString text = preview.text();
    QCOMPARE(text.size(), expectedLength);
    QVERIFY(text.endsWith(expectedTail));
    QVERIFY(!text.contains(QChar::ReplacementCharacter));
}

void QuickPreviewTest::unreadableContentsFallBackToDetails_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("kindValue");
    QTest::addColumn<bool>("offersOpen");

    QTest::newRow("truncated_image") << QByteArray("cut.png") << SampleFiles::png(300, 200).left(60)
                                     << int(FileKind::images) << false;
    QTest::newRow("damaged_pdf") << QByteArray("bad.pdf") << QByteArray("%PDF-1.4 nothing else")
                                 << int(FileKind::documents) << false;
    QTest::newRow("binary_posing_as_text")
        << QByteArray("data.txt") << SampleFiles::png(64, 64) << int(FileKind::documents) << false;
    QTest::newRow("nextcloud_placeholder")
        << QByteArray("song.mp3.nextcloud") << QByteArray("x") << int(FileKind::music) << false;
    // The player is never given what a helper could not find playable.
    QTest::newRow("picture_posing_as_music")
        << QByteArray("song.mp3") << SampleFiles::png(64, 64) << int(FileKind::music) << true;
    QTest::newRow("playlist_posing_as_video")
        << QByteArray("clip.mp4") << QByteArray("#EXTM3U\n#EXTINF:10.0,\n/etc/hostname\n#EXT-X-ENDLIST\n")
        << int(FileKind::videos) << true;
}

void QuickPreviewTest::unreadableContentsFallBackToDetails()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(int, kindValue);
    QFETCH(bool, offersOpen);

    TestTree tree;
    QuickPreview preview;
    QSignalSpy shown(&preview, &QuickPreview::contentsShown);
    preview.setFile(record(tree.file(name, contents), FileKind(FileKind::Value(kindValue)), contents.size()));
    QTRY_COMPARE(preview.currentPage(), QuickPreview::Page::details);
    QVERIFY(shown.count() >= 1);
    auto *open = preview.findChild<QPushButton *>();
    QVERIFY(open != nullptr);
    QCOMPARE(!open->isHidden(), offersOpen);
    auto *player = preview.findChild<QMediaPlayer *>();
    QVERIFY(player == nullptr || player->source().isEmpty());
}

void QuickPreviewTest::pdfPagesRenderOnlyWhenInView()
{
    TestTree tree;
    const QByteArray path = tree.file("long.pdf", pdf(30));
    QuickPreview preview;
    preview.resize(500, 400);
    preview.setFile(record(path, FileKind::documents));
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    auto *pages = preview.findChild<PdfPreviewPage *>();
    QVERIFY(pages != nullptr);
    QTRY_COMPARE(pages->pageCount(), 30);
    QTRY_VERIFY(pages->renderedPages().contains(0));
    QVERIFY(pages->renderedPages().size() < 5);

    pages->verticalScrollBar()->setValue(pages->verticalScrollBar()->maximum());
    QTRY_VERIFY(pages->renderedPages().contains(29));
    QVERIFY(pages->renderedPages().size() <= PdfPreviewPage::kKeptPages);
}

void QuickPreviewTest::pdfLayoutHoldsAnyPageSize_data()
{
    QTest::addColumn<QList<QSizeF>>("sizes");
    QTest::addColumn<int>("laidOut");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("letter") << QList<QSizeF> { QSizeF(612, 792) } << 1;
    QTest::newRow("no width") << QList<QSizeF> { QSizeF(0, 792) } << 1;
    QTest::newRow("not a number") << QList<QSizeF> { QSizeF(nan, nan), QSizeF(612, 792) } << 2;
    QTest::newRow("a strip a million times taller") << QList<QSizeF> { QSizeF(1, 1e6) } << 1;
    QTest::newRow("no height") << QList<QSizeF> { QSizeF(612, 0) } << 1;
    // Tall pages stop where a widget can be no taller.
    QTest::newRow("more than a widget holds") << QList<QSizeF>(10'000, QSizeF(1, 100)) << 335;
}

void QuickPreviewTest::pdfLayoutHoldsAnyPageSize()
{
    QFETCH(QList<QSizeF>, sizes);
    QFETCH(int, laidOut);
    const int width = 524;
    int height = 0;
    const QList<QRect> pages = PdfPreviewPage::layoutPages(sizes, width, &height);
    QCOMPARE(pages.size(), laidOut);
    QVERIFY(height > 0 && height <= QWIDGETSIZE_MAX);
    for (const QRect &page : pages) {
        QVERIFY(page.height() >= 1 && page.height() <= 100 * page.width());
        QVERIFY(page.bottom() < height);
    }
}

void QuickPreviewTest::animatedImagesPlay()
{
    TestTree tree;
    QuickPreview preview;
    preview.setFile(record(tree.file("wave.gif", animatedGif()), FileKind::images));
    QCOMPARE(preview.currentPage(), QuickPreview::Page::image);
    auto *page = preview.findChild<ImagePreviewPage *>();
    QVERIFY(page != nullptr);
    QTRY_VERIFY(page->isAnimated());
    QTRY_COMPARE(page->shownFrame(), 1);

    // A still picture is decoded once, not played.
    preview.setFile(record(tree.file("still.png", SampleFiles::png(20, 10)), FileKind::images));
    QVERIFY(!page->isAnimated());
    QTRY_COMPARE(page->image().size(), QSize(20, 10));
}

// Frames of a long animation come from the helper a few at a time while the first ones play,
// and the animation still comes round to its start.
void QuickPreviewTest::longAnimationsArriveInParts()
{
    TestTree tree;
    QuickPreview preview;
    // Frames of 1,600 x 1,600 pixels: ten MB each, three to an answer.
    preview.resize(1700, 1700);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    preview.setFile(record(tree.file("long.gif", animatedGif(12, 1600)), FileKind::images));
    auto *page = preview.findChild<ImagePreviewPage *>();
    QVERIFY(page != nullptr);
    QTRY_VERIFY(page->isAnimated());
    QCOMPARE(page->image().size(), QSize(1600, 1600));
    QTRY_VERIFY_WITH_TIMEOUT(page->shownFrame() == 11, 30'000);
    QTRY_VERIFY_WITH_TIMEOUT(page->shownFrame() == 0, 30'000);
}

void QuickPreviewTest::playbackStopsWhenTheFileChanges()
{
    TestTree tree;
    QuickPreview preview;
    preview.setFile(record(tree.file("tone.wav", SampleFiles::wav(3000)), FileKind::music));
    QCOMPARE(preview.currentPage(), QuickPreview::Page::audio);
    auto *player = preview.findChild<QMediaPlayer *>();
    QVERIFY(player != nullptr);
    QTRY_VERIFY(!player->source().isEmpty());

    preview.setFile(record(tree.file("notes.txt", "hello"), FileKind::documents));
    QVERIFY(player->source().isEmpty());
    QCOMPARE(player->playbackState(), QMediaPlayer::StoppedState);
}

QTEST_MAIN(QuickPreviewTest)
#include "quickpreviewtest.moc"
