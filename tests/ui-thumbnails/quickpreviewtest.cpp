#include "samplefiles.h"
#include "support/testtree.h"
#include "ui/preview/imagepreviewpage.h"
#include "ui/preview/pdfpreviewpage.h"
#include "ui/preview/quickpreview.h"

#include <QBuffer>
#include <QMediaPlayer>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

// Two frames of one pixel each, a tenth of a second apart.
QByteArray animatedGif()
{
    const QByteArray frame = QByteArray("!\xF9\x04\x00\x0A\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02" "D\x01\x00", 23);
    return QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00", 19) + frame + frame + ";";
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
    void animatedImagesPlay();
    void playbackStopsWhenTheFileChanges();

private:
    QTemporaryDir m_home;
};

void QuickPreviewTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
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

    QTest::newRow("truncated_image") << QByteArray("cut.png") << SampleFiles::png(300, 200).left(60)
                                     << int(FileKind::images);
    QTest::newRow("damaged_pdf") << QByteArray("bad.pdf") << QByteArray("%PDF-1.4 nothing else")
                                 << int(FileKind::documents);
    QTest::newRow("binary_posing_as_text") << QByteArray("data.txt") << SampleFiles::png(64, 64)
                                           << int(FileKind::documents);
    QTest::newRow("nextcloud_placeholder") << QByteArray("song.mp3.nextcloud") << QByteArray("x")
                                           << int(FileKind::music);
}

void QuickPreviewTest::unreadableContentsFallBackToDetails()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(int, kindValue);

    TestTree tree;
    QuickPreview preview;
    QSignalSpy shown(&preview, &QuickPreview::contentsShown);
    preview.setFile(record(tree.file(name, contents), FileKind(FileKind::Value(kindValue)), contents.size()));
    QTRY_COMPARE(preview.currentPage(), QuickPreview::Page::details);
    QVERIFY(shown.count() >= 1);
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
    QCOMPARE(pages->pageCount(), 30);
    QTRY_VERIFY(pages->renderedPages().contains(0));
    QVERIFY(pages->renderedPages().size() < 5);

    pages->verticalScrollBar()->setValue(pages->verticalScrollBar()->maximum());
    QTRY_VERIFY(pages->renderedPages().contains(29));
    QVERIFY(pages->renderedPages().size() <= PdfPreviewPage::kKeptPages);
}

void QuickPreviewTest::animatedImagesPlay()
{
    TestTree tree;
    QuickPreview preview;
    preview.setFile(record(tree.file("wave.gif", animatedGif()), FileKind::images));
    QCOMPARE(preview.currentPage(), QuickPreview::Page::image);
    auto *page = preview.findChild<ImagePreviewPage *>();
    QVERIFY(page != nullptr);
    QVERIFY(page->isAnimated());

    // A still picture is decoded once, not played.
    preview.setFile(record(tree.file("still.png", SampleFiles::png(20, 10)), FileKind::images));
    QVERIFY(!page->isAnimated());
    QTRY_COMPARE(page->image().size(), QSize(20, 10));
}

void QuickPreviewTest::playbackStopsWhenTheFileChanges()
{
    TestTree tree;
    QuickPreview preview;
    preview.setFile(record(tree.file("tone.wav", SampleFiles::wav(3000)), FileKind::music));
    QCOMPARE(preview.currentPage(), QuickPreview::Page::audio);
    auto *player = preview.findChild<QMediaPlayer *>();
    QVERIFY(player != nullptr);
    QVERIFY(!player->source().isEmpty());

    preview.setFile(record(tree.file("notes.txt", "hello"), FileKind::documents));
    QVERIFY(player->source().isEmpty());
    QCOMPARE(player->playbackState(), QMediaPlayer::StoppedState);
}

QTEST_MAIN(QuickPreviewTest)
#include "quickpreviewtest.moc"
