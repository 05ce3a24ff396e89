#pragma once

#include "library/textextraction.h"
#include "library/filerecord.h"

#include <QByteArray>
#include <QImage>
#include <QStringList>

#include <optional>
#include <stop_token>

// Turns one file into plain text: recognition for images, the text layer (or recognition of
// rendered pages) for PDFs, a direct read of twelve plain-text formats, the office formats read
// from their containers, and the record's captured text for anything else. The result holds at
// most 250,000 user-perceived characters.
//
// Stateless: every operation is synchronous and may run on any thread; each thread recognises
// with its own engine. `stop` is observed before each PDF page and during recognition.
class ContentReader
{
public:
    static constexpr qint64 kPlainTextByteLimit = 1'000'000;
    static constexpr int kImageSideLimit = 2400;
    // Decoding an image may allocate no more than this (a 30,000 x 30,000 picture is refused
    // rather than decoded when its format cannot be scaled down while decoding).
    static constexpr int kImageAllocationLimitMB = 256;

    static const QStringList &plainTextExtensions();

    static TextExtraction extract(const FileRecord &record, std::stop_token stop = {});

    // The image at `path` with its orientation applied, its longest side at most 2400 pixels;
    // absent when it cannot be read or decoded.
    static std::optional<QImage> image(const QByteArray &path);

    // The recognised lines, in reading order, joined by line feeds.
    static TextExtraction recognize(const QImage &image, std::stop_token stop = {});

    // Decodes the first bytes of a plain-text file: UTF-8 (an incomplete sequence at the end of a
    // cut read is dropped), else UTF-16 (a byte-order mark or the pattern of zero bytes decides the
    // byte order), else empty text for data that is not text.
    static QString decodePlainText(QByteArray bytes, bool cut);
};
