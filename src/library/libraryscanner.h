#pragma once

#include "library/media/mediafacts.h"
#include "library/scanresult.h"

#include <QByteArrayList>
#include <QList>

#include <stop_token>

// Turns the chosen folders into one flat list of records.
//
// A stateless worker: `scan` is synchronous, safe on any thread, reads only, and returns early
// with the result as it stands once `stop` is requested (the caller discards such results).
struct ScanOptions
{
    static constexpr int kDefaultLimit = 50'000;

    int limit = kDefaultLimit;
    // Records of an earlier scan. A file whose path, identity, size, modification and creation
    // dates are unchanged keeps their camera, dimensions and duration instead of opening the
    // file again.
    QList<FileRecord> previous;
    // Whether to open images, videos and music for their camera, dimensions and duration.
    // Callers that only need names, sizes and dates (duplicate and look-alike searches) skip it.
    bool readContentMetadata = true;
    // What opens them; without one no file's contents are read.
    MediaContentsReader readContents;
};

class LibraryScanner
{
public:
    using Options = ScanOptions;
    static constexpr int kDefaultLimit = ScanOptions::kDefaultLimit;

    // Walks each root in order, depth first in the file system's order. Hidden names (a leading
    // dot, or listed in the folder's ".hidden" file) are neither listed nor entered; symbolic
    // links are counted in `skipped` and never followed; a directory with the extension "app" is
    // one record; sockets, FIFOs and devices are ignored; every unreadable root, folder or item
    // adds one to `errors`. A path met again through overlapping roots is ignored. The scan
    // stops with `truncated` set when `limit` records have been made.
    static ScanResult scan(const QByteArrayList &roots, const Options &options = {}, std::stop_token stop = {});

    // Reads the given paths again with the rules of `scan`, for changes noticed below `roots`
    // (each path may name a file, a folder or something no longer there). A path that names a
    // folder is walked whole; a path inside a package stands for the package; a path that is
    // hidden, reached through a link or outside every root ends up with no records. A path
    // inside another given path adds nothing. `options.limit` bounds the records found.
    static RescanResult rescan(const QByteArrayList &roots, const QByteArrayList &paths, const Options &options = {},
        std::stop_token stop = {});

    // Sum of the sizes of the regular files inside a package, nested folders included, hidden
    // files and symbolic links left out. 0 when the package cannot be read.
    static qint64 packageSize(const QByteArray &path, std::stop_token stop = {});

    // The absolute form of `path` with "." and ".." components and repeated slashes removed
    // (symbolic links are not resolved). An empty path stays empty.
    static QByteArray standardizedPath(const QByteArray &path);
    // Whether `path` lies strictly below `folder`, both standardized. A folder that already ends
    // in "/" (the root folder) is its own prefix.
    static bool isInside(const QByteArray &path, const QByteArray &folder);
    // Byte order with '/' before every other byte: everything inside a folder sorts directly
    // after the folder, before its sibling "folder-2" or "folder.txt".
    static bool treeLess(QByteArrayView a, QByteArrayView b);
};
