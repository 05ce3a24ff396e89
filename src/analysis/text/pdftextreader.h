#pragma once

#include "library/textextraction.h"

#include <QByteArray>

#include <stop_token>

// The text of a PDF with Poppler: the text layer page by page, and for a page without one the
// page rendered at 1700 x 2200 pixels and recognised. Reads at most the first 200 pages and stops
// early once the text passes 250,000 characters (both set `partial`). Cancellation is checked
// before each page and inside recognition. Thread-safe: nothing is shared between calls.
class PdfTextReader
{
public:
    static constexpr int kPageLimit = 200;
    static constexpr int kRenderWidth = 1700;
    static constexpr int kRenderHeight = 2200;

    static TextExtraction read(const QByteArray &path, std::stop_token stop = {});
};
