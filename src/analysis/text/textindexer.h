#pragma once

#include "analysis/text/textentry.h"
#include "library/filerecord.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <stop_token>

// Builds the text index of a library: has the images and documents read by the reader helpers
// (ContentReaders) and reuses the entry of every file whose path, modification date and size are
// unchanged.
//
// Stateless. `run` is synchronous and meant for a worker thread; it reads independent files on
// up to `workers` helpers at once and returns exactly what a sequential run would. `progress` is called on the calling thread, in order, after the 1st, 11th, 21st ...
// and the last candidate. When `stop` is requested the run stops before the next file (and
// between PDF pages), returns what it has and does not write the file.
class TextIndexer
{
public:
    using Progress = std::function<void(int done, int total)>;

    struct Options
    {
        // Write the new index to `file` when the run was not cancelled.
        bool save = true;
        // Where to write; empty: the user's index file (cacheURL).
        QString file;
        int workers = 2;
    };

    // ~/.local/share/Quillon/text-index.json (under $XDG_DATA_HOME when set).
    static QUrl cacheURL();

    // The user's index file, or an empty index when it is missing or does not decode.
    static TextIndex load();
    static TextIndex load(const QString &file);

    static TextIndexResult run(const QList<FileRecord> &files, const TextIndex &existing, const Options &options,
        const Progress &progress = {}, std::stop_token stop = {});

    // Files the index considers: not cloud-only, not packages, images or documents.
    static bool isCandidate(const FileRecord &record);
    // An existing entry stands for the file when its date and size equal the record's exactly.
    static bool isReusable(const TextEntry &entry, const FileRecord &record);
};
