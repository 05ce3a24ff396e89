#pragma once

#include "library/filekind.h"
#include "library/filerecord.h"
#include "library/media/mediafacts.h"
#include "library/textextraction.h"
#include "readers/readerrequest.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSizeF>

#include <optional>
#include <stop_token>
#include <utility>

// Every reading of a file's contents, done by the sandboxed reader helpers (ReaderPool): a file
// that crashes or hangs its reader costs that file's result, never the caller. Each call blocks
// its thread until the answer is in; safe on any thread, never on the main thread.
namespace ContentReaders {

// Whether the caller shows the result now or prepares it ahead of need (background priority).
enum class Need { shown, ahead };

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
Thumbnail thumbnail(
    const QByteArray &path, FileKind kind, int edge, std::stop_token stop = {}, Need need = Need::shown);

// A small decode of the picture (Exif orientation applied) for look-alike prints.
std::optional<QImage> printImage(const QByteArray &path, int longestSide, std::stop_token stop = {});

// Camera, pixel size and duration of images, videos and music, in the order asked; empty facts
// for a file that could not be read.
QList<MediaFacts> mediaFacts(const QList<std::pair<QByteArray, FileKind>> &files, std::stop_token stop = {});

// The page sizes of a PDF in points; absent when it is not a readable, unlocked PDF.
std::optional<QList<QSizeF>> pdfPageSizes(const QByteArray &path);
// Page `index` of a PDF rendered `width` pixels wide; null when it cannot be.
QImage pdfPage(const QByteArray &path, int index, int width);
// The preview's picture from frame `first` on, each frame fitting in `edge` x `edge`: one frame
// for a still picture (orientation applied), as many frames of an animation as one answer holds
// (`more` then says whether others follow). Empty frames when unreadable.
struct PreviewFrames
{
    QList<AnimationFrame> frames;
    bool more = false;
};
PreviewFrames previewFrames(const QByteArray &path, int edge, int first = 0, std::stop_token stop = {});

// Whether the player may be given this audio or video file: a helper found a self-contained
// container with a stream it can decode (no playlist or reference to other files).
bool playable(const QByteArray &path, std::stop_token stop = {});

// What confines the helpers, in one line (from a helper itself).
QString protections();

// How file contents are read on this system, in one line for Settings and `tessary --version`:
// the protections the kernel offers the helpers, that Landlock is absent, or why contents are
// not read at all. Starts no helper.
QString confinementSummary();

} // namespace ContentReaders
