#pragma once

#include "generator/plannedfile.h"

#include <QByteArray>
#include <QString>

// Text documents and PDFs with real sentences: notes, READMEs, CSV ledgers, JSON data, PDFs
// with a text layer and PDFs that hold only scanned pictures of text. The same file seed gives
// the same bytes. Usable from any thread of a QGuiApplication.
namespace DocumentContent {

// For plainText, markdown, csv, json, textPdf and scannedPdf. Throws std::runtime_error when a
// PDF cannot be written.
QByteArray make(const PlannedFile &file);

// Paragraphs of prose, for files inside archives and office documents.
QString plainText(quint64 seed, int paragraphs);

} // namespace DocumentContent
