#pragma once

#include "library/textextraction.h"

#include <QByteArray>
#include <QString>

// The text of office documents read directly from their zip containers: Word, Excel and
// PowerPoint files (docx, xlsx, pptx), OpenDocument text, spreadsheets and presentations (odt,
// ods, odp) and EPUB books. Inflation is capped per member and per file, so a zip bomb is
// refused rather than expanded. Thread-safe: nothing is shared between calls.
class OfficeTextReader
{
public:
    // True for the lower-case extensions `read` understands.
    static bool handles(const QString &extension);

    static TextExtraction read(const QByteArray &path, const QString &extension);
    // The same for a file's bytes already in memory.
    static TextExtraction readData(QByteArrayView data, const QString &extension);
};
