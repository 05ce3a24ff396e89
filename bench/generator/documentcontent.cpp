#include "generator/documentcontent.h"

#include "generator/prose.h"
#include "generator/seededrandom.h"

#include <QBuffer>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QTimeZone>

#include <stdexcept>

namespace {

constexpr int kPageWidth = 595; // A4 in points, drawn at 72 dots per inch
constexpr int kPageHeight = 842;
constexpr int kMargin = 56;

QFont font(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QString dateText(Timestamp t)
{
    return QDateTime::fromSecsSinceEpoch(t.unixSeconds(), QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd"));
}

// The lines of a page: a heading, then paragraphs, or an invoice with its items.
QStringList pageText(const PlannedFile &file, SeededRandom &r, int page)
{
    QStringList lines;
    if (file.path.contains("Invoice")) {
        const QString number = QString::fromUtf8(file.path.mid(file.path.lastIndexOf('/') + 1)).section(u'.', 0, 0);
        lines << number << QStringLiteral("Date: %1").arg(dateText(file.modified))
              << u"Bill to: " + Prose::personName(r) << QString();
        double total = 0;
        const int items = r.between(2, 8);
        for (int i = 0; i < items; ++i) {
            const double amount = r.between(500, 60000) / 100.0;
            total += amount;
            QString topic = Prose::topic(r);
            topic[0] = topic[0].toUpper();
            lines << QStringLiteral("%1 %2 ..... %3 EUR").arg(i + 1).arg(topic).arg(amount, 0, 'f', 2);
        }
        lines << QString() << QStringLiteral("Total due: %1 EUR").arg(total, 0, 'f', 2) << Prose::sentence(r);
        return lines;
    }
    if (page == 0)
        lines << file.title << QString();
    const int paragraphs = r.between(2, 5);
    for (int i = 0; i < paragraphs; ++i)
        lines << Prose::paragraph(r, r.between(2, 6)) << QString();
    return lines;
}

void drawPage(QPainter &painter, const QStringList &lines, int width, int height, int margin, double scale)
{
    int y = margin;
    bool heading = true;
    for (const QString &line : lines) {
        painter.setFont(font(int((heading ? 20 : 12) * scale), heading));
        heading = false;
        const QRect box(margin, y, width - 2 * margin, height - margin - y);
        QRect used;
        painter.drawText(
            box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, line.isEmpty() ? QStringLiteral(" ") : line, &used);
        y += used.height() + int(4 * scale);
        if (y > height - margin)
            break;
    }
}

// QPdfWriter stamps the time of writing into the document; a generated file carries its
// planned time instead, so two runs give the same bytes. The replacement has the same length,
// which keeps the cross-reference offsets valid.
QByteArray withFixedDates(QByteArray pdf, Timestamp when)
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(when.unixSeconds(), QTimeZone::utc());
    const QByteArray stamp = t.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    const QByteArray iso = t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
    for (const QByteArray &key : { QByteArray("/CreationDate (D:"), QByteArray("/ModDate (D:") }) {
        for (qsizetype at = pdf.indexOf(key); at >= 0; at = pdf.indexOf(key, at + 1)) {
            const qsizetype begin = at + key.size();
            const qsizetype end = pdf.indexOf(')', begin);
            if (end < 0)
                break;
            QByteArray value = stamp + "Z";
            value = value.leftJustified(end - begin, ' ', true);
            pdf.replace(begin, end - begin, value);
        }
    }
    for (const QByteArray &key :
        { QByteArray("<xmp:CreateDate>"), QByteArray("<xmp:ModifyDate>"), QByteArray("<xmp:MetadataDate>") }) {
        for (qsizetype at = pdf.indexOf(key); at >= 0; at = pdf.indexOf(key, at + 1)) {
            const qsizetype begin = at + key.size();
            const qsizetype end = pdf.indexOf('<', begin);
            if (end < 0)
                break;
            pdf.replace(begin, end - begin, QByteArray(iso + "Z").leftJustified(end - begin, ' ', true));
        }
    }
    return pdf;
}

QByteArray pdf(const PlannedFile &file, bool scanned)
{
    SeededRandom r(file.seed);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        writer.setTitle(file.title);
        writer.setCreator(QStringLiteral("Office Writer"));
        QPainter painter(&writer);
        const int pages = r.between(1, scanned ? 2 : 3);
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                writer.newPage();
            const QStringList lines = pageText(file, r, page);
            if (!scanned) {
                drawPage(painter, lines, kPageWidth, kPageHeight, kMargin, 1.0);
                continue;
            }
            // A scanner's picture of a printed page: slightly grey paper, slightly skewed.
            constexpr double kScale = 100.0 / 72.0;
            QImage scan(int(kPageWidth * kScale), int(kPageHeight * kScale), QImage::Format_Grayscale8);
            scan.fill(QColor(244, 244, 240));
            {
                QPainter scanPainter(&scan);
                scanPainter.setRenderHint(QPainter::Antialiasing);
                scanPainter.translate(scan.width() / 2.0, scan.height() / 2.0);
                scanPainter.rotate(r.between(-1.2, 1.2));
                scanPainter.translate(-scan.width() / 2.0, -scan.height() / 2.0);
                scanPainter.setPen(QColor(25, 25, 25));
                drawPage(scanPainter, lines, scan.width(), scan.height(), int(kMargin * kScale), kScale);
            }
            painter.drawImage(QRect(0, 0, kPageWidth, kPageHeight), scan);
        }
        if (!painter.end())
            throw std::runtime_error("cannot write a PDF");
    }
    return withFixedDates(bytes, file.modified);
}

QByteArray markdown(const PlannedFile &file, SeededRandom &r)
{
    QString text = u"# " + file.title + u"\n\n" + Prose::paragraph(r, 3) + u"\n\n## Tasks\n\n";
    const int tasks = r.between(2, 6);
    for (int i = 0; i < tasks; ++i)
        text += (r.chance(0.5) ? u"- [x] " : u"- [ ] ") + Prose::sentence(r) + u'\n';
    text += u"\n## Notes\n\n" + Prose::paragraph(r, r.between(2, 5)) + u'\n';
    return text.toUtf8();
}

QByteArray csv(SeededRandom &r, Timestamp when)
{
    QByteArray text = "date,description,category,amount\n";
    const int rows = r.between(15, 150);
    qint64 day = when.unixSeconds() - rows * 86400LL;
    for (int i = 0; i < rows; ++i) {
        day += 86400;
        const Timestamp t = Timestamp::fromUnix(day);
        QString topic = Prose::topic(r);
        text += dateText(t).toUtf8() + ",\"" + Prose::projectName(r).toUtf8() + ' ' + topic.toUtf8() + "\","
            + topic.toUtf8() + ',' + QByteArray::number(r.between(100, 250000) / 100.0, 'f', 2) + '\n';
    }
    return text;
}

QByteArray json(const PlannedFile &file, SeededRandom &r)
{
    QJsonArray items;
    const int count = r.between(3, 20);
    for (int i = 0; i < count; ++i) {
        items.append(QJsonObject { { QStringLiteral("id"), i + 1 }, { QStringLiteral("name"), Prose::topic(r) },
            { QStringLiteral("owner"), Prose::personName(r) }, { QStringLiteral("done"), r.chance(0.5) },
            { QStringLiteral("estimate"), r.between(1, 40) } });
    }
    const QJsonObject root { { QStringLiteral("name"), Prose::projectName(r) },
        { QStringLiteral("version"), QStringLiteral("1.%1.%2").arg(r.between(0, 9)).arg(r.between(0, 30)) },
        { QStringLiteral("updated"), dateText(file.modified) }, { QStringLiteral("items"), items } };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace

namespace DocumentContent {

QByteArray make(const PlannedFile &file)
{
    SeededRandom r(file.seed);
    switch (file.content) {
    case Content::plainText: {
        const QString title = file.title.isEmpty() ? Prose::title(r) : file.title;
        QString text = title + u"\n\n";
        const int paragraphs = r.between(1, 6);
        for (int i = 0; i < paragraphs; ++i)
            text += Prose::paragraph(r, r.between(2, 7)) + u"\n\n";
        return text.toUtf8();
    }
    case Content::markdown:
        return markdown(file, r);
    case Content::csv:
        return csv(r, file.modified);
    case Content::json:
        return json(file, r);
    case Content::textPdf:
        return pdf(file, false);
    case Content::scannedPdf:
        return pdf(file, true);
    default:
        throw std::logic_error("not a document");
    }
}

QString plainText(quint64 seed, int paragraphs)
{
    SeededRandom r(seed);
    QStringList parts;
    for (int i = 0; i < paragraphs; ++i)
        parts.append(Prose::paragraph(r, r.between(2, 6)));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace DocumentContent
