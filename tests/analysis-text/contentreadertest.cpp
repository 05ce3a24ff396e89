#include "analysis/text/contentreader.h"

#include "analysis/text/officetextreader.h"
#include "analysis/text/rtftextreader.h"
#include "analysis/text/textrecognizer.h"
#include "support/hostilefiles.h"
#include "support/testtree.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QStringDecoder>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

FileRecord recordFor(const QByteArray &path, FileKind kind = FileKind::documents)
{
    FileRecord record;
    record.path = path;
    record.kind = kind;
    record.size = QFileInfo(QFile::decodeName(path)).size();
    return record;
}

QImage textImage(const QStringList &lines, int pixelSize = 48)
{
    QImage image(1400, 120 + lines.size() * pixelSize * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(60, 60 + pixelSize + i * pixelSize * 2, lines[i]);
    return image;
}

// Writes a PDF with one page per entry: text pages get a text layer, the others an image of text.
void writePdf(const QByteArray &path, const QStringList &pages, bool asImages)
{
    QPdfWriter writer(QFile::decodeName(path));
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    painter.setFont(font);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        if (asImages) {
            const QImage image = textImage({ pages[i] }, 60);
            painter.drawImage(QRectF(20, 20, 560, 560.0 * image.height() / image.width()), image);
        } else {
            painter.drawText(50, 100, pages[i]);
        }
    }
}

QByteArray utf16(const QString &text, QStringConverter::Encoding encoding, bool bom)
{
    QStringEncoder encoder(encoding, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

} // namespace

class ContentReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodePlainText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("expected");
        const QString sample = QString::fromUtf8("Grüße, 東京 👋");
        QTest::newRow("utf8") << sample.toUtf8() << false << sample;
        QTest::newRow("utf8-bom-dropped") << QByteArray("\xEF\xBB\xBFhi") << false << QStringLiteral("hi");
        QTest::newRow("cut-in-2-byte-char") << QByteArray("abc\xC3") << true << QStringLiteral("abc");
        QTest::newRow("cut-in-3-byte-char") << QByteArray("abc\xE6\x9D") << true << QStringLiteral("abc");
        QTest::newRow("cut-in-4-byte-char") << QByteArray("abc\xF0\x9F\x91") << true << QStringLiteral("abc");
        QTest::newRow("cut-after-whole-char") << QByteArray("ab\xC3\xA9") << true << QString::fromUtf8("abé");
        QTest::newRow("broken-utf8-not-at-cut") << QByteArray("abc\xC3") << false << QString();
        QTest::newRow("utf16le-bom") << utf16(sample, QStringConverter::Utf16LE, true) << false << sample;
        QTest::newRow("utf16be-bom") << utf16(sample, QStringConverter::Utf16BE, true) << false << sample;
        QTest::newRow("utf16le-no-bom") << utf16(QStringLiteral("plain words"), QStringConverter::Utf16LE, false)
                                        << false << QStringLiteral("plain words");
        QTest::newRow("utf16be-no-bom") << utf16(QStringLiteral("plain words"), QStringConverter::Utf16BE, false)
                                        << false << QStringLiteral("plain words");
        QTest::newRow("utf16-cut-in-surrogate-pair")
            << utf16(QString::fromUtf8("ab👋"), QStringConverter::Utf16LE, true).chopped(2) << true
            << QStringLiteral("ab");
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char((i * 7919) % 251));
        QTest::newRow("binary-data") << binary << false << QString();
        QTest::newRow("zero-bytes") << QByteArray(100, '\0') << false << QString();
    }

    void decodePlainText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, cut);
        QFETCH(QString, expected);
        QCOMPARE(ContentReader::decodePlainText(bytes, cut), expected);
    }

    void plainTextLimits_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<qsizetype>("expectedLength");
        QTest::addColumn<bool>("partial");
        QTest::newRow("200KB-read-whole") << QByteArray(200'000, 'a') << qsizetype(200'000) << false;
        QTest::newRow("900KB-cut-to-250k") << QByteArray(900'000, 'a') << qsizetype(250'000) << true;
        QTest::newRow("3MB-log") << QByteArray(3'000'000, 'a') << qsizetype(250'000) << true;
        // The one-megabyte read ends inside "é": the text stays UTF-8 instead of turning into
        // UTF-16 garbage.
        QTest::newRow("cut-inside-character")
            << QByteArray(999'999, 'a') + QByteArray("\xC3\xA9 tail") << qsizetype(250'000) << true;
    }

    void plainTextLimits()
    {
        QFETCH(QByteArray, contents);
        QFETCH(qsizetype, expectedLength);
        QFETCH(bool, partial);
        TestTree tree;
        const TextExtraction result = ContentReader::extract(recordFor(tree.file("big.log", contents)));
        QVERIFY(!result.error);
        QCOMPARE(result.text.size(), expectedLength);
        QCOMPARE(result.text, QString(expectedLength, QLatin1Char('a')));
        QCOMPARE(result.partial, partial);
    }

    void characterCutCountsClusters()
    {
        // 300,000 "e" + combining acute: 600,000 code units, 300,000 characters.
        QString text;
        for (int i = 0; i < 300'000; ++i)
            text += QStringLiteral("e\u0301");
        TestTree tree;
        FileRecord record = recordFor(tree.file("letter.pages"));
        record.spotlightText = text;
        const TextExtraction result = ContentReader::extract(record);
        QVERIFY(result.partial);
        QCOMPARE(result.text.size(), 500'000);
        QVERIFY(result.text.endsWith(QStringLiteral("e\u0301")));
    }

    void office_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        const QByteArray docx
            = "<w:document xmlns:w=\"w\"><w:body><w:p><w:r><w:t>Hello</w:t></w:r><w:r><w:t xml:space=\"preserve\"> "
              "big</w:t></w:r>"
              "<w:r><w:tab/><w:t>world</w:t></w:r></w:p><w:p><w:r><w:t>Second</w:t></w:r></w:p></w:body></w:document>";
        QTest::newRow("docx") << QStringLiteral("docx") << HostileFiles::zip({ { "word/document.xml", docx } })
                              << QStringLiteral("Hello big\tworld\nSecond\n");
        const QByteArray slide = "<p:sld xmlns:a=\"a\" xmlns:p=\"p\"><a:p><a:r><a:t>Slide %1</a:t></a:r></a:p></p:sld>";
        QTest::newRow("pptx-slides-in-number-order")
            << QStringLiteral("pptx")
            << HostileFiles::zip({ { "ppt/slides/slide10.xml", QByteArray(slide).replace("%1", "ten") },
                   { "ppt/slides/slide2.xml", QByteArray(slide).replace("%1", "two") } })
            << QStringLiteral("Slide two\nSlide ten\n");
        QTest::newRow("xlsx")
            << QStringLiteral("xlsx")
            << HostileFiles::zip(
                   { { "xl/sharedStrings.xml",
                       "<sst><si><t>Revenue</t></si><si><r><t>Q1 </t></r><r><t>total</t></r></si></sst>" } },
                   HostileFiles::ZipMethod::stored)
            << QStringLiteral("Revenue\nQ1 total\n");
        QTest::newRow("odt")
            << QStringLiteral("odt")
            << HostileFiles::zip({ { "content.xml",
                   "<office:document-content xmlns:office=\"o\" xmlns:text=\"t\"><office:body><office:text>"
                   "<text:h>Title</text:h><text:p>one<text:s text:c=\"2\"/>two<text:tab/>three</text:p>"
                   "</office:text></office:body></office:document-content>" } })
            << QStringLiteral("Title\none  two\tthree\n");
        QTest::newRow("epub-in-spine-order")
            << QStringLiteral("epub")
            << HostileFiles::zip({ { "mimetype", "application/epub+zip" },
                   { "META-INF/container.xml",
                       "<container><rootfiles><rootfile full-path=\"OEBPS/book.opf\"/></rootfiles></container>" },
                   { "OEBPS/book.opf",
                       "<package><manifest><item id=\"a\" href=\"ch%201.xhtml\"/><item id=\"b\" "
                       "href=\"ch2.xhtml\"/></manifest>"
                       "<spine><itemref idref=\"b\"/><itemref idref=\"a\"/></spine></package>" },
                   { "OEBPS/ch 1.xhtml", "<html><body><p>Later <b>words</b></p></body></html>" },
                   { "OEBPS/ch2.xhtml",
                       "<html><head><title>x</title><style>p{}</style></head><body><h1>First</h1></body></html>" } })
            << QStringLiteral("First\nLater words\n");
        QTest::newRow("zip-bomb-refused")
            << QStringLiteral("docx")
            << HostileFiles::zip({ { "word/document.xml", QByteArray(40 * 1024 * 1024, ' ') } }) << QString();
        QTest::newRow("not-a-zip") << QStringLiteral("docx") << QByteArray("PK\x03\x04 damaged") << QString();
        QTest::newRow("member-missing") << QStringLiteral("docx") << HostileFiles::zip({ { "other.xml", "<a/>" } })
                                        << QString();
    }

    void office()
    {
        QFETCH(QString, extension);
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        const TextExtraction result = OfficeTextReader::readData(data, extension);
        QCOMPARE(result.text, expected);
        QCOMPARE(bool(result.error), expected.isEmpty());
    }

    void rtf_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::newRow("paragraphs-and-tables-skipped")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}{\\colortbl;\\red0;}\\f0 Hello\\par World\\tab end}")
            << QStringLiteral("Hello\nWorld\tend");
        QTest::newRow("code-page-bytes") << QByteArray("{\\rtf1 caf\\'e9 \\'80}") << QString::fromUtf8("café €");
        QTest::newRow("unicode-with-fallback")
            << QByteArray("{\\rtf1\\uc1 \\u26481?\\u20140?}") << QString::fromUtf8("東京");
        QTest::newRow("ignorable-destination")
            << QByteArray("{\\rtf1 a{\\*\\generator Foo;}b}") << QStringLiteral("ab");
        QTest::newRow("escaped-braces") << QByteArray("{\\rtf1 \\{x\\}}") << QStringLiteral("{x}");
        QTest::newRow("deep-nesting") << QByteArray(100'000, '{') + "x" << QString();
    }

    void rtf()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        QCOMPARE(RtfTextReader::readData(data).text, expected);
    }

    void images()
    {
        TestTree tree;
        const QByteArray words = tree.path("words.png");
        QVERIFY(textImage({ QStringLiteral("Quarterly invoice total"), QStringLiteral("Meeting notes tomorrow") })
                    .save(QFile::decodeName(words)));
        TextExtraction result = ContentReader::extract(recordFor(words, FileKind::images));
        QVERIFY(!result.error);
        QCOMPARE(result.text, QStringLiteral("Quarterly invoice total\nMeeting notes tomorrow"));

        const QByteArray blank = tree.path("blank.png");
        QVERIFY(textImage({}).save(QFile::decodeName(blank)));
        result = ContentReader::extract(recordFor(blank, FileKind::images));
        QCOMPARE(result, (TextExtraction { QString(), false, std::nullopt }));

        const QByteArray bomb = tree.file("bomb.png", HostileFiles::claimingPng(30'000, 30'000));
        QVERIFY(!ContentReader::image(bomb));
        QCOMPARE(ContentReader::extract(recordFor(bomb, FileKind::images)).error, QStringLiteral("Unsupported image"));

        const QByteArray large = tree.path("large.jpg");
        QVERIFY(QImage(5000, 1000, QImage::Format_RGB32).save(QFile::decodeName(large)));
        QCOMPARE(ContentReader::image(large)->size(), QSize(2400, 480));
    }

    void pdfs()
    {
        TestTree tree;
        const QByteArray withText = tree.path("text.pdf");
        writePdf(withText, { QStringLiteral("alpha words"), QStringLiteral("beta words") }, false);
        TextExtraction result = ContentReader::extract(recordFor(withText));
        QVERIFY(!result.error);
        QCOMPARE(result.text, QStringLiteral("alpha words\nbeta words\n"));
        QVERIFY(!result.partial);

        const QByteArray scanned = tree.path("scanned.pdf");
        writePdf(scanned, { QStringLiteral("Scanned receipt") }, true);
        result = ContentReader::extract(recordFor(scanned));
        QVERIFY(!result.error);
        QCOMPARE(result.text.trimmed(), QStringLiteral("Scanned receipt"));

        QStringList pages;
        for (int i = 1; i <= 250; ++i)
            pages.append(QStringLiteral("page %1").arg(i));
        const QByteArray book = tree.path("book.pdf");
        writePdf(book, pages, false);
        result = ContentReader::extract(recordFor(book));
        QVERIFY(result.partial);
        QCOMPARE(result.text, pages.mid(0, 200).join(QLatin1Char('\n')) + QLatin1Char('\n'));

        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(ContentReader::extract(recordFor(book), stop.get_token()).error, QStringLiteral("Cancelled"));

        const QByteArray damaged = tree.file("damaged.pdf", "%PDF-1.7\n1 0 obj << /Type /Catalog >>\n%%EOF");
        QCOMPARE(ContentReader::extract(recordFor(damaged)).error, QStringLiteral("PDF is locked or unreadable"));
    }

    // Where the English model is looked for; without it one error names the package to install,
    // and the recognition library says nothing on standard error.
    void englishModel_data()
    {
        QTest::addColumn<QByteArray>("layout"); // "": no model; else the folder below the prefix holding it
        QTest::addColumn<bool>("recognizes");
        QTest::newRow("model missing") << QByteArray() << false;
        QTest::newRow("model in the prefix") << QByteArray(".") << true;
        QTest::newRow("model in the prefix's tessdata") << QByteArray("tessdata") << true;
    }

    void englishModel()
    {
        QFETCH(QByteArray, layout);
        QFETCH(bool, recognizes);
        const QByteArray installed = "/usr/share/tesseract-ocr/5/tessdata/eng.traineddata";
        if (recognizes && ::access(installed.constData(), R_OK) != 0)
            QSKIP("the English model is not installed");
        TestTree tree;
        if (!layout.isEmpty()) {
            const QByteArray model = tree.folder(layout) + "/eng.traineddata";
            QVERIFY(::symlink(installed.constData(), model.constData()) == 0);
        }
        const QByteArray previous = qgetenv("TESSDATA_PREFIX");
        qputenv("TESSDATA_PREFIX", tree.root());
        // Standard error goes to a file while the engine starts and reads.
        const QByteArray captured = tree.path("stderr");
        std::fflush(stderr);
        const int saved = ::dup(2);
        const int file = ::open(captured.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ::dup2(file, 2);
        TextExtraction result;
        {
            TextRecognizer recognizer;
            result = recognizer.recognize(textImage({ QStringLiteral("Quarterly invoice total") }));
        }
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        ::close(file);
        qputenv("TESSDATA_PREFIX", previous);

        QCOMPARE(!result.error, recognizes);
        if (!recognizes)
            QVERIFY(result.error->contains(QStringLiteral("tesseract-ocr-eng")));
        QCOMPARE(readFile(captured), QByteArray());
    }

    void notAvailableLocally_data()
    {
        QTest::addColumn<bool>("cloudOnly");
        QTest::addColumn<bool>("package");
        QTest::addColumn<bool>("missing");
        QTest::newRow("cloud-only") << true << false << false;
        QTest::newRow("package") << false << true << false;
        QTest::newRow("file-gone") << false << false << true;
    }

    void notAvailableLocally()
    {
        QFETCH(bool, cloudOnly);
        QFETCH(bool, package);
        QFETCH(bool, missing);
        TestTree tree;
        FileRecord record = recordFor(tree.file("notes.txt", "words"));
        record.isCloudOnly = cloudOnly;
        record.isPackage = package;
        if (missing)
            record.path = tree.path("gone.txt");
        QCOMPARE(ContentReader::extract(record).error, QStringLiteral("Not available locally"));
    }
};

QTEST_MAIN(ContentReaderTest)
#include "contentreadertest.moc"
