#include "readers/helper/pdfpages.h"

#include "platform/regularfile.h"
#include "readers/readercodec.h"
#include "readers/readerreplylimits.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <memory>
#include <poppler-qt6.h>

namespace PdfPages {
namespace {

// Calls `use` with the open document; false when the file is not a readable, unlocked PDF.
template<typename Use>
bool withDocument(const QByteArray &path, Use use)
{
    const RegularFile file(path);
    if (!file.isOpen())
        return false;
    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(&device);
    if (!document || document->isLocked())
        return false;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    use(*document);
    return true;
}

} // namespace

std::optional<QList<QSizeF>> sizes(const QByteArray &path)
{
    QList<QSizeF> sizes;
    const bool read = withDocument(path, [&](Poppler::Document &document) {
        const int pages = std::min(document.numPages(), ReaderReplyLimits::kPdfPages);
        for (int index = 0; index < pages; ++index) {
            const std::unique_ptr<Poppler::Page> page = document.page(index);
            const QSizeF size = page ? page->pageSizeF() : QSizeF();
            const bool usable = std::isfinite(size.width()) && std::isfinite(size.height()) && size.width() >= 1
                && size.height() >= 1 && size.width() <= ReaderReplyLimits::kPageSide
                && size.height() <= ReaderReplyLimits::kPageSide;
            sizes.append(usable ? size : QSizeF(612, 792));
        }
    });
    if (!read)
        return std::nullopt;
    return sizes;
}

QImage render(const QByteArray &path, int index, int width)
{
    QImage image;
    withDocument(path, [&](Poppler::Document &document) {
        const std::unique_ptr<Poppler::Page> page = document.page(index);
        if (!page)
            return;
        const QSizeF points = page->pageSizeF();
        if (!std::isfinite(points.width()) || !std::isfinite(points.height()) || points.width() < 1
            || points.height() < 1)
            return;
        const double longest = std::max(1.0, std::max(points.width(), points.height()) / points.width());
        const int capped = std::clamp(width, 1, std::max(1, int(ReaderCodec::kMaxImageSide / longest)));
        const double dpi = capped * 72.0 / points.width();
        image = page->renderToImage(dpi, dpi);
        // Rounding may add a pixel; the answer keeps to the width asked for.
        if (image.width() > capped || image.height() > ReaderCodec::kMaxImageSide)
            image = image.scaled(capped, ReaderCodec::kMaxImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    });
    return image;
}

} // namespace PdfPages
