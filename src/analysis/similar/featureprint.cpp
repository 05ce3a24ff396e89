#include "analysis/similar/featureprint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int N = FeaturePrint::kSide;
constexpr int B = FeaturePrint::kBand;

// Below this standard deviation of luminance (on a 0..1 scale) a picture counts as flat.
constexpr float kFlatDeviation = 0.012f;
// Coefficient (u, v) is weighted by its radial frequency to this power. Photographs have most
// energy in the lowest frequencies, where different pictures of similar scenes (sky above,
// ground below) correlate; flattening the spectrum lets the finer layout decide.
constexpr double kWhitening = 1.0;
// Colour layout: luminance counts half as much as chroma; values are divided by the mean
// luminance plus this offset (so black does not divide by zero); the mean luminance itself
// adds this weight times its difference.
constexpr float kLuminanceWeight = 0.5f;
constexpr double kDarkOffset = 0.1;
constexpr float kBrightnessWeight = 0.3f;
// Shape plus colour distance of 0.18 maps to 0.35. Measured on 28 photographs with eight
// variants each: variants reach 0.134, different photographs start at 0.59 and the two halves
// of one photograph at 0.246; 0.18 lies near the geometric middle of the gap.
constexpr float kCalibration = 0.35f / 0.18f;

struct CosineTable
{
    std::array<std::array<float, N>, B> c{};
    CosineTable()
    {
        for (int u = 0; u < B; ++u) {
            for (int x = 0; x < N; ++x)
                c[u][x] = float(std::cos(std::numbers::pi * (2 * x + 1) * u / (2.0 * N)));
        }
    }
};

const CosineTable &cosines()
{
    static const CosineTable table;
    return table;
}

} // namespace

std::optional<FeaturePrint> FeaturePrint::make(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    // Smooth down-scaling averages areas, so the raster is free of aliasing whatever the source
    // size; the aspect ratio is dropped on purpose, a small crop then changes it only slightly.
    const QImage small = image.scaled(N, N, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (small.isNull() || small.width() != N || small.height() != N)
        return std::nullopt;

    std::array<std::array<float, N>, N> luma{};
    std::array<std::array<float, 3>, kGrid * kGrid> cells{};
    constexpr int cellSide = N / kGrid;
    double sum = 0;
    double sumSquares = 0;
    for (int y = 0; y < N; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(small.constScanLine(y));
        for (int x = 0; x < N; ++x) {
            const QRgb pixel = line[x];
            const int white = 255 - qAlpha(pixel);
            const float r = float(qRed(pixel) + white) / 255.0f;
            const float g = float(qGreen(pixel) + white) / 255.0f;
            const float b = float(qBlue(pixel) + white) / 255.0f;
            const float l = 0.299f * r + 0.587f * g + 0.114f * b;
            luma[y][x] = l;
            sum += l;
            sumSquares += double(l) * l;
            auto &cell = cells[(y / cellSide) * kGrid + x / cellSide];
            cell[0] += l;
            cell[1] += b - l;
            cell[2] += r - l;
        }
    }

    FeaturePrint print;
    const double mean = sum / (N * N);
    print.m_brightness = float(mean);
    // Relative to the mean luminance, the layout does not move when the exposure changes.
    const float relative = float(1.0 / (mean + kDarkOffset)) / float(cellSide * cellSide);
    for (int i = 0; i < kGrid * kGrid; ++i) {
        print.m_colour[i * 3] = cells[i][0] * relative;
        print.m_colour[i * 3 + 1] = cells[i][1] * relative;
        print.m_colour[i * 3 + 2] = cells[i][2] * relative;
    }

    const double deviation = std::sqrt(std::max(0.0, sumSquares / (N * N) - mean * mean));
    if (deviation < kFlatDeviation)
        return print;

    // Separable transform, computing only the kept low-frequency band.
    const auto &c = cosines().c;
    std::array<std::array<float, N>, B> rows{};
    for (int v = 0; v < B; ++v) {
        for (int y = 0; y < N; ++y) {
            const float weight = c[v][y];
            for (int x = 0; x < N; ++x)
                rows[v][x] += weight * luma[y][x];
        }
    }
    double norm = 0;
    int k = 0;
    for (int v = 0; v < B; ++v) {
        for (int u = 0; u < B; ++u) {
            if (u == 0 && v == 0)
                continue;
            float coefficient = 0;
            for (int x = 0; x < N; ++x)
                coefficient += c[u][x] * rows[v][x];
            coefficient *= float(std::pow(u * u + v * v, kWhitening / 2));
            print.m_shape[k++] = coefficient;
            norm += double(coefficient) * coefficient;
        }
    }
    norm = std::sqrt(norm);
    if (norm <= 0)
        return print;
    for (float &value : print.m_shape)
        value = float(value / norm);
    print.m_flat = false;
    return print;
}

float FeaturePrint::shapeDistance(const FeaturePrint &a, const FeaturePrint &b)
{
    if (a.m_flat || b.m_flat)
        return a.m_flat == b.m_flat ? 0.0f : 1.0f;
    double dot = 0;
    for (int i = 0; i < kShapeSize; ++i)
        dot += double(a.m_shape[i]) * b.m_shape[i];
    return std::clamp(float((1.0 - dot) / 2.0), 0.0f, 1.0f);
}

float FeaturePrint::colourDistance(const FeaturePrint &a, const FeaturePrint &b)
{
    double total = 0;
    for (int i = 0; i < kColourSize; i += 3) {
        const double dl = kLuminanceWeight * (a.m_colour[i] - b.m_colour[i]);
        const double db = a.m_colour[i + 1] - b.m_colour[i + 1];
        const double dr = a.m_colour[i + 2] - b.m_colour[i + 2];
        total += dl * dl + db * db + dr * dr;
    }
    const double layout = std::sqrt(total / (kGrid * kGrid));
    return std::clamp(float(layout + kBrightnessWeight * std::abs(a.m_brightness - b.m_brightness)), 0.0f, 1.0f);
}

float FeaturePrint::distance(const FeaturePrint &a, const FeaturePrint &b)
{
    return std::clamp(kCalibration * (shapeDistance(a, b) + colourDistance(a, b)), 0.0f, 1.0f);
}
