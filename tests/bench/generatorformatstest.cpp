#include "generator/compression.h"
#include "generator/gifencoder.h"
#include "generator/libraryplan.h"
#include "generator/officecontent.h"
#include "generator/tarwriter.h"
#include "generator/zipwriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

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
    void gifDecodesToThePalette_data();
    void gifDecodesToThePalette();

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

QTEST_MAIN(GeneratorFormatsTest)
#include "generatorformatstest.moc"
