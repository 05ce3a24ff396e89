#include "support/hostilefiles.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

namespace HostileFiles {

namespace {

// ---- Byte writing ----

template <typename T> void appendLe(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> void appendBe(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// ---- Checksums and compression ----

quint32 crcOf(const QByteArray &data)
{
    const auto *bytes = reinterpret_cast<const Bytef *>(data.constData());
    return static_cast<quint32>(::crc32(0, bytes, static_cast<uInt>(data.size())));
}

// qCompress output is a 4-byte length, then a zlib stream.
QByteArray zlibStream(const QByteArray &data)
{
    return qCompress(data, 9).mid(4);
}

// The zlib stream without its 2-byte header and 4-byte Adler-32 trailer, as zip stores it.
QByteArray rawDeflate(const QByteArray &data)
{
    const QByteArray stream = zlibStream(data);
    return stream.mid(2, stream.size() - 6);
}

// ---- Containers ----

struct ZipMember
{
    QByteArray name;
    QByteArray data; // as stored in the archive
    quint16 method; // 0 stored, 8 deflated
    quint32 crc;
    quint32 size; // uncompressed
};

ZipMember storedMember(const QByteArray &name, const QByteArray &contents)
{
    return { name, contents, 0, crcOf(contents), static_cast<quint32>(contents.size()) };
}

ZipMember deflatedMember(const QByteArray &name, const QByteArray &contents)
{
    return { name, rawDeflate(contents), 8, crcOf(contents), static_cast<quint32>(contents.size()) };
}

// The fields local and central headers share, from "version needed" to the name length.
void appendZipEntryFields(QByteArray &out, const ZipMember &member)
{
    appendLe<quint16>(out, 20); // version needed: deflate
    appendLe<quint16>(out, 0); // flags
    appendLe<quint16>(out, member.method);
    appendLe<quint16>(out, 12 << 11); // 12:00:00
    appendLe<quint16>(out, ((2024 - 1980) << 9) | (5 << 5) | 1); // 2024-05-01
    appendLe<quint32>(out, member.crc);
    appendLe<quint32>(out, static_cast<quint32>(member.data.size()));
    appendLe<quint32>(out, member.size);
    appendLe<quint16>(out, static_cast<quint16>(member.name.size()));
}

QByteArray zipArchive(const QList<ZipMember> &members)
{
    QByteArray out;
    QByteArray directory;
    for (const ZipMember &member : members) {
        const auto offset = static_cast<quint32>(out.size());
        appendLe<quint32>(out, 0x04034b50);
        appendZipEntryFields(out, member);
        appendLe<quint16>(out, 0); // extra field length
        out += member.name + member.data;

        appendLe<quint32>(directory, 0x02014b50);
        appendLe<quint16>(directory, 20); // made by: MS-DOS attributes
        appendZipEntryFields(directory, member);
        appendLe<quint16>(directory, 0); // extra field length
        appendLe<quint16>(directory, 0); // comment length
        appendLe<quint16>(directory, 0); // disk number
        appendLe<quint16>(directory, 0); // internal attributes
        appendLe<quint32>(directory, 0); // external attributes
        appendLe<quint32>(directory, offset);
        directory += member.name;
    }
    const auto directoryOffset = static_cast<quint32>(out.size());
    out += directory;
    appendLe<quint32>(out, 0x06054b50);
    appendLe<quint16>(out, 0); // this disk
    appendLe<quint16>(out, 0); // disk holding the directory
    appendLe<quint16>(out, static_cast<quint16>(members.size()));
    appendLe<quint16>(out, static_cast<quint16>(members.size()));
    appendLe<quint32>(out, static_cast<quint32>(directory.size()));
    appendLe<quint32>(out, directoryOffset);
    appendLe<quint16>(out, 0); // comment length
    return out;
}

// Objects are numbered from 1 in list order; object 1 is the catalog.
QByteArray pdfDocument(const QList<QByteArray> &objects)
{
    QByteArray out("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(out.size());
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

QByteArray pdfStream(const QByteArray &contents)
{
    return "<< /Length " + QByteArray::number(contents.size()) + " >>\nstream\n" + contents + "\nendstream";
}

QByteArray pdfTextContents(const QByteArray &text)
{
    return pdfStream("BT\n/F1 24 Tf\n72 700 Td\n(" + text + ") Tj\nET");
}

constexpr char pdfHelvetica[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray typed = QByteArray(type, 4) + data;
    QByteArray out;
    appendBe<quint32>(out, static_cast<quint32>(data.size()));
    out += typed;
    appendBe<quint32>(out, crcOf(typed));
    return out;
}

// An 8-bit RGB PNG; rows are the scanlines with their filter bytes, possibly fewer than height.
QByteArray rgbPng(quint32 width, quint32 height, const QByteArray &rows)
{
    QByteArray header;
    appendBe<quint32>(header, width);
    appendBe<quint32>(header, height);
    header += QByteArray("\x08\x02\x00\x00\x00", 5); // depth 8, RGB, deflate, adaptive, no interlace
    return QByteArray("\x89PNG\r\n\x1a\n") + pngChunk("IHDR", header) + pngChunk("IDAT", zlibStream(rows))
        + pngChunk("IEND", {});
}

QByteArray isoBox(const char *type, quint32 size, const QByteArray &payload)
{
    QByteArray out;
    appendBe<quint32>(out, size);
    return out + QByteArray(type, 4) + payload;
}

void appendTiffEntry(QByteArray &out, quint16 tag, quint16 type, quint32 value)
{
    appendLe<quint16>(out, tag);
    appendLe<quint16>(out, type);
    appendLe<quint32>(out, 1); // count
    appendLe<quint32>(out, value); // a SHORT sits in the low half, as little-endian reads it
}

// ---- Office package parts ----

QByteArray docxContentTypes()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/word/document.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
           "</Types>";
}

QByteArray docxRelationships()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
           "Target=\"word/document.xml\"/></Relationships>";
}

// ---- Hostile files ----

QByteArray pageTreeLoop()
{
    // The root /Pages lists itself and a second /Pages node whose /Kids lead back to the root.
    // The two nodes name each other as /Parent, and the page's /Parent is the second node.
    return pdfDocument({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [2 0 R 3 0 R 6 0 R] /Parent 6 0 R /Count 3 >>",
        "<< /Type /Page /Parent 6 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 4 0 R >>",
        pdfTextContents("Round and round"),
        pdfHelvetica,
        "<< /Type /Pages /Kids [3 0 R 2 0 R] /Parent 2 0 R /Count 2 >>",
    });
}

QByteArray deeplyNestedObject()
{
    constexpr qsizetype depth = 100000;
    return pdfDocument({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
        "/Resources << /Font << /F1 5 0 R >> /Properties << /P1 6 0 R >> >> /Annots 6 0 R /Contents 4 0 R >>",
        pdfTextContents("Deep below"),
        pdfHelvetica,
        QByteArray(depth, '[') + QByteArray(depth, ']'),
    });
}

QByteArray hugePng()
{
    // Four all-black rows of the claimed 100,000: enough for a decoder to start allocating.
    constexpr quint32 side = 100000;
    QByteArray rows;
    for (int row = 0; row < 4; ++row)
        rows += QByteArray(1 + 3 * side, '\0');
    return rgbPng(side, side, rows);
}

QByteArray hugeJpeg()
{
    // A small grey picture whose frame header claims 65,500 x 65,500 pixels: the dimensions are
    // 16-bit, and 65,500 is the largest common decoders accept.
    QImage image(16, 16, QImage::Format_Grayscale8);
    image.fill(128);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    jpeg.replace(jpeg.indexOf("\xff\xc0") + 5, 4, QByteArray("\xff\xdc\xff\xdc", 4));
    return jpeg;
}

// Spaces deflate about a thousandfold: 256 MiB of them, twice what a reader may inflate, take
// a quarter of a megabyte.
QByteArray decompressionBomb()
{
    const QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                                "<w:body><w:p><w:r><w:t xml:space=\"preserve\">"
        + QByteArray(256 << 20, ' ') + "</w:t></w:r></w:p></w:body></w:document>";
    return zipArchive({
        deflatedMember("[Content_Types].xml", docxContentTypes()),
        deflatedMember("_rels/.rels", docxRelationships()),
        deflatedMember("word/document.xml", document),
    });
}

QByteArray entityBomb()
{
    QByteArray entities("  <!ENTITY lol0 \"lol\">\n");
    for (int level = 1; level < 10; ++level) {
        const QByteArray previous = "&lol" + QByteArray::number(level - 1) + ';';
        entities += "  <!ENTITY lol" + QByteArray::number(level) + " \"" + previous.repeated(10) + "\">\n";
    }
    const QByteArray content = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE office:document-content [\n"
        + entities
        + "]>\n"
          "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
          "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\">"
          "<office:body><office:text><text:p>&lol9;</text:p></office:text></office:body>"
          "</office:document-content>\n";
    const QByteArray manifest(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.2\">\n"
        " <manifest:file-entry manifest:full-path=\"/\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>\n"
        " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
        "</manifest:manifest>\n");
    // mimetype must come first and stored, so the type can be read at a fixed offset.
    return zipArchive({
        storedMember("mimetype", "application/vnd.oasis.opendocument.text"),
        storedMember("META-INF/manifest.xml", manifest),
        storedMember("content.xml", content),
    });
}

QByteArray truncatedMp4()
{
    QByteArray ftyp("isom");
    appendBe<quint32>(ftyp, 0x200);
    ftyp += "isommp41";

    QByteArray movieHeader(4, '\0'); // version 0, no flags
    appendBe<quint32>(movieHeader, 0); // created
    appendBe<quint32>(movieHeader, 0); // modified
    appendBe<quint32>(movieHeader, 1000); // time scale
    appendBe<quint32>(movieHeader, 60000); // duration: one minute
    appendBe<quint32>(movieHeader, 0x00010000); // rate 1.0
    appendBe<quint16>(movieHeader, 0x0100); // volume 1.0
    movieHeader += QByteArray(10, '\0');
    for (quint32 cell : { 0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u })
        appendBe<quint32>(movieHeader, cell);
    movieHeader += QByteArray(24, '\0');
    appendBe<quint32>(movieHeader, 2); // next track id

    QByteArray trackHeaderStart("\x00\x00\x00\x03", 4); // version 0, enabled and in movie
    appendBe<quint32>(trackHeaderStart, 0);
    appendBe<quint32>(trackHeaderStart, 0);
    appendBe<quint32>(trackHeaderStart, 1); // track id
    appendBe<quint32>(trackHeaderStart, 0);
    appendBe<quint32>(trackHeaderStart, 60000);
    trackHeaderStart += QByteArray(8, '\0');

    // moov and trak claim tens of megabytes; the file ends inside the track header.
    return isoBox("ftyp", 24, ftyp) + isoBox("moov", 50000000, {}) + isoBox("mvhd", 108, movieHeader)
        + isoBox("trak", 50000000 - 8 - 108, {}) + isoBox("tkhd", 92, trackHeaderStart);
}

QByteArray brokenDirectory()
{
    constexpr quint16 Short = 3, Long = 4, Rational = 5;
    constexpr quint32 directoryOffset = 8;
    constexpr quint16 entryCount = 12;
    constexpr quint32 resolutionOffset = directoryOffset + 2 + 12 * entryCount + 4;

    QByteArray out("II*\0", 4);
    appendLe<quint32>(out, directoryOffset);
    appendLe<quint16>(out, entryCount);
    appendTiffEntry(out, 256, Long, 4000); // width
    appendTiffEntry(out, 257, Long, 3000); // height
    appendTiffEntry(out, 258, Short, 8); // bits per sample
    appendTiffEntry(out, 259, Short, 1); // uncompressed
    appendTiffEntry(out, 262, Short, 1); // black is zero
    appendTiffEntry(out, 273, Long, 50000000); // strip offset, far past the end
    appendTiffEntry(out, 277, Short, 1); // samples per pixel
    appendTiffEntry(out, 278, Long, 3000); // rows per strip
    appendTiffEntry(out, 279, Long, 4000 * 3000); // strip byte count
    appendTiffEntry(out, 282, Rational, resolutionOffset);
    appendTiffEntry(out, 283, Rational, resolutionOffset);
    appendTiffEntry(out, 296, Short, 2); // inches
    appendLe<quint32>(out, directoryOffset); // the next directory is this one
    appendLe<quint32>(out, 72);
    appendLe<quint32>(out, 1);
    return out;
}

// ---- Good files ----

QByteArray goodText()
{
    return pdfDocument({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 4 0 R >>",
        pdfTextContents("Quiet harbour evening"),
        pdfHelvetica,
    });
}

QByteArray goodPicture()
{
    constexpr int width = 64, height = 48;
    QByteArray rows;
    for (int y = 0; y < height; ++y) {
        rows += '\0'; // no filter
        for (int x = 0; x < width; ++x) {
            rows += static_cast<char>(x * 4);
            rows += static_cast<char>(y * 5);
            rows += static_cast<char>(128);
        }
    }
    return rgbPng(width, height, rows);
}

QByteArray goodLetter()
{
    const QByteArray document("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                              "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                              "<w:body><w:p><w:r><w:t>Dear reader</w:t></w:r></w:p></w:body></w:document>");
    return zipArchive({
        deflatedMember("[Content_Types].xml", docxContentTypes()),
        deflatedMember("_rels/.rels", docxRelationships()),
        deflatedMember("word/document.xml", document),
    });
}

} // namespace

QList<File> hostile()
{
    return {
        { "page-tree-loop.pdf", pageTreeLoop(), DocumentKind },
        { "deeply-nested-object.pdf", deeplyNestedObject(), DocumentKind },
        { "huge-dimensions.png", hugePng(), ImageKind },
        { "huge-dimensions.jpg", hugeJpeg(), ImageKind },
        { "decompression-bomb.docx", decompressionBomb(), DocumentKind },
        { "entity-bomb.odt", entityBomb(), DocumentKind },
        { "truncated.mp4", truncatedMp4(), VideoKind },
        { "broken-directory.tif", brokenDirectory(), ImageKind },
    };
}

QList<File> good()
{
    return {
        { "good-text.pdf", goodText(), DocumentKind },
        { "good-picture.png", goodPicture(), ImageKind },
        { "good-notes.txt", "plain words for the index", DocumentKind },
        { "good-letter.docx", goodLetter(), DocumentKind },
    };
}

QByteArray playlist(const QByteArray &segment)
{
    return "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:10.0,\n" + segment
        + "\n#EXT-X-ENDLIST\n";
}

QByteArray claimingPng(quint32 width, quint32 height)
{
    return rgbPng(width, height, QByteArray(64 * 1024, '\0'));
}

QByteArray zip(const QList<std::pair<QByteArray, QByteArray>> &members, ZipMethod method)
{
    QList<ZipMember> entries;
    for (const auto &[name, contents] : members)
        entries.append(method == ZipMethod::deflated ? deflatedMember(name, contents) : storedMember(name, contents));
    return zipArchive(entries);
}

} // namespace HostileFiles
