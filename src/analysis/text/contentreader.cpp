#include "analysis/text/contentreader.h"

#include "analysis/text/exactfile.h"
#include "analysis/text/graphemes.h"
#include "analysis/text/officetextreader.h"
#include "analysis/text/pdftextreader.h"
#include "analysis/text/rtftextreader.h"
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

// The length of `bytes` without an incomplete UTF-8 sequence at its end.
qsizetype withoutTrailingFragment(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    // A sequence is at most four bytes: look back over up to three continuation bytes.
    for (qsizetype back = 1; back <= std::min<qsizetype>(4, size); ++back) {
        const auto c = static_cast<unsigned char>(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

bool looksLikeText(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

std::optional<QString> decodeStrict(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
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
    static const QStringList extensions {
        QStringLiteral("txt"),
        QStringLiteral("md"),
        QStringLiteral("csv"),
        QStringLiteral("json"),
        QStringLiteral("html"),
        QStringLiteral("xml"),
        QStringLiteral("log"),
        QStringLiteral("swift"),
        QStringLiteral("js"),
        QStringLiteral("ts"),
        QStringLiteral("py"),
        QStringLiteral("css"),
    };
    return extensions;
}

QString ContentReader::decodePlainText(QByteArray bytes, bool cut)
{
    const bool utf16Bom = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (!utf16Bom) {
        const QByteArrayView whole(bytes.constData(), cut ? withoutTrailingFragment(bytes) : bytes.size());
        if (!whole.contains('\0')) {
            if (auto text = decodeStrict(QStringConverter::Utf8, whole))
                return *text;
        }
    }
    // UTF-16 without a byte-order mark: ASCII-range text has its zero bytes on one side.
    QStringConverter::Encoding order = QStringConverter::Utf16LE;
    if (utf16Bom) {
        order = bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        bytes.remove(0, 2);
    } else {
        qsizetype zeroEven = 0, zeroOdd = 0;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            zeroEven += bytes[i] == '\0';
            zeroOdd += bytes[i + 1] == '\0';
        }
        order = zeroEven > zeroOdd ? QStringConverter::Utf16BE : QStringConverter::Utf16LE;
        // Without a byte-order mark, only text with a fair share of Latin characters is taken for
        // UTF-16; anything else that failed as UTF-8 is most likely binary data.
        if (std::max(zeroEven, zeroOdd) * 10 < bytes.size() / 2 || bytes.size() < 2)
            return {};
    }
    if (cut && bytes.size() % 2 != 0)
        bytes.chop(1);
    if (cut && bytes.size() >= 2) {
        // A cut between the two halves of a surrogate pair leaves a lone high surrogate.
        const auto last = order == QStringConverter::Utf16BE ? static_cast<unsigned char>(bytes[bytes.size() - 2])
                                                             : static_cast<unsigned char>(bytes[bytes.size() - 1]);
        if (last >= 0xD8 && last <= 0xDB)
            bytes.chop(2);
    }
    if (auto text = decodeStrict(order, bytes); text && looksLikeText(*text))
        return *text;
    return {};
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
