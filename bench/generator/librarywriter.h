#pragma once

#include "generator/libraryplan.h"

#include <QByteArray>
#include <QString>

// Writes a planned library into a folder: every file with its contents, extended attributes
// and times, the symbolic links, and deterministic folder times, so that the same plan always
// gives the same tree.
class LibraryWriter
{
public:
    struct Options
    {
        int jobs = 1; // worker threads
        QString ffmpeg = QStringLiteral("ffmpeg"); // the command that records media
    };

    struct Summary
    {
        int listed = 0; // files a scan lists (a bundle counts once)
        int unlisted = 0; // hidden files and the files inside bundles
        int links = 0;
        qint64 bytes = 0;
        bool attributesRefused = false; // the file system takes no user extended attributes
    };

    // `root` must not exist or be an empty folder (its missing parents are made); nothing is
    // written outside it. Blocks until done, drawing on `jobs` worker threads and running
    // ffmpeg for the recordings. Throws std::runtime_error naming the first file that could
    // not be made; what was written so far stays.
    static Summary write(const LibraryPlan &plan, const QByteArray &root, const Options &options);
};
