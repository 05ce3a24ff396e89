#pragma once

#include "readers/readerrequest.h"

#include <QtGlobal>

// What an answer to each request may hold, so that a helper that misbehaves (a parser it runs
// was taken over, say) cannot make the application take in more than the question allows: a
// reply beyond these bounds is refused and counts against the file it was about.
namespace ReaderReplyLimits {

// User-perceived characters of a file's text.
inline constexpr qsizetype kTextCharacters = 250'000;
// Pages of a PDF listed for the preview.
inline constexpr int kPdfPages = 10'000;
// The longest side of a page in points (the format's own ceiling is 14,400 units, which a
// user unit may enlarge).
inline constexpr double kPageSide = 200'000;
// Pixel bytes of animation frames in one answer (one frame more may pass, so that a large
// frame still arrives on its own).
inline constexpr qint64 kAnimationBytes = 32 * 1024 * 1024;

// The largest payload an answer to `request` may have; announced lengths beyond it are refused
// before anything is read.
quint32 payloadCap(const ReaderRequest &request);

// Whether the decoded `response` keeps within what `request` allows: pictures within the
// requested edge, text within its characters, page sizes finite and positive and no more pages
// than listed, frames within their budget.
bool accepts(const ReaderRequest &request, const ReaderResponse &response);

} // namespace ReaderReplyLimits
