#pragma once

#include "library/filekind.h"
#include "library/filerecord.h"
#include "library/media/mediafacts.h"
#include "library/textextraction.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSizeF>

#include <optional>
#include <stop_token>
#include <utility>

// Every reading of a file's contents, done by the sandboxed reader helpers of the shared pool:
// a file that crashes or hangs its reader costs that file's result, never the caller. Each
// call blocks its thread until the answer is in; safe on any thread.
namespace ContentReaders {

// Lets the helpers read below these folders (the library's roots, a command's arguments).
void allow(const QByteArrayList &folders);

// The file's plain text: recognition for images, the text layer (or recognised pages) of a
// PDF, plain-text and office formats; at most 250,000 user-perceived characters. For a file
// someone waits on: it does not queue behind the background batches of `extractTexts`.
TextExtraction extractText(const FileRecord &record, std::stop_token stop = {});
// Several files in one batch, answered in order: the helper reads one while the next waits in
// line. Absent for a file whose reading was cancelled.
QList<std::optional<TextExtraction>> extractTexts(const QList<FileRecord> &records, std::stop_token stop = {});

struct Thumbnail
{
    enum class Outcome { made, failed, unsupported, cancelled };
    Outcome outcome = Outcome::unsupported;
    QImage image;
};
// An image, a PDF's first page or a video frame fitting in `edge` x `edge` pixels.
Thumbnail thumbnail(const QByteArray &path, FileKind kind, int edge, std::stop_token stop = {});

// A small decode of the picture (Exif orientation applied) for look-alike prints.
std::optional<QImage> printImage(const QByteArray &path, int longestSide, std::stop_token stop = {});

// Camera, pixel size and duration of images, videos and music, in the order asked; empty facts
// for a file that could not be read.
QList<MediaFacts> mediaFacts(const QList<std::pair<QByteArray, FileKind>> &files, std::stop_token stop = {});

// The page sizes of a PDF in points; absent when it is not a readable, unlocked PDF.
std::optional<QList<QSizeF>> pdfPageSizes(const QByteArray &path);
// Page `index` of a PDF rendered `width` pixels wide; null when it cannot be.
QImage pdfPage(const QByteArray &path, int index, int width);
// A still picture whose longest side is at most `edge`, orientation applied; null when unreadable.
QImage previewImage(const QByteArray &path, int edge);

// What confines the helpers, in one line (from a helper itself).
QString protections();

} // namespace ContentReaders
