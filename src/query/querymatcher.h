#pragma once

#include "library/filerecord.h"
#include "query/filequery.h"
#include "query/searchtext.h"
#include "query/searchword.h"

#include <QByteArrayList>
#include <QList>
#include <QLocale>

// A FileQuery made ready for matching many records: its words, camera and source folded once.
//
// The tests run cheapest first (kind and extension, screenshot flag, sizes, dates) and the text
// of a record is looked at only when they all pass. A plain value; `matches` is pure and
// thread-safe. Fold the records' text under the same locale as the matcher.
class QueryMatcher
{
public:
    explicit QueryMatcher(const FileQuery &query, const QLocale &locale = QLocale());

    // `text` must have been made from `record` (and its indexed content).
    bool matches(const FileRecord &record, const SearchText &text) const;
    // Folds the record's text only when the cheap tests pass.
    bool matches(const FileRecord &record, QStringView content) const;
    // The indexes of the records that match, in order; `texts[i]` must have been made from
    // `records[i]`. Faster than calling matches() in a loop: the text of the records ahead is
    // fetched from memory while the current one is tested.
    QList<qsizetype> matching(const QList<FileRecord> &records, const QList<SearchText> &texts) const;

    // True when the query has no criteria: every record matches.
    bool matchesEverything() const;

private:
    bool extensionListed(QByteArrayView extension) const;
    bool passesCheapTests(const FileRecord &record, const SearchText *text) const;
    bool passesTextTests(const SearchText &text) const;
    bool needsText() const { return m_camera || m_source || !m_words.isEmpty(); }

    KindSet m_kinds;
    QByteArrayList m_extensions;
    bool m_screenshots = false;
    std::optional<qint64> m_minSize;
    std::optional<qint64> m_maxSize;
    std::optional<Timestamp> m_after;
    std::optional<Timestamp> m_before;
    std::optional<SearchWord> m_camera;
    std::optional<SearchWord> m_source;
    QList<SearchWord> m_words;
    QLocale m_locale;
};
