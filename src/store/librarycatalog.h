#pragma once

#include "analysis/text/textentry.h"
#include "library/filerecord.h"
#include "query/searchtext.h"
#include "store/cleancategory.h"
#include "store/librarycounts.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <stop_token>
#include <vector>

// The derived data that makes the store's views fast on a large library: each record's folded
// search text (name, tags and indexed text) and the four browser orders of the whole list. Built
// off the main thread for one snapshot of the files and the text index; immutable afterwards.
//
// Every order is a stable sort of all records, so filtering it keeps exactly the order that a
// stable sort of the filtered records (taken in library order) would give.
class LibraryCatalog
{
public:
    enum class Order { newest, name, largest, kind };

    // Null when `stop` was requested. Records that are equal to a record of `previous` and whose
    // indexed text is unchanged reuse its folded text.
    static std::shared_ptr<const LibraryCatalog> build(const QList<FileRecord> &files, const TextIndex &index,
        const LibraryCatalog *previous = nullptr, std::stop_token stop = {});

    static Order orderFor(QStringView sort);
    // Whether `a` comes before `b` in `order` (records not ordered either way keep their places).
    static bool precedes(Order order, const FileRecord &a, const FileRecord &b, const QString &nameKeyA = {},
        const QString &nameKeyB = {});

    qsizetype size() const { return m_files.size(); }
    const QList<SearchText> &texts() const { return m_texts; }
    const std::vector<qsizetype> &order(Order order) const { return m_orders[int(order)]; }
    // The clean-up facts of each record, by position.
    const std::vector<CleanCategories::Facts> &cleanFacts() const { return m_cleanFacts; }
    // The download sources of the records, in code-point order.
    const QStringList &sources() const { return m_sources; }
    // Counts and sums over the records.
    const LibraryCounts &counts() const { return m_counts; }
    // The position of the record with `path`, or -1.
    qsizetype indexOf(const QByteArray &path) const { return m_positions.value(path, -1); }
    // Every record's position by path.
    const QHash<QByteArray, qsizetype> &positions() const { return m_positions; }

    // The distinct source names of `files`, in code-point order.
    static QStringList sourcesOf(const QList<FileRecord> &files);

private:
    QList<FileRecord> m_files;
    QStringList m_contents;
    QList<SearchText> m_texts;
    std::vector<qsizetype> m_orders[4];
    std::vector<CleanCategories::Facts> m_cleanFacts;
    QStringList m_sources;
    LibraryCounts m_counts;
    QHash<QByteArray, qsizetype> m_positions;
};
