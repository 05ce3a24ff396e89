#include "store/librarycatalog.h"

#include "store/backgroundjob.h"
#include "store/namesortkey.h"

#include <QHash>
#include <QSet>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

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

// `count` units of `data` from `from` on, the first in the highest bits. Comparing the packed
// units of two strings orders them as comparing the strings does, or ties them: units past the
// end count as zero, at or below every unit, so a string packs at or below any string it is the
// start of.
template <typename Unit> quint64 packed(const Unit *data, qsizetype size, qsizetype from, int count)
{
    quint64 value = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = from + i;
        value = (value << (8 * sizeof(Unit))) | (at < size ? quint64(std::make_unsigned_t<Unit>(data[at])) : 0);
    }
    return value;
}

// The positions 0..n-1 ordered by `keyOf` (a value compared first, held beside its position),
// records of equal keys by `compare` (negative, zero or positive, as memcmp), and equal ones of
// those by position: the order a stable sort by key and `compare` gives, with most comparisons
// made on the values side by side instead of on records reached through their positions.
template <typename KeyOf, typename Compare>
std::vector<qsizetype> sortedBy(qsizetype count, KeyOf keyOf, Compare compare)
{
    using Key = decltype(keyOf(qsizetype()));
    std::vector<std::pair<Key, qsizetype>> keyed;
    keyed.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        keyed.emplace_back(keyOf(i), i);
    std::sort(keyed.begin(), keyed.end(), [&compare](const auto &a, const auto &b) {
        if (a.first != b.first)
            return a.first < b.first;
        const int order = compare(a.second, b.second);
        return order != 0 ? order < 0 : a.second < b.second;
    });
    std::vector<qsizetype> sorted;
    sorted.reserve(keyed.size());
    for (const auto &entry : keyed)
        sorted.push_back(entry.second);
    return sorted;
}

// Byte order, as memcmp gives it.
int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const int order = common > 0 ? std::memcmp(a.data(), b.data(), size_t(common)) : 0;
    return order != 0 ? order : (a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0);
}

// The positions of the records `facts` describe, in `order` as `LibraryCatalog::precedes`
// orders them, equal records in library order.
std::vector<qsizetype> sortedOrder(
    LibraryCatalog::Order order, const std::vector<SortFacts> &facts, std::stop_token stop)
{
    const auto count = qsizetype(facts.size());
    const auto fact = [&facts](qsizetype i) -> const SortFacts & { return facts[size_t(i)]; };
    const auto byPath = [&fact](qsizetype a, qsizetype b) { return compareBytes(fact(a).path, fact(b).path); };
    switch (order) {
    case LibraryCatalog::Order::name: {
        std::vector<QString> keys;
        keys.reserve(facts.size());
        for (qsizetype i = 0; i < count && !stop.stop_requested(); ++i)
            keys.push_back(NameSortKey::of(fact(i).name));
        if (stop.stop_requested())
            return {};
        return sortedBy(
            count,
            [&keys](qsizetype i) {
                const QString &key = keys[size_t(i)];
                return std::pair(packed(key.utf16(), key.size(), 0, 4), packed(key.utf16(), key.size(), 4, 4));
            },
            [&keys](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]); });
    }
    case LibraryCatalog::Order::largest:
        return sortedBy(
            count, [&fact](qsizetype i) { return -fact(i).size; }, byPath);
    case LibraryCatalog::Order::kind:
        // The rank in the highest byte, then the name's first fifteen bytes.
        return sortedBy(
            count,
            [&fact](qsizetype i) {
                const QByteArrayView name = fact(i).name;
                return std::pair((quint64(fact(i).kindRank) << 56) | packed(name.data(), name.size(), 0, 7),
                    packed(name.data(), name.size(), 7, 8));
            },
            [&fact](qsizetype a, qsizetype b) { return compareBytes(fact(a).name, fact(b).name); });
    case LibraryCatalog::Order::newest:
        return sortedBy(
            count,
            [&fact](qsizetype i) {
                return std::pair(-fact(i).modified.unixSeconds(), -qint64(fact(i).modified.nanoseconds()));
            },
            byPath);
    }
    return {};
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
    // Records whose search text is folded again, and with new records, every record's clean-up
    // facts: both in blocks on the pool.
    std::vector<char> fold(size_t(count), 0);
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
            fold[size_t(i)] = 1;
    }
    if (!sameFiles)
        catalog->m_cleanFacts.resize(size_t(count));

    std::vector<std::pair<qsizetype, qsizetype>> blocks;
    for (qsizetype start = 0; start < count; start += kFoldBlock)
        blocks.emplace_back(start, std::min(count, start + kFoldBlock));
    // The threads only read shared lists and write distinct elements of arrays that are
    // detached here, on this thread: a non-const access from several threads at once would
    // detach (copy) a list shared with the caller concurrently.
    SearchText *const texts = catalog->m_texts.data();
    CleanCategories::Facts *const cleanFacts = sameFiles ? nullptr : catalog->m_cleanFacts.data();
    const QStringList &contents = catalog->m_contents;
    // One locale for every record: making one per record reads the process's default locale,
    // whose shared reference count the threads would pass between their caches.
    const QLocale locale;
    // The threads work at the priority of the job that builds the catalogue.
    QtConcurrent::blockingMap(
        WorkerPools::pool(JobPriority::userInitiated), blocks, [&](const std::pair<qsizetype, qsizetype> &block) {
            WorkerPools::applyPriority(JobPriority::userInitiated);
            for (qsizetype i = block.first; i < block.second && !stop.stop_requested(); ++i) {
                if (fold[size_t(i)])
                    texts[i] = SearchText(files[i], contents[i], locale);
                if (cleanFacts)
                    cleanFacts[i] = CleanCategories::factsOf(files[i]);
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
    catalog->m_counts = LibraryCounts(files, catalog->m_cleanFacts);
    catalog->m_sources = catalog->m_counts.sources();
    // The four orders are sorted side by side, and beside them the index by path is built. Each
    // order compares facts taken out of the records once: finding a name's start or a kind's
    // rank on every comparison was most of the work.
    std::vector<SortFacts> facts;
    facts.reserve(size_t(count));
    for (const FileRecord &file : files)
        facts.push_back({ file.path, nameBytes(file), file.size, file.modified, kindRank(file.kind) });
    // The name order goes first: making its keys is the longest task.
    constexpr int kPositions = 4;
    constexpr std::array<int, 5> tasks { int(Order::name), int(Order::newest), int(Order::largest), int(Order::kind),
        kPositions };
    QtConcurrent::blockingMap(WorkerPools::pool(JobPriority::userInitiated), tasks, [&](int task) {
        WorkerPools::applyPriority(JobPriority::userInitiated);
        if (stop.stop_requested())
            return;
        if (task != kPositions) {
            catalog->m_orders[task] = sortedOrder(Order(task), facts, stop);
            return;
        }
        catalog->m_positions.reserve(count);
        for (qsizetype i = 0; i < count; ++i)
            catalog->m_positions.insert(files[i].path, i);
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
