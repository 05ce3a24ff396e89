#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSizeF>

#include <optional>

// A PDF's pages for the preview: their sizes, and one page rendered at a given width. Each call
// opens the file anew by its exact path bytes, so nothing is kept between requests.
namespace PdfPages {

// In points, for the first ReaderReplyLimits::kPdfPages pages; a page without a usable size
// counts as US Letter. Absent for a file that is not a readable, unlocked PDF.
std::optional<QList<QSizeF>> sizes(const QByteArray &path);

// Null when the page cannot be rendered. The width is capped so the image crosses the socket.
QImage render(const QByteArray &path, int index, int width);

} // namespace PdfPages
