#include "analysis/thumbnails/pdfthumbnailer.h"

#include "platform/regularfile.h"

#include <QFile>

#include <memory>
#include <mutex>
#include <poppler-qt6.h>

namespace PdfThumbnailer {
namespace {

void ignorePopplerMessage(const QString &, const QVariant &) { }

} // namespace

QImage make(const QByteArray &path, int maxEdge)
{
    // Poppler reports every syntax problem of a damaged file on standard error; a thumbnail
    // either comes out or does not.
    static std::once_flag quiet;
    std::call_once(quiet, [] { Poppler::setDebugErrorFunction(&ignorePopplerMessage, QVariant()); });

    const RegularFile file(path);
    if (!file.isOpen())
        return {};
    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(&device);
    if (!document || document->isLocked() || document->numPages() < 1)
        return {};
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return {};
    // The page size is in points (1/72 inch); the resolution makes its longer side maxEdge.
    const QSizeF points = page->pageSizeF();
    const double longer = std::max(points.width(), points.height());
    if (!(longer > 0))
        return {};
    const double dpi = maxEdge * 72.0 / longer;
    return page->renderToImage(dpi, dpi);
}

} // namespace PdfThumbnailer
