#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// One file's text as the index keeps it. A plain value.
struct TextEntry
{
    // The file's modification date when the text was read, as seconds since
    // 2001-01-01T00:00:00Z: the exact double the index file holds, so that reuse can compare it
    // with a record's date without a lossy round trip through another representation.
    double modified = 0;
    qint64 size = 0;
    QString text;
    bool partial = false;

    bool operator==(const TextEntry &) const = default;
};

// The index: entries keyed by the file's path (its exact bytes).
using TextIndex = QHash<QByteArray, TextEntry>;

// What one indexing run returns.
struct TextIndexResult
{
    TextIndex entries; // the complete new index
    int failures = 0; // files whose extraction reported an error in this run
    int partial = 0; // entries of `entries` marked partial, reused ones included
    bool saved = false; // the index file was written
};
