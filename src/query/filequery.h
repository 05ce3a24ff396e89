#pragma once

#include "library/filerecord.h"
#include "platform/timestamp.h"
#include "query/calendar.h"
#include "query/kindset.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// One search line understood as a filter: kinds and extensions, size bounds, a modification-date
// window, a screenshot flag, a camera and a download source, and the free words left over.
//
// A plain value, copied freely between threads. `chips` holds the label of each recognised
// phrase and free word in the order produced, and `tokens` the lower-case text each came from,
// index for index: the two lists always have the same length.
struct FileQuery
{
    KindSet kinds;
    QStringList extensions; // lower case, without a dot, no repeats
    std::optional<qint64> minSize; // sizes must be strictly larger
    std::optional<qint64> maxSize; // sizes must be strictly smaller
    std::optional<Timestamp> after; // modified at or after
    std::optional<Timestamp> before; // modified strictly before
    bool screenshots = false;
    std::optional<QString> source; // as typed, lower case
    std::optional<QString> camera; // as typed, lower case
    QStringList words;
    QStringList chips;
    QStringList tokens;

    // The empty query, which matches every record.
    FileQuery() = default;
    // Parses a search line. Never fails: text that is not understood becomes free words.
    // Relative dates are measured from `now` in `calendar`. Pure and thread-safe.
    explicit FileQuery(
        QStringView text, const Timestamp &now = Timestamp::now(), const Calendar &calendar = Calendar::current());

    // Whether a record passes every criterion; `content` is the indexed text of the record's
    // file (empty when there is none). Folds the record's text on every call: to match many
    // records repeatedly, keep a SearchText per record and use QueryMatcher.
    bool matches(const FileRecord &record, QStringView content) const;

    // `text` (the line this query was parsed from) without the phrase behind chip `index`,
    // with blanks and tabs collapsed to single blanks. `text` unchanged for an index out of
    // range or a phrase that cannot be found.
    QString removingChip(qsizetype index, QStringView text) const;

    bool operator==(const FileQuery &) const = default;
};
