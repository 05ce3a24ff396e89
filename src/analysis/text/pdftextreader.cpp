#include "analysis/text/pdftextreader.h"

#include "analysis/text/exactfile.h"
#include "analysis/text/graphemes.h"
#include "analysis/text/textrecognizer.h"

#include <QCoreApplication>
#include <QFile>

#include <mutex>
#include <poppler-qt6.h>

namespace {

void ignorePopplerMessage(const QString &, const QVariant &) { }

QString lockedMessage()
{
    return QCoreApplication::translate("ContentReader", "PDF is locked or unreadable");
}

} // namespace

TextExtraction PdfTextReader::read(const QByteArray &path, std::stop_token stop)
{
    // Poppler reports every syntax problem of a damaged file on standard error; the outcome is
    // what matters here.
    static std::once_flag quiet;
    std::call_once(quiet, [] { Poppler::setDebugErrorFunction(&ignorePopplerMessage, QVariant()); });

    QFile file;
    QString openError;
    if (!ExactFile::open(file, path, &openError))
        return TextExtraction::failure(lockedMessage());
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(&file);
    if (!document || document->isLocked())
        return TextExtraction::failure(lockedMessage());

    const int pageCount = document->numPages();
    TextExtraction result;
    result.partial = pageCount > kPageLimit;
    for (int index = 0; index < std::min(pageCount, kPageLimit); ++index) {
        if (stop.stop_requested())
            return TextExtraction::failure(QCoreApplication::translate("ContentReader", "Cancelled"));
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        if (!page)
            continue;
        QString text = page->text(QRectF());
        if (text.trimmed().isEmpty()) {
            const QSizeF size = page->pageSizeF();
            if (size.width() > 0 && size.height() > 0) {
                const QImage image = page->renderToImage(kRenderWidth * 72.0 / size.width(),
                    kRenderHeight * 72.0 / size.height(), 0, 0, kRenderWidth, kRenderHeight);
                if (!image.isNull()) {
                    TextExtraction recognized = TextRecognizer::forThisThread().recognize(image, stop);
                    if (recognized.error)
                        return TextExtraction::failure(*recognized.error);
                    text = recognized.text;
                }
            }
        }
        result.text += text;
        result.text += QLatin1Char('\n');
        if (result.text.size() > Graphemes::kTextLimit && Graphemes::count(result.text) > Graphemes::kTextLimit) {
            result.partial = true;
            break;
        }
    }
    return result;
}
