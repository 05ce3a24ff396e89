#include "store/librarycatalog.h"

#include "store/backgroundjob.h"
#include "store/namesortkey.h"

#include <QHash>
#include <QSet>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// Folding runs on the global pool; each block of records is one task.
constexpr qsizetype kFoldBlock = 512;

// The position of each kind when kinds are ordered by their raw values in code-point order.
int kindRank(FileKind kind)
{
    static const std::array<int, 7> ranks = [] {
        std::array<FileKind, 7> kinds = FileKind::allCases();
        std::sort(kinds.begin(), kinds.end(), [](FileKind a, FileKind b) { return a.rawValue() < b.rawValue(); });
        std::array<int, 7> result {};
        for (int i = 0; i < 7; ++i)
            result[int(FileKind::Value(kinds[i]))] = i;
        return result;
    }();
    return ranks[int(FileKind::Value(kind))];
}

// The last path component as bytes: in UTF-8, byte order is code-point order.
QByteArrayView nameBytes(const FileRecord &file)
{
    return QByteArrayView(file.path).sliced(file.path.lastIndexOf('/') + 1);
}

// What the orders compare, taken out of each record once.
struct SortFacts
{
    QByteArrayView path;
    QByteArrayView name;
    qint64 size;
    Timestamp modified;
    int kindRank;
};

// The positions of the records `facts` describe, stably sorted by `order` as
// `LibraryCatalog::precedes` orders them.
std::vector<qsizetype> sortedOrder(
    LibraryCatalog::Order order, const std::vector<SortFacts> &facts, std::stop_token stop)
{
    std::vector<qsizetype> sorted(facts.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    const auto sortBy = [&sorted](auto before) { std::stable_sort(sorted.begin(), sorted.end(), before); };
    switch (order) {
    case LibraryCatalog::Order::name: {
        std::vector<QString> keys;
        keys.reserve(facts.size());
        for (auto fact = facts.cbegin(); fact != facts.cend() && !stop.stop_requested(); ++fact)
            keys.push_back(NameSortKey::of(QString::fromUtf8(fact->name)));
        if (stop.stop_requested())
            return {};
        sortBy([&keys](qsizetype a, qsizetype b) { return keys[size_t(a)] < keys[size_t(b)]; });
        break;
    }
    case LibraryCatalog::Order::largest:
        sortBy([&facts](qsizetype a, qsizetype b) {
            const SortFacts &x = facts[size_t(a)];
            const SortFacts &y = facts[size_t(b)];
            return x.size != y.size ? x.size > y.size : x.path < y.path;
        });
        break;
    case LibraryCatalog::Order::kind:
        sortBy([&facts](qsizetype a, qsizetype b) {
            const SortFacts &x = facts[size_t(a)];
            const SortFacts &y = facts[size_t(b)];
            return x.kindRank != y.kindRank ? x.kindRank < y.kindRank : x.name < y.name;
        });
        break;
    case LibraryCatalog::Order::newest:
        sortBy([&facts](qsizetype a, qsizetype b) {
            const SortFacts &x = facts[size_t(a)];
            const SortFacts &y = facts[size_t(b)];
            return x.modified != y.modified ? x.modified > y.modified : x.path < y.path;
        });
        break;
    }
    return sorted;
}

} // namespace

LibraryCatalog::Order LibraryCatalog::orderFor(QStringView sort)
{
    if (sort == u"Name")
        return Order::name;
    if (sort == u"Largest")
        return Order::largest;
    if (sort == u"Kind")
        return Order::kind;
    return Order::newest;
}

bool LibraryCatalog::precedes(
    Order order, const FileRecord &a, const FileRecord &b, const QString &nameKeyA, const QString &nameKeyB)
{
    switch (order) {
    case Order::name:
        return nameKeyA < nameKeyB;
    case Order::largest:
        if (a.size != b.size)
            return a.size > b.size;
        return a.path < b.path;
    case Order::kind:
        if (a.kind != b.kind)
            return kindRank(a.kind) < kindRank(b.kind);
        return nameBytes(a) < nameBytes(b);
    case Order::newest:
        break;
    }
    if (a.modified != b.modified)
        return a.modified > b.modified;
    return a.path < b.path;
}

std::shared_ptr<const LibraryCatalog> LibraryCatalog::build(
    const QList<FileRecord> &files, const TextIndex &index, const LibraryCatalog *previous, std::stop_token stop)
{
    auto catalog = std::make_shared<LibraryCatalog>();
    catalog->m_files = files;
    const qsizetype count = files.size();
    catalog->m_contents.resize(count);
    catalog->m_texts.resize(count);

    // The same records as before (the index run after a scan, a rescan that found no change):
    // everything but the texts carries over, and records are matched by position.
    const bool sameFiles = previous && previous->m_files == files;
    QHash<QByteArray, qsizetype> previousAt;
    if (previous && !sameFiles) {
        previousAt.reserve(previous->size());
        for (qsizetype i = 0; i < previous->size(); ++i)
            previousAt.insert(previous->m_files[i].path, i);
    }
    std::vector<qsizetype> toFold;
    for (qsizetype i = 0; i < count; ++i) {
        const auto entry = index.constFind(files[i].path);
        if (entry != index.cend())
            catalog->m_contents[i] = entry->text;
        qsizetype at = i;
        if (!sameFiles) {
            const auto found = previousAt.constFind(files[i].path);
            at = found != previousAt.cend() && previous->m_files[*found] == files[i] ? *found : -1;
        }
        if (at >= 0 && previous && previous->m_contents[at] == catalog->m_contents[i])
            catalog->m_texts[i] = previous->m_texts[at];
        else
            toFold.push_back(i);
    }

    std::vector<std::pair<qsizetype, qsizetype>> blocks;
    const auto folds = qsizetype(toFold.size());
    for (qsizetype start = 0; start < folds; start += kFoldBlock)
        blocks.emplace_back(start, std::min(folds, start + kFoldBlock));
    // The folding threads only read shared lists and write distinct elements of one array that
    // is detached here, on this thread: a non-const access from several threads at once would
    // detach (copy) a list shared with the caller concurrently.
    SearchText *const texts = catalog->m_texts.data();
    const QStringList &contents = catalog->m_contents;
    // The folding threads work at the priority of the job that builds the catalogue.
    QtConcurrent::blockingMap(
        WorkerPools::pool(JobPriority::userInitiated), blocks, [&](const std::pair<qsizetype, qsizetype> &block) {
            WorkerPools::applyPriority(JobPriority::userInitiated);
            for (qsizetype k = block.first; k < block.second && !stop.stop_requested(); ++k) {
                const qsizetype i = toFold[k];
                texts[i] = SearchText(files[i], contents[i]);
            }
        });
    if (stop.stop_requested())
        return nullptr;

    if (sameFiles) {
        for (int order = 0; order < 4; ++order)
            catalog->m_orders[order] = previous->m_orders[order];
        catalog->m_cleanFacts = previous->m_cleanFacts;
        catalog->m_sources = previous->m_sources;
        catalog->m_counts = previous->m_counts;
        catalog->m_positions = previous->m_positions;
        return catalog;
    }
    catalog->m_positions.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        catalog->m_positions.insert(files[i].path, i);
    catalog->m_cleanFacts.reserve(size_t(count));
    for (const FileRecord &file : files)
        catalog->m_cleanFacts.push_back(CleanCategories::factsOf(file));
    catalog->m_counts = LibraryCounts(files, catalog->m_cleanFacts);
    catalog->m_sources = catalog->m_counts.sources();
    // The four orders are sorted side by side. Each compares facts taken out of the records
    // once: finding a name's start or a kind's rank on every comparison was most of the work.
    std::vector<SortFacts> facts;
    facts.reserve(size_t(count));
    for (const FileRecord &file : files)
        facts.push_back({ file.path, nameBytes(file), file.size, file.modified, kindRank(file.kind) });
    // The name order goes first: making its keys is the longest task.
    constexpr std::array<Order, 4> orders { Order::name, Order::newest, Order::largest, Order::kind };
    QtConcurrent::blockingMap(WorkerPools::pool(JobPriority::userInitiated), orders, [&](Order order) {
        WorkerPools::applyPriority(JobPriority::userInitiated);
        if (!stop.stop_requested())
            catalog->m_orders[int(order)] = sortedOrder(order, facts, stop);
    });
    if (stop.stop_requested())
        return nullptr;
    return catalog;
}

QStringList LibraryCatalog::sourcesOf(const QList<FileRecord> &files)
{
    QSet<QString> names;
    for (const FileRecord &file : files)
        if (const std::optional<QString> name = file.sourceName())
            names.insert(*name);
    QStringList sorted(names.cbegin(), names.cend());
    // Code-point order: QString's own comparison orders UTF-16 code units, which puts
    // characters beyond U+FFFF before U+E000-U+FFFF.
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return a.toUcs4() < b.toUcs4(); });
    return sorted;
}
