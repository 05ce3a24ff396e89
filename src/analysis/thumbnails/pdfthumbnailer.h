#pragma once

#include <QByteArray>
#include <QImage>

// Renders the first page of a PDF as a thumbnail through Poppler, on a white background.
// Thread-safe (each call loads its own document).
namespace PdfThumbnailer {

// A null image when the file is not a readable, unlocked PDF with at least one page.
QImage make(const QByteArray &path, int maxEdge);

} // namespace PdfThumbnailer
