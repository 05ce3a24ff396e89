#pragma once

#include <QImage>

#include <array>
#include <optional>

// A perceptual descriptor of an image, compact enough to compare every pair of 2,000 images.
//
// Two parts are kept. The shape of the picture: the low-frequency discrete cosine transform of
// its luminance at 64 x 64 pixels (12 x 12 coefficients without the mean), each coefficient
// weighted by its frequency and the whole compared by correlation, so that resizing,
// re-encoding, a small crop and a change of brightness or contrast move it little while
// different photographs, even of similar scenes, are nearly uncorrelated. The colour layout:
// the mean luminance and chroma of a 4 x 4 grid relative to the picture's mean luminance, plus
// that mean, which tells apart pictures whose luminance shape is alike or absent (a flat red
// and a flat blue image, a black and a white one).
//
// `distance` is 0 for identical prints and grows with visual difference up to 1; it is
// calibrated so that look-alikes (re-encodes, resizes, small crops and edits) lie at or below
// 0.35 and different photographs above it. A plain value; thread-safe.
class FeaturePrint
{
public:
    static constexpr int kSide = 64;          // luminance raster the transform runs on
    static constexpr int kBand = 12;          // coefficients (u, v) with u, v < kBand are kept
    static constexpr int kShapeSize = kBand * kBand - 1;
    static constexpr int kGrid = 4;           // colour layout cells per side
    static constexpr int kColourSize = kGrid * kGrid * 3;
    // An image whose shorter side has this many pixels holds all the detail a print keeps (twice
    // the raster, so the smooth reduction to it still averages areas).
    static constexpr int kSourceSide = 2 * kSide;

    // Absent for a null image. Transparent areas are seen over white.
    static std::optional<FeaturePrint> make(const QImage &image);

    // Symmetric, in [0, 1]; 0 when the prints are equal.
    static float distance(const FeaturePrint &a, const FeaturePrint &b);

    // The parts of `distance`, each in [0, 1], for calibration and tests.
    static float shapeDistance(const FeaturePrint &a, const FeaturePrint &b);
    static float colourDistance(const FeaturePrint &a, const FeaturePrint &b);

    // A picture without luminance structure (one flat colour, or nearly so).
    bool isFlat() const { return m_flat; }

    bool operator==(const FeaturePrint &) const = default;

private:
    std::array<float, kShapeSize> m_shape{}; // unit length unless flat
    std::array<float, kColourSize> m_colour{}; // per cell: luminance, blue and red difference
    float m_brightness = 0; // mean luminance, 0..1
    bool m_flat = true;
};
