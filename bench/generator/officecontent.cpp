#include "generator/officecontent.h"

#include "generator/prose.h"
#include "generator/seededrandom.h"
#include "generator/zipwriter.h"

#include <stdexcept>

namespace {

const QByteArray kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray relationship(const char *target, const char *type)
{
    return QByteArray("<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/") + type + "\" Target=\""
        + target + "\"/>";
}

QByteArray relationships(const QByteArray &entries)
{
    return kXmlDeclaration + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        + entries + "</Relationships>";
}

QByteArray contentTypes(const QByteArray &overrides)
{
    return kXmlDeclaration + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        + "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        + "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" + overrides + "</Types>";
}

QByteArray docx(const PlannedFile &file, SeededRandom &r)
{
    QByteArray body
        = "<w:p><w:pPr><w:pStyle w:val=\"Title\"/></w:pPr><w:r><w:t>" + escaped(file.title) + "</w:t></w:r></w:p>";
    const int paragraphs = r.between(2, 8);
    for (int i = 0; i < paragraphs; ++i)
        body += "<w:p><w:r><w:t xml:space=\"preserve\">" + escaped(Prose::paragraph(r, r.between(2, 6)))
            + "</w:t></w:r></w:p>";
    ZipWriter zip;
    zip.add("[Content_Types].xml",
        contentTypes("<Override PartName=\"/word/document.xml\" ContentType=\"application/"
                     "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"),
        file.modified);
    zip.add("_rels/.rels",
        relationships(relationship("word/document.xml", "officeDocument/2006/relationships/officeDocument")),
        file.modified);
    zip.add("word/document.xml",
        kXmlDeclaration
            + "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>" + body
            + "</w:body></w:document>",
        file.modified);
    return zip.finish();
}

QByteArray cell(const QByteArray &reference, const QString &text)
{
    return "<c r=\"" + reference + "\" t=\"inlineStr\"><is><t>" + escaped(text) + "</t></is></c>";
}

QByteArray xlsx(const PlannedFile &file, SeededRandom &r)
{
    QByteArray rows = "<row r=\"1\">" + cell("A1", QStringLiteral("Item")) + cell("B1", QStringLiteral("Owner"))
        + cell("C1", QStringLiteral("Amount")) + "</row>";
    const int count = r.between(5, 60);
    for (int i = 2; i < count + 2; ++i) {
        const QByteArray n = QByteArray::number(i);
        rows += "<row r=\"" + n + "\">" + cell("A" + n, Prose::topic(r)) + cell("B" + n, Prose::personName(r))
            + "<c r=\"C" + n + "\"><v>" + QByteArray::number(r.between(100, 500000) / 100.0, 'f', 2) + "</v></c></row>";
    }
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    ZipWriter zip;
    zip.add("[Content_Types].xml",
        contentTypes("<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                     "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                     "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
                     "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"),
        file.modified);
    zip.add("_rels/.rels",
        relationships(relationship("xl/workbook.xml", "officeDocument/2006/relationships/officeDocument")),
        file.modified);
    zip.add("xl/workbook.xml",
        kXmlDeclaration + "<workbook xmlns=\"" + main
            + "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
            + "<sheet name=\"" + escaped(file.title.left(31)) + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
        file.modified);
    zip.add("xl/_rels/workbook.xml.rels",
        relationships(relationship("worksheets/sheet1.xml", "officeDocument/2006/relationships/worksheet")),
        file.modified);
    zip.add("xl/worksheets/sheet1.xml",
        kXmlDeclaration + "<worksheet xmlns=\"" + main + "\"><sheetData>" + rows + "</sheetData></worksheet>",
        file.modified);
    return zip.finish();
}

QByteArray odt(const PlannedFile &file, SeededRandom &r)
{
    const QByteArray mediaType = "application/vnd.oasis.opendocument.text";
    QByteArray text = "<text:h text:outline-level=\"1\">" + escaped(file.title) + "</text:h>";
    const int paragraphs = r.between(2, 8);
    for (int i = 0; i < paragraphs; ++i)
        text += "<text:p>" + escaped(Prose::paragraph(r, r.between(2, 6))) + "</text:p>";
    ZipWriter zip;
    // The media type comes first and uncompressed, so that it can be read at a fixed offset.
    zip.add("mimetype", mediaType, file.modified, ZipWriter::Method::stored);
    zip.add("META-INF/manifest.xml",
        kXmlDeclaration
            + "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
              "manifest:version=\"1.2\"><manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
              "manifest:media-type=\""
            + mediaType
            + "\"/><manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
              "</manifest:manifest>",
        file.modified);
    zip.add("content.xml",
        kXmlDeclaration
            + "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
              "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\">"
              "<office:body><office:text>"
            + text + "</office:text></office:body></office:document-content>",
        file.modified);
    return zip.finish();
}

} // namespace

namespace OfficeContent {

QByteArray make(const PlannedFile &file)
{
    SeededRandom r(file.seed);
    switch (file.content) {
    case Content::docx:
        return docx(file, r);
    case Content::xlsx:
        return xlsx(file, r);
    case Content::odt:
        return odt(file, r);
    default:
        throw std::logic_error("not an office document");
    }
}

} // namespace OfficeContent
