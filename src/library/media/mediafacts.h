#pragma once

#include <QString>

#include <optional>

// What a file's own metadata says about the device that made it, its pixel size and its
// playing time. Empty when unknown.
struct MediaFacts
{
    std::optional<QString> camera;
    std::optional<QString> dimensions; // "4032 × 3024": width, " × " (U+00D7), height
    std::optional<double> duration;    // seconds

    static QString formatDimensions(qint64 width, qint64 height);
};
