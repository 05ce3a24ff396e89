#include "readers/readerreplylimits.h"

#include "readers/readercodec.h"

#include <QTextBoundaryFinder>

#include <cmath>

namespace ReaderReplyLimits {
namespace {

// Status, flags, an error message, media facts: what every answer may carry besides its data.
constexpr quint64 kSmallReply = 64 * 1024;
// Bytes of UTF-8 per character allowed for (a character may combine several code points).
constexpr quint64 kTextBytesPerCharacter = 16;

// The side no picture in the answer may exceed; 0 when the answer has no picture.
int pictureEdge(const ReaderRequest &request)
{
    switch (request.task) {
    case ReaderTask::thumbnail:
    case ReaderTask::print:
    case ReaderTask::image:
    case ReaderTask::testOversized:
        return request.edge > 0 ? std::min(request.edge, ReaderCodec::kMaxImageSide) : ReaderCodec::kMaxImageSide;
    case ReaderTask::pdfPage:
        return ReaderCodec::kMaxImageSide;
    default:
        return 0;
    }
}

bool withinEdge(const QImage &image, const ReaderRequest &request)
{
    if (image.isNull())
        return true;
    const int edge = pictureEdge(request);
    // A page is rendered as wide as asked, and as tall as the page is.
    const int width = request.task == ReaderTask::pdfPage && request.edge > 0 ? std::min(request.edge, edge) : edge;
    return image.width() <= width && image.height() <= edge;
}

bool withinCharacters(const QString &text)
{
    // A character has at least one code unit, so shorter text cannot exceed the limit.
    if (text.size() <= kTextCharacters)
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype characters = 0;
    while (finder.toNextBoundary() >= 0) {
        if (++characters > kTextCharacters)
            return false;
    }
    return true;
}

bool isPageSide(double side)
{
    return std::isfinite(side) && side > 0 && side <= kPageSide;
}

} // namespace

quint32 payloadCap(const ReaderRequest &request)
{
    const quint64 edge = quint64(pictureEdge(request));
    quint64 cap = kSmallReply;
    switch (request.task) {
    case ReaderTask::text:
        cap += kTextCharacters * kTextBytesPerCharacter;
        break;
    case ReaderTask::thumbnail:
    case ReaderTask::print:
    case ReaderTask::testOversized:
        cap += edge * edge * 4;
        break;
    case ReaderTask::pdfPage:
        cap += quint64(request.edge > 0 ? std::min<quint64>(request.edge, edge) : edge) * edge * 4;
        break;
    case ReaderTask::image:
        cap += kAnimationBytes + edge * edge * 4;
        break;
    case ReaderTask::pdfPages:
    case ReaderTask::testPageSizes:
        cap += quint64(kPdfPages) * 16;
        break;
    case ReaderTask::media:
    case ReaderTask::playable:
    case ReaderTask::protections:
    case ReaderTask::cancel:
        break;
    case ReaderTask::testCrash:
    case ReaderTask::testHang:
    case ReaderTask::testProbe:
    case ReaderTask::testForbidden:
        cap = ReaderCodec::kMaxPayload;
        break;
    }
    return quint32(std::min<quint64>(cap, ReaderCodec::kMaxPayload));
}

bool accepts(const ReaderRequest &request, const ReaderResponse &response)
{
    if (!withinEdge(response.image, request) || !withinCharacters(response.text))
        return false;
    if (response.pageSizes.size() > kPdfPages)
        return false;
    for (const QSizeF &size : response.pageSizes) {
        if (!isPageSide(size.width()) || !isPageSide(size.height()))
            return false;
    }
    qint64 frameBytes = 0;
    for (const AnimationFrame &frame : response.frames) {
        if (frame.delayMs < 0 || !withinEdge(frame.image, request) || frameBytes > kAnimationBytes)
            return false;
        frameBytes += frame.image.sizeInBytes();
    }
    return true;
}

} // namespace ReaderReplyLimits
