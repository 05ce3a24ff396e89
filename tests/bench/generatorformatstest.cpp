#include "generator/compression.h"
#include "generator/documentcontent.h"
#include "generator/gifencoder.h"
#include "generator/installercontent.h"
#include "generator/libraryplan.h"
#include "generator/mediacontent.h"
#include "generator/mediacontent_p.h"
#include "generator/mediatemplates.h"
#include "generator/officecontent.h"
#include "generator/tarwriter.h"
#include "generator/zipwriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

namespace {

// Runs a tool the project installs for its benchmarks; the caller skips when it is missing.
struct Tool
{
    bool found = false;
    int exitCode = -1;
    QByteArray output;
};

Tool runTool(const QString &program, const QStringList &arguments)
{
    Tool tool;
    if (QStandardPaths::findExecutable(program).isEmpty())
        return tool;
    tool.found = true;
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit)
        tool.exitCode = process.exitCode();
    tool.output = process.readAllStandardOutput();
    return tool;
}

#define RUN_TOOL(result, program, ...)                                                                                 \
    const Tool result = runTool(QStringLiteral(program), __VA_ARGS__);                                                 \
    if (!result.found)                                                                                                 \
        QSKIP(program " is not installed");                                                                            \
    QCOMPARE(result.exitCode, 0)

QString save(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

PlannedFile planned(Content content, const QString &title = QStringLiteral("Quarterly budget review"))
{
    PlannedFile file;
    file.path = "sample";
    file.content = content;
    file.seed = 0x5eed;
    file.modified = Timestamp::fromUnix(1'700'000'000, 123);
    file.title = title;
    return file;
}

} // namespace

class GeneratorFormatsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zipEntriesReadBack_data();
    void zipEntriesReadBack();
    void tarEntriesReadBack_data();
    void tarEntriesReadBack();
    void officeDocumentsAreWellFormed_data();
    void officeDocumentsAreWellFormed();
    void debianPackageNamesItself();
    void gifDecodesToThePalette_data();
    void gifDecodesToThePalette();
    void pdfTextLayer_data();
    void pdfTextLayer();
    void oggSerialKeepsValidPages();
    void trackTagsAreReadable_data();
    void trackTagsAreReadable();
    void planInvariants_data();
    void planInvariants();

private:
    QTemporaryDir m_dir;
};

void GeneratorFormatsTest::zipEntriesReadBack_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("deflated");
    QTest::newRow("deflated text") << QByteArray("notes.txt") << QByteArray("minutes of the meeting\n").repeated(50)
                                   << true;
    QTest::newRow("stored binary") << QByteArray("data.bin") << QByteArray("\x00\xff\x10\x80", 4).repeated(300)
                                   << false;
    QTest::newRow("UTF-8 name") << QByteArray("r\xc3\xa9sum\xc3\xa9.txt") << QByteArray("curriculum") << true;
    QTest::newRow("empty file") << QByteArray("empty") << QByteArray() << true;
}

void GeneratorFormatsTest::zipEntriesReadBack()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, data);
    QFETCH(bool, deflated);
    ZipWriter zip;
    zip.add("first.txt", "before", Timestamp::fromUnix(1'600'000'000));
    zip.add(name, data, Timestamp::fromUnix(1'700'000'000),
        deflated ? ZipWriter::Method::deflated : ZipWriter::Method::stored);
    const QString archive = save(m_dir, QStringLiteral("archive.zip"), zip.finish());
    RUN_TOOL(test, "unzip", { QStringLiteral("-tq"), archive });
    RUN_TOOL(content, "unzip", { QStringLiteral("-p"), archive, QString::fromUtf8(name) });
    QCOMPARE(content.output, data);
    RUN_TOOL(names, "unzip", { QStringLiteral("-Z1"), archive });
    QCOMPARE(names.output, "first.txt\n" + name + '\n');
}

void GeneratorFormatsTest::tarEntriesReadBack_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<unsigned>("mode");
    QTest::newRow("short text") << QByteArray("hello\n") << 0644u;
    QTest::newRow("exactly one block") << QByteArray(512, 'x') << 0644u;
    QTest::newRow("one byte over a block") << QByteArray(513, 'y') << 0644u;
    QTest::newRow("empty executable") << QByteArray() << 0755u;
}

void GeneratorFormatsTest::tarEntriesReadBack()
{
    QFETCH(QByteArray, data);
    QFETCH(unsigned, mode);
    TarWriter tar;
    tar.addFolder("project", Timestamp::fromUnix(1'600'000'000));
    tar.addFile("project/file", data, Timestamp::fromUnix(1'700'000'000), mode);
    tar.addFile("project/after", "trailing entry", Timestamp::fromUnix(1'700'000'000));
    const QString archive = save(m_dir, QStringLiteral("archive.tar.gz"), Compression::gzip(tar.finish()));
    RUN_TOOL(listing, "tar", { QStringLiteral("--numeric-owner"), QStringLiteral("-tvzf"), archive });
    const QByteArrayList lines = listing.output.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).startsWith("drwxr-xr-x 0/0"));
    QVERIFY(lines.at(1).startsWith(mode == 0755u ? "-rwxr-xr-x 0/0" : "-rw-r--r-- 0/0"));
    QVERIFY(lines.at(1).endsWith(" project/file"));
    RUN_TOOL(content, "tar", { QStringLiteral("-xzOf"), archive, QStringLiteral("project/file") });
    QCOMPARE(content.output, data);
    RUN_TOOL(after, "tar", { QStringLiteral("-xzOf"), archive, QStringLiteral("project/after") });
    QCOMPARE(after.output, QByteArray("trailing entry"));
}

void GeneratorFormatsTest::officeDocumentsAreWellFormed_data()
{
    QTest::addColumn<int>("content");
    QTest::addColumn<QString>("mainPart");
    QTest::newRow("docx") << int(Content::docx) << QStringLiteral("word/document.xml");
    QTest::newRow("xlsx") << int(Content::xlsx) << QStringLiteral("xl/worksheets/sheet1.xml");
    QTest::newRow("odt") << int(Content::odt) << QStringLiteral("content.xml");
}

void GeneratorFormatsTest::officeDocumentsAreWellFormed()
{
    QFETCH(int, content);
    QFETCH(QString, mainPart);
    const PlannedFile file = planned(Content(content), QStringLiteral("Budget & <plans>"));
    const QByteArray data = OfficeContent::make(file);
    const QString archive = save(m_dir, QStringLiteral("document"), data);
    RUN_TOOL(test, "unzip", { QStringLiteral("-tq"), archive });
    RUN_TOOL(names, "unzip", { QStringLiteral("-Z1"), archive });
    for (const QByteArray &part : names.output.trimmed().split('\n')) {
        if (!part.endsWith(".xml") && !part.endsWith(".rels"))
            continue;
        // unzip reads names as patterns, in which "[" opens a set.
        RUN_TOOL(xml, "unzip",
            { QStringLiteral("-p"), archive, QString::fromUtf8(part).replace(u'[', QStringLiteral("[[]")) });
        QXmlStreamReader reader(xml.output);
        while (!reader.atEnd())
            reader.readNext();
        QVERIFY2(!reader.hasError(), qPrintable(QString::fromUtf8(part) + u": " + reader.errorString()));
    }
    QVERIFY(names.output.split('\n').contains(mainPart.toUtf8()));
    if (Content(content) == Content::odt) {
        // OpenDocument: the media type is the first entry, stored, readable at a fixed offset.
        QCOMPARE(data.mid(30, 8), QByteArray("mimetype"));
        QCOMPARE(data.mid(38, 39), QByteArray("application/vnd.oasis.opendocument.text"));
    } else {
        QVERIFY(names.output.startsWith("[Content_Types].xml\n"));
    }
    RUN_TOOL(main, "unzip", { QStringLiteral("-p"), archive, mainPart });
    if (Content(content) != Content::xlsx)
        QVERIFY(main.output.contains("Budget &amp; &lt;plans&gt;"));
}

void GeneratorFormatsTest::debianPackageNamesItself()
{
    PlannedFile file = planned(Content::deb, QStringLiteral("obsidian"));
    file.text = "1.4.16";
    const QString package = save(m_dir, QStringLiteral("obsidian_1.4.16_amd64.deb"), InstallerContent::make(file));
    RUN_TOOL(
        fields, "dpkg-deb", { QStringLiteral("-f"), package, QStringLiteral("Package"), QStringLiteral("Version") });
    QCOMPARE(fields.output, QByteArray("Package: obsidian\nVersion: 1.4.16\n"));
    RUN_TOOL(contents, "dpkg-deb", { QStringLiteral("-c"), package });
    QVERIFY(contents.output.contains("./usr/bin/obsidian"));
}

void GeneratorFormatsTest::gifDecodesToThePalette_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("one pixel") << 1 << 1;
    QTest::newRow("shorter than a clear interval") << 9 << 9;
    QTest::newRow("many clear intervals, odd width") << 301 << 37;
    QTest::newRow("one tall column") << 1 << 400;
}

void GeneratorFormatsTest::gifDecodesToThePalette()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QImage source(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            source.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, ((x + y) * 11) % 256));
    }
    QImage decoded;
    QVERIFY(decoded.loadFromData(GifEncoder::encode(source), "GIF"));
    QCOMPARE(decoded.size(), source.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb expected = GifEncoder::paletteColour(GifEncoder::paletteIndex(source.pixel(x, y)));
            QCOMPARE(decoded.pixel(x, y) & 0xffffff, expected & 0xffffff);
        }
    }
}

void GeneratorFormatsTest::pdfTextLayer_data()
{
    QTest::addColumn<int>("content");
    QTest::addColumn<bool>("hasText");
    QTest::newRow("text PDF") << int(Content::textPdf) << true;
    QTest::newRow("scanned PDF") << int(Content::scannedPdf) << false;
}

void GeneratorFormatsTest::pdfTextLayer()
{
    QFETCH(int, content);
    QFETCH(bool, hasText);
    const QString pdf = save(m_dir, QStringLiteral("document.pdf"), DocumentContent::make(planned(Content(content))));
    RUN_TOOL(text, "pdftotext", { pdf, QStringLiteral("-") });
    QCOMPARE(text.output.contains("Quarterly budget review"), hasText);
    if (!hasText)
        QVERIFY2(text.output.trimmed().isEmpty(), text.output.constData());
    RUN_TOOL(images, "pdfimages", { QStringLiteral("-list"), pdf });
    const auto imageLines = images.output.trimmed().split('\n').size() - 2; // after two heading lines
    QCOMPARE(imageLines > 0, !hasText);
}

void GeneratorFormatsTest::oggSerialKeepsValidPages()
{
    PlannedFile file = planned(Content::ogg);
    file.mediaVariant = 0;
    MediaTemplates templates;
    try {
        templates = MediaTemplates::make({ file }, 1);
    } catch (const std::exception &error) {
        QSKIP(error.what());
    }
    const QByteArray recording = templates.recording(Content::ogg, 0);
    QVERIFY(recording.startsWith("OggS"));
    const quint32 serial = qFromLittleEndian<quint32>(recording.constData() + 14);
    // Redoing each page's checksum with the serial it already has must give the same bytes.
    QCOMPARE(MediaStamp::withOggSerial(recording, serial), recording);
    const QByteArray changed = MediaStamp::withOggSerial(recording, serial ^ 0x5a5a5a5a);
    QVERIFY(changed != recording);
    QCOMPARE(MediaStamp::withOggSerial(changed, serial), recording);
}

void GeneratorFormatsTest::trackTagsAreReadable_data()
{
    QTest::addColumn<int>("content");
    QTest::newRow("mp3 with an ID3 tag") << int(Content::mp3);
    QTest::newRow("flac with Vorbis comments") << int(Content::flac);
}

void GeneratorFormatsTest::trackTagsAreReadable()
{
    QFETCH(int, content);
    PlannedFile file = planned(Content(content), QStringLiteral("Neon Streets"));
    file.mediaVariant = 0;
    file.text = "Zoë Müller\nWinter Light\n7";
    MediaTemplates templates;
    try {
        templates = MediaTemplates::make({ file }, 1);
    } catch (const std::exception &error) {
        QSKIP(error.what());
    }
    const QString path = save(m_dir, QStringLiteral("track"), MediaContent::make(file, templates));
    RUN_TOOL(probe, "ffprobe",
        { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
            QStringLiteral("format=duration:format_tags=title,artist,album,track"), QStringLiteral("-of"),
            QStringLiteral("default=noprint_wrappers=1"), path });
    const QString output = QString::fromUtf8(probe.output).toLower();
    QVERIFY2(output.contains(QStringLiteral("title=neon streets")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("artist=zoë müller")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("album=winter light")), qPrintable(output));
    const qsizetype at = output.indexOf(QStringLiteral("duration="));
    QVERIFY(at >= 0);
    QVERIFY(qAbs(output.mid(at + 9).section(u'\n', 0, 0).toDouble() - 3.0) < 0.15);
}

void GeneratorFormatsTest::planInvariants_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("listed");
    QTest::newRow("smallest library") << quint64(1) << int(LibraryPlan::kMinimumListed);
    QTest::newRow("test library") << quint64(7) << 60;
    QTest::newRow("default library") << quint64(1) << 300;
    QTest::newRow("large library") << quint64(3) << 5000;
}

void GeneratorFormatsTest::planInvariants()
{
    QFETCH(quint64, seed);
    QFETCH(int, listed);
    QVERIFY(LibraryPlan::make(seed, LibraryPlan::kMinimumListed - 1).files.isEmpty());
    const LibraryPlan plan = LibraryPlan::make(seed, listed);
    QCOMPARE(plan.listedCount(), listed);

    const qint64 reference = LibraryPlan::kReferenceUnixSeconds;
    constexpr qint64 kDay = 86400;
    QSet<QByteArray> paths;
    bool recent = false;
    bool old = false;
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        const PlannedFile &file = plan.files.at(i);
        QVERIFY2(!paths.contains(file.path), file.path.constData());
        paths.insert(file.path);
        const bool hiddenName = file.path.startsWith('.') || file.path.contains("/.");
        const bool hiddenByList = file.path == "Desktop/private.txt" || file.path.startsWith("Desktop/Old Stuff/");
        QCOMPARE(file.listed, !(hiddenName || hiddenByList));
        if (file.origin >= 0) {
            QVERIFY(file.origin < i);
            QVERIFY(plan.files.at(file.origin).content != Content::copy);
        }
        QVERIFY(file.modified.unixSeconds() < reference);
        QVERIFY(file.modified.unixSeconds() > reference - 3 * 366 * kDay);
        recent = recent || file.modified.unixSeconds() > reference - 30 * kDay;
        old = old || file.modified.unixSeconds() < reference - 90 * kDay;
    }
    QVERIFY(recent && old);
    for (const PlannedLink &link : plan.links)
        QVERIFY(!paths.contains(link.path));
}

QTEST_MAIN(GeneratorFormatsTest)
#include "generatorformatstest.moc"
