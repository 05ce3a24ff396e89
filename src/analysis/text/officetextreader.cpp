#include "analysis/text/officetextreader.h"

#include "analysis/text/exactfile.h"
#include "analysis/text/textformats.h"
#include "analysis/text/xmltextcollector.h"
#include "analysis/text/ziparchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// The text gathered per file before the character cut; past this, reading further only costs.
constexpr qsizetype kMaxCollected = 1'000'000;
// All members of one file together may inflate to no more than this.
constexpr qint64 kMaxInflated = 128 * 1024 * 1024;

QSet<QString> names(std::initializer_list<const char *> list)
{
    QSet<QString> result;
    for (const char *name : list)
        result.insert(QLatin1String(name));
    return result;
}

class Reader
{
public:
    explicit Reader(const ZipArchive &zip)
        : m_zip(zip)
    { }

    // Appends the text of one member; false when it is missing or over the budget.
    bool add(const QString &member, const XmlTextRules &rules)
    {
        if (m_result.text.size() >= kMaxCollected) {
            m_result.partial = true;
            return true;
        }
        const auto data = m_zip.read(member, std::min(ZipArchive::kDefaultMemberLimit, m_budget));
        if (!data)
            return false;
        m_budget -= data->size();
        if (!XmlTextCollector::collect(*data, rules, m_result.text, kMaxCollected))
            m_result.partial = true;
        return true;
    }

    std::optional<QByteArray> raw(const QString &member)
    {
        auto data = m_zip.read(member, std::min<qint64>(4 * 1024 * 1024, m_budget));
        if (data)
            m_budget -= data->size();
        return data;
    }

    TextExtraction result() const { return m_result; }

private:
    const ZipArchive &m_zip;
    qint64 m_budget = kMaxInflated;
    TextExtraction m_result;
};

// Members such as "ppt/slides/slide12.xml", in the order of their number.
QStringList numbered(const ZipArchive &zip, const QString &prefix)
{
    QList<std::pair<int, QString>> found;
    const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(prefix) + QStringLiteral("(\\d+)\\.xml")));
    for (const QString &name : zip.names()) {
        const auto match = pattern.match(name);
        if (match.hasMatch())
            found.append({ match.captured(1).toInt(), name });
    }
    std::sort(found.begin(), found.end());
    QStringList result;
    for (const auto &entry : found)
        result.append(entry.second);
    return result;
}

QString attribute(QByteArrayView xml, const char *element, const char *name)
{
    QXmlStreamReader reader(QByteArray::fromRawData(xml.data(), xml.size()));
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String(element))
            return reader.attributes().value(QLatin1String(name)).toString();
    }
    return {};
}

// The content documents of an EPUB in reading order: the package file's spine.
QStringList epubChapters(Reader &reader)
{
    const auto container = reader.raw(QStringLiteral("META-INF/container.xml"));
    if (!container)
        return {};
    const QString packagePath = attribute(*container, "rootfile", "full-path");
    const auto package = reader.raw(packagePath);
    if (!package)
        return {};
    const QString base = packagePath.contains(QLatin1Char('/'))
        ? packagePath.left(packagePath.lastIndexOf(QLatin1Char('/')) + 1)
        : QString();
    QHash<QString, QString> manifest;
    QStringList spine;
    QXmlStreamReader xml(*package);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("item"))
            manifest.insert(
                attributes.value(QLatin1String("id")).toString(), attributes.value(QLatin1String("href")).toString());
        else if (xml.name() == QLatin1String("itemref"))
            spine.append(attributes.value(QLatin1String("idref")).toString());
    }
    QStringList chapters;
    for (const QString &id : spine) {
        const QString href = manifest.value(id);
        if (!href.isEmpty())
            chapters.append(QDir::cleanPath(base + QUrl::fromPercentEncoding(href.toUtf8())));
    }
    return chapters;
}

TextExtraction readZip(const ZipArchive &zip, const QString &extension)
{
    Reader reader(zip);
    const auto unreadable = [] {
        return TextExtraction::failure(
            QCoreApplication::translate("ContentReader", "The document is damaged or too large"));
    };
    if (extension == QLatin1String("docx")) {
        const XmlTextRules rules { names({ "t" }), names({ "p" }), names({ "br", "cr" }), names({ "tab" }), {}, {},
            {} };
        if (!reader.add(QStringLiteral("word/document.xml"), rules))
            return unreadable();
    } else if (extension == QLatin1String("pptx")) {
        const XmlTextRules rules { names({ "t" }), names({ "p" }), names({ "br" }), {}, {}, {}, {} };
        for (const QString &slide : numbered(zip, QStringLiteral("ppt/slides/slide"))) {
            if (!reader.add(slide, rules))
                return unreadable();
        }
    } else if (extension == QLatin1String("xlsx")) {
        const XmlTextRules rules { names({ "t" }), names({ "si" }), {}, {}, {}, names({ "rPh" }), {} };
        if (zip.contains(QStringLiteral("xl/sharedStrings.xml"))
            && !reader.add(QStringLiteral("xl/sharedStrings.xml"), rules))
            return unreadable();
        const XmlTextRules inlineRules { names({ "t" }), names({ "is" }), {}, {}, {}, {}, {} };
        for (const QString &sheet : numbered(zip, QStringLiteral("xl/worksheets/sheet"))) {
            if (!reader.add(sheet, inlineRules))
                return unreadable();
        }
    } else if (extension == QLatin1String("odt") || extension == QLatin1String("ods")
        || extension == QLatin1String("odp")) {
        const XmlTextRules rules { {}, names({ "p", "h" }), names({ "line-break" }), names({ "tab" }), names({ "s" }),
            names({ "annotation", "tracked-changes" }), QStringLiteral("body") };
        if (!reader.add(QStringLiteral("content.xml"), rules))
            return unreadable();
    } else if (extension == QLatin1String("epub")) {
        const XmlTextRules rules { {},
            names({ "p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "li", "tr", "blockquote", "pre", "section", "dt",
                "dd" }),
            names({ "br" }), {}, {}, names({ "script", "style", "head" }), QStringLiteral("body") };
        const QStringList chapters = epubChapters(reader);
        if (chapters.isEmpty())
            return unreadable();
        for (const QString &chapter : chapters) {
            if (!reader.add(chapter, rules))
                return unreadable();
        }
    }
    return reader.result();
}

} // namespace

bool OfficeTextReader::handles(const QString &extension)
{
    return TextFormats::isOffice(extension);
}

TextExtraction OfficeTextReader::readData(QByteArrayView data, const QString &extension)
{
    ZipArchive zip;
    if (!zip.open(data))
        return TextExtraction::failure(
            QCoreApplication::translate("ContentReader", "The document is damaged or too large"));
    return readZip(zip, extension);
}

TextExtraction OfficeTextReader::read(const QByteArray &path, const QString &extension)
{
    QFile file;
    QString error;
    if (!ExactFile::open(file, path, &error))
        return TextExtraction::failure(error);
    const qint64 size = file.size();
    const uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
    if (mapped == nullptr)
        return readData(file.readAll(), extension);
    return readData(QByteArrayView(mapped, size), extension);
}
