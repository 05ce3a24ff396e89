#pragma once

#include "library/textextraction.h"

#include <QByteArray>
#include <QByteArrayView>

// The text of a Rich Text Format document: paragraphs, tabs, "\uN" Unicode characters and
// "\'hh" bytes of the Windows-1252 code page, without font tables, style sheets, pictures and
// other destinations. Reads at most the first 16 MB. Thread-safe.
class RtfTextReader
{
public:
    static TextExtraction read(const QByteArray &path);
    static TextExtraction readData(QByteArrayView data);
};
