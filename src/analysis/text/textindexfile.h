#pragma once

#include "analysis/text/textentry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The text index on disk: one JSON object whose members are file paths, each an object with
// "modified" (seconds since 2001-01-01 UTC, the shortest decimal that reads back to the same
// double), "size" (integer), "text" (string) and "partial" (boolean). No indentation.
//
// Paths are bytes: a path that is not valid UTF-8 is written with each stray byte as the lone
// surrogate escape "\udcXX" (XX = the byte), which `decode` turns back into that byte, so every
// path survives the round trip exactly.
//
// Stateless and thread-safe.
class TextIndexFile
{
public:
    static QByteArray encode(const TextIndex &index);
    // Absent when the text is not such an object or any member does not decode.
    static std::optional<TextIndex> decode(QByteArrayView json);

    // The whole file decoded, or an empty index when it cannot be read or decoded.
    static TextIndex load(const QString &path);

    // Writes atomically with mode 0600: to a temporary file beside `path` that then replaces it,
    // so a failed write (a full disk) leaves the previous file intact. Creates missing folders,
    // the last one with mode 0700. Returns false on failure.
    static bool save(const TextIndex &index, const QString &path);
};
