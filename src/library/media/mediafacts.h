#pragma once

#include "library/filekind.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <stop_token>
#include <utility>

// What a file's own metadata says about the device that made it, its pixel size and its
// playing time. Empty when unknown.
struct MediaFacts
{
    std::optional<QString> camera;
    std::optional<QString> dimensions; // "4032 × 3024": width, " × " (U+00D7), height
    std::optional<double> duration;    // seconds

    static QString formatDimensions(qint64 width, qint64 height);
};

// Reads the facts of many files at once, in the order given; empty facts for a file that could
// not be read. The library opens no file contents itself: whoever scans supplies the reader.
using MediaContentsReader
    = std::function<QList<MediaFacts>(const QList<std::pair<QByteArray, FileKind>> &files, std::stop_token stop)>;
