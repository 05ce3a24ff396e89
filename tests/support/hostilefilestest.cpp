#include "support/hostilefiles.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>

using HostileFiles::File;

namespace {

// The unsigned number in `count` bytes at `at`, in either byte order; 0 past the end, so a
// generator that wrote too little fails the comparison instead of reading beyond the data.
quint32 number(const QByteArray &data, qsizetype at, int count, bool littleEndian)
{
    if (at < 0 || at + count > data.size())
        return 0;
    quint32 value = 0;
    for (int i = 0; i < count; ++i) {
        const int byte = littleEndian ? count - 1 - i : i;
        value = (value << 8) | static_cast<unsigned char>(data[at + byte]);
    }
    return value;
}

quint16 le16(const QByteArray &data, qsizetype at)
{
    return quint16(number(data, at, 2, true));
}

quint32 le32(const QByteArray &data, qsizetype at)
{
    return number(data, at, 4, true);
}

quint32 be32(const QByteArray &data, qsizetype at)
{
    return number(data, at, 4, false);
}

QSize imageSize(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).size();
}

struct ZipEntry
{
    QByteArray name;
    quint16 method;
    quint32 crc;
    quint32 compressedSize;
    quint32 size;
    quint32 localOffset;
};

// The central directory as the end record describes it; empty when the records are malformed.
QList<ZipEntry> centralDirectory(const QByteArray &zip)
{
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06"));
    if (end < 0 || end + 22 > zip.size())
        return {};
    QList<ZipEntry> entries;
    qsizetype at = le32(zip, end + 16);
    for (int i = 0; i < le16(zip, end + 10); ++i) {
        if (at + 46 > end || le32(zip, at) != 0x02014b50)
            return {};
        const quint16 nameLength = le16(zip, at + 28);
        entries.append({ zip.mid(at + 46, nameLength), le16(zip, at + 10), le32(zip, at + 16), le32(zip, at + 20),
            le32(zip, at + 24), le32(zip, at + 42) });
        at += 46 + nameLength + le16(zip, at + 30) + le16(zip, at + 32);
    }
    return at == end ? entries : QList<ZipEntry>();
}

QByteArray storedData(const QByteArray &zip, const ZipEntry &entry)
{
    const qsizetype start
        = entry.localOffset + 30 + le16(zip, entry.localOffset + 26) + le16(zip, entry.localOffset + 28);
    return zip.mid(start, entry.compressedSize);
}

} // namespace

class HostileFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void crcMatchesCheckValue();
    void namesAreUniqueAndExtensionsMatchKinds();
    void pdfCrossReferencesPointAtObjects_data();
    void pdfCrossReferencesPointAtObjects();
    void hugePngHasIntactChunksAndClaimsHugeSize();
    void hugeJpegIsDecodableApartFromItsSize();
    void brokenTiffOpensButLoops();
    void goodPictureDecodesAsGradient();
    void zipDirectoriesAgreeWithLocalHeaders_data();
    void zipDirectoriesAgreeWithLocalHeaders();
    void odtStartsWithStoredMimetypeAndCarriesEntities();
    void bombClaimsGigabyteFromSmallFile();

private:
    QByteArray contents(const QByteArray &name) const { return m_files.value(name).contents; }

    QHash<QByteArray, File> m_files;
};

void HostileFilesTest::initTestCase()
{
    for (const File &file : HostileFiles::hostile() + HostileFiles::good())
        m_files.insert(file.name, file);
}

void HostileFilesTest::crcMatchesCheckValue()
{
    QCOMPARE(HostileFiles::crc32("123456789"), 0xcbf43926u);
    QCOMPARE(HostileFiles::crc32("6789", HostileFiles::crc32("12345")), 0xcbf43926u);
}

void HostileFilesTest::namesAreUniqueAndExtensionsMatchKinds()
{
    const QHash<QByteArray, int> kindOfExtension {
        { "png", HostileFiles::ImageKind },
        { "jpg", HostileFiles::ImageKind },
        { "tif", HostileFiles::ImageKind },
        { "pdf", HostileFiles::DocumentKind },
        { "docx", HostileFiles::DocumentKind },
        { "odt", HostileFiles::DocumentKind },
        { "txt", HostileFiles::DocumentKind },
        { "mp4", HostileFiles::VideoKind },
    };
    const QList<File> all = HostileFiles::hostile() + HostileFiles::good();
    QSet<QByteArray> names;
    for (const File &file : all) {
        QVERIFY2(!names.contains(file.name), file.name.constData());
        names.insert(file.name);
        const QByteArray extension = file.name.mid(file.name.lastIndexOf('.') + 1);
        QVERIFY2(kindOfExtension.contains(extension), file.name.constData());
        QCOMPARE(file.kind, kindOfExtension.value(extension));
        QVERIFY2(!file.contents.isEmpty(), file.name.constData());
    }
    QCOMPARE(all.size(), 12);
}

void HostileFilesTest::pdfCrossReferencesPointAtObjects_data()
{
    QTest::addColumn<QByteArray>("name");
    for (const char *name : { "good-text.pdf", "page-tree-loop.pdf", "deeply-nested-object.pdf" })
        QTest::newRow(name) << QByteArray(name);
}

void HostileFilesTest::pdfCrossReferencesPointAtObjects()
{
    QFETCH(QByteArray, name);
    const QByteArray pdf = contents(name);
    QVERIFY(pdf.startsWith("%PDF-1."));
    QVERIFY(pdf.endsWith("%%EOF\n"));

    const qsizetype startxref = pdf.lastIndexOf("startxref\n");
    QVERIFY(startxref > 0);
    const qsizetype xref = pdf.mid(startxref + 10).split('\n').first().toLongLong();
    QCOMPARE(pdf.mid(xref, 5), QByteArray("xref\n"));

    const QList<QByteArray> subsection = pdf.mid(xref + 5).split('\n').first().split(' ');
    QCOMPARE(subsection.first(), QByteArray("0"));
    const int count = subsection.last().toInt();
    QVERIFY(pdf.contains(QByteArray("/Size " + QByteArray::number(count) + ' ')));
    const qsizetype entries = pdf.indexOf('\n', xref + 5) + 1;
    QCOMPARE(pdf.mid(entries, 20), QByteArray("0000000000 65535 f \n"));
    for (int object = 1; object < count; ++object) {
        const QByteArray entry = pdf.mid(entries + 20 * object, 20);
        QVERIFY2(entry.endsWith(" 00000 n \n"), entry.constData());
        const qsizetype offset = entry.left(10).toLongLong();
        const QByteArray header = QByteArray::number(object) + " 0 obj\n";
        QVERIFY2(pdf.mid(offset).startsWith(header), entry.constData());
    }
}

void HostileFilesTest::hugePngHasIntactChunksAndClaimsHugeSize()
{
    const QByteArray png = contents("huge-dimensions.png");
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    QCOMPARE(png.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(be32(png, 16), 100000u);
    QCOMPARE(be32(png, 20), 100000u);

    QList<QByteArray> types;
    for (qsizetype at = 8; at < png.size();) {
        const quint32 length = be32(png, at);
        const QByteArray typed = png.mid(at + 4, 4 + length);
        QCOMPARE(be32(png, at + 8 + length), HostileFiles::crc32(typed));
        types.append(typed.left(4));
        if (typed.startsWith("IDAT")) {
            // A zero size hint makes qUncompress grow its buffer as needed.
            const QByteArray rows = qUncompress(QByteArray(4, '\0') + typed.mid(4));
            QVERIFY(!rows.isEmpty());
            QCOMPARE(rows.size() % (1 + 3 * 100000), 0);
        }
        at += 12 + length;
    }
    QCOMPARE(types, QList<QByteArray>({ "IHDR", "IDAT", "IEND" }));
    QCOMPARE(imageSize(png), QSize(100000, 100000));
}

void HostileFilesTest::hugeJpegIsDecodableApartFromItsSize()
{
    QByteArray jpeg = contents("huge-dimensions.jpg");
    QCOMPARE(imageSize(jpeg), QSize(65500, 65500));

    // With a sensible frame size the same tables and scan decode, so only the size is hostile.
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    QVERIFY(frame > 0);
    jpeg.replace(frame + 5, 4, QByteArray("\x00\x10\x00\x10", 4));
    // Four blocks take two bytes of scan; dropping the rest spares the decoder's warning.
    const qsizetype scan = jpeg.indexOf("\xff\xda") + 10;
    jpeg = jpeg.left(scan + 2) + "\xff\xd9";
    const QImage image = QImage::fromData(jpeg);
    QCOMPARE(image.size(), QSize(16, 16));
}

void HostileFilesTest::brokenTiffOpensButLoops()
{
    const QByteArray tif = contents("broken-directory.tif");
    QCOMPARE(imageSize(tif), QSize(4000, 3000));

    const quint32 directory = le32(tif, 4);
    QCOMPARE(le32(tif, directory + 2 + 12 * le16(tif, directory)), directory);
}

void HostileFilesTest::goodPictureDecodesAsGradient()
{
    const QImage image = QImage::fromData(contents("good-picture.png"), "PNG");
    QCOMPARE(image.size(), QSize(64, 48));
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 128));
    QCOMPARE(image.pixel(63, 47), qRgb(252, 235, 128));
}

void HostileFilesTest::zipDirectoriesAgreeWithLocalHeaders_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QList<QByteArray>>("members");
    const QList<QByteArray> docx { "[Content_Types].xml", "_rels/.rels", "word/document.xml" };
    QTest::newRow("letter") << QByteArray("good-letter.docx") << docx;
    QTest::newRow("bomb") << QByteArray("decompression-bomb.docx") << docx;
    QTest::newRow("entities") << QByteArray("entity-bomb.odt")
                              << QList<QByteArray>({ "mimetype", "META-INF/manifest.xml", "content.xml" });
}

void HostileFilesTest::zipDirectoriesAgreeWithLocalHeaders()
{
    QFETCH(QByteArray, name);
    QFETCH(QList<QByteArray>, members);
    const QByteArray zip = contents(name);
    const QList<ZipEntry> entries = centralDirectory(zip);
    QList<QByteArray> names;
    for (const ZipEntry &entry : entries) {
        names.append(entry.name);
        const qsizetype local = entry.localOffset;
        QCOMPARE(le32(zip, local), 0x04034b50u);
        QCOMPARE(le16(zip, local + 8), entry.method);
        QCOMPARE(le32(zip, local + 14), entry.crc);
        QCOMPARE(le32(zip, local + 18), entry.compressedSize);
        QCOMPARE(le32(zip, local + 22), entry.size);
        QCOMPARE(zip.mid(local + 30, le16(zip, local + 26)), entry.name);
        QVERIFY(entry.method == 0 || entry.method == 8);
        if (entry.method == 0) {
            QCOMPARE(entry.compressedSize, entry.size);
            QCOMPARE(HostileFiles::crc32(storedData(zip, entry)), entry.crc);
        }
    }
    QCOMPARE(names, members);
}

void HostileFilesTest::odtStartsWithStoredMimetypeAndCarriesEntities()
{
    const QByteArray odt = contents("entity-bomb.odt");
    // Readers sniff the type right after the first local header's name.
    QCOMPARE(odt.mid(30, 8), QByteArray("mimetype"));
    QCOMPARE(odt.mid(38, 39), QByteArray("application/vnd.oasis.opendocument.text"));
    QVERIFY(storedData(odt, centralDirectory(odt).last()).contains("<text:p>&lol9;</text:p>"));
}

void HostileFilesTest::bombClaimsGigabyteFromSmallFile()
{
    const QByteArray zip = contents("decompression-bomb.docx");
    QVERIFY(zip.size() < 2 * 1024 * 1024);
    const ZipEntry document = centralDirectory(zip).last();
    QCOMPARE(document.name, QByteArray("word/document.xml"));
    QCOMPARE(document.method, quint16(8));
    QVERIFY(document.size >= 1u << 30);
    QVERIFY(document.compressedSize < 2u * 1024 * 1024);
}

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "hostilefilestest.moc"
