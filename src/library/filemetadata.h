#pragma once

#include "library/media/mediafacts.h"
#include "platform/timestamp.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What can be known about one file beyond its status: the host it was downloaded from, when it
// was last used, the camera that made it, its pixel size, its playing time and its text.
struct FileMetadata
{
    std::optional<QString> source;
    std::optional<Timestamp> lastUsed;
    std::optional<QString> camera;
    std::optional<QString> dimensions;
    std::optional<double> duration;
    // Always empty here: no indexer holds file text at scan time; the text index fills it later.
    QString text;

    // Never fails: anything missing stays empty. Loads the recently-used list for this one file;
    // a scan reads many files through one MetadataReader instead. Camera, pixel size and
    // duration come from `readContents` when one is given.
    static FileMetadata read(const QByteArray &path, const MediaContentsReader &readContents = {});

    bool operator==(const FileMetadata &) const = default;
};
