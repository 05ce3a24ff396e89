#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// Decodes the first image of a file as a small thumbnail, with its Exif orientation applied.
//
// Thread-safe and stateless. The file is opened by its exact path bytes (never following a
// symbolic link) and its format is decided from its contents, so a wrong extension does not
// matter. JPEG files are decoded at a reduced scale by the decoder itself, so a 12-megapixel
// photograph costs a fraction of a full decode; SVG is rendered at the thumbnail size; animated
// formats give their first frame. Allocations of the decoder are capped, so an image whose
// header claims enormous dimensions is refused instead of exhausting memory.
class ThumbnailLoader
{
public:
    // The thumbnail fits in `longestSide` x `longestSide`, keeping the aspect ratio; smaller
    // images keep their size. Absent when the file cannot be opened or decoded.
    static std::optional<QImage> load(const QByteArray &path, int longestSide);

    // Like `load`, for a caller that needs only `detailSide` pixels on the shorter side: a JPEG
    // is decoded at the smallest of the decoder's reductions (1/8, 1/4, 1/2, taken in the
    // transform domain, with its fast transform and plain chroma upsampling) that keeps that
    // many; a PNG is decoded whole, other formats as by `load`. What was decoded is then halved,
    // averaging 2 x 2 blocks, while its shorter side keeps that many, and fitted into
    // `longestSide` only when still larger, so the result may be smaller than `longestSide`.
    static std::optional<QImage> loadReduced(const QByteArray &path, int longestSide, int detailSide);

    // Largest decoder allocation, in megabytes.
    static constexpr int kAllocationLimitMegabytes = 256;
    // Images claiming more pixels than this are refused before decoding.
    static constexpr qint64 kMaximumPixels = 400'000'000;
};
