#include "analysis/text/contentreader.h"

#include "analysis/text/exactfile.h"
#include "analysis/text/graphemes.h"
#include "analysis/text/officetextreader.h"
#include "analysis/text/pdftextreader.h"
#include "analysis/text/rtftextreader.h"
#include "analysis/text/textformats.h"
#include "analysis/text/textrecognizer.h"
#include "library/localfileaccess.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QStringDecoder>

#include <mutex>

namespace {

QString extensionOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    if (dot <= slash + 1)
        return {};
    return QString::fromUtf8(path.mid(dot + 1)).toLower();
}

TextExtraction readPlainText(const FileRecord &record)
{
    QFile file;
    QString error;
    if (!ExactFile::open(file, record.path, &error))
        return TextExtraction::failure(error);
    QByteArray bytes = file.read(ContentReader::kPlainTextByteLimit);
    if (file.error() != QFileDevice::NoError)
        return TextExtraction::failure(file.errorString());
    const bool cut = bytes.size() == ContentReader::kPlainTextByteLimit && !file.atEnd();
    TextExtraction result;
    result.text = ContentReader::decodePlainText(std::move(bytes), cut);
    result.partial = record.size > ContentReader::kPlainTextByteLimit;
    return result;
}

} // namespace

const QStringList &ContentReader::plainTextExtensions()
{
    return TextFormats::plainTextExtensions();
}

QString ContentReader::decodePlainText(QByteArray bytes, bool cut)
{
    return TextFormats::decodePlainText(std::move(bytes), cut);
}

std::optional<QImage> ContentReader::image(const QByteArray &path)
{
    if (!LocalFileAccess::canReadContents(path))
        return std::nullopt;
    QFile file;
    QString error;
    if (!ExactFile::open(file, path, &error))
        return std::nullopt;
    static std::once_flag limitSet;
    std::call_once(limitSet, [] { QImageReader::setAllocationLimit(kImageAllocationLimitMB); });
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > kImageSideLimit) {
        // Formats that can (JPEG) decode straight to the smaller size; the rest decode within the
        // allocation limit and are scaled afterwards.
        reader.setScaledSize(size.scaled(kImageSideLimit, kImageSideLimit, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (std::max(image.width(), image.height()) > kImageSideLimit)
        image = image.scaled(kImageSideLimit, kImageSideLimit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

TextExtraction ContentReader::recognize(const QImage &image, std::stop_token stop)
{
    return TextRecognizer::forThisThread().recognize(image, stop);
}

TextExtraction ContentReader::extract(const FileRecord &record, std::stop_token stop)
{
    if (record.isCloudOnly || record.isPackage || !LocalFileAccess::canReadContents(record.path))
        return TextExtraction::failure(QCoreApplication::translate("ContentReader", "Not available locally"));

    TextExtraction result;
    if (record.kind == FileKind::images) {
        const std::optional<QImage> decoded = image(record.path);
        if (!decoded)
            return TextExtraction::failure(QCoreApplication::translate("ContentReader", "Unsupported image"));
        result = recognize(*decoded, stop);
        if (result.error)
            return result;
    } else {
        const QString extension = extensionOf(record.path);
        if (extension == QLatin1String("pdf"))
            result = PdfTextReader::read(record.path, stop);
        else if (plainTextExtensions().contains(extension))
            result = readPlainText(record);
        else if (OfficeTextReader::handles(extension))
            result = OfficeTextReader::read(record.path, extension);
        else if (extension == QLatin1String("rtf"))
            result = RtfTextReader::read(record.path);
        else
            result.text = record.spotlightText;
        if (result.error)
            return result;
    }
    if (Graphemes::truncate(result.text))
        result.partial = true;
    return result;
}
