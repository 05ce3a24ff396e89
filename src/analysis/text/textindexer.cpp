#include "analysis/text/textindexer.h"

#include "analysis/text/textindexfile.h"
#include "platform/xdgpaths.h"
#include "readers/contentreaders.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

struct Slot
{
    const FileRecord *record = nullptr;
    std::optional<TextEntry> entry; // set when reused or read
    bool failed = false;
    bool done = false;
};

// Hands out the files to read and tells the calling thread when each one is done.
class WorkQueue
{
public:
    explicit WorkQueue(std::vector<Slot> &slots)
        : m_slots(slots)
    { }

    void work(std::stop_token stop)
    {
        for (;;) {
            const size_t first = m_next.fetch_add(kBatch);
            if (first >= m_slots.size() || stop.stop_requested())
                break;
            std::vector<size_t> unread;
            QList<FileRecord> records;
            for (size_t i = first; i < std::min(first + kBatch, m_slots.size()); ++i) {
                if (!m_slots[i].done) {
                    unread.push_back(i);
                    records.append(*m_slots[i].record);
                }
            }
            const QList<std::optional<TextExtraction>> extractions = records.isEmpty()
                ? QList<std::optional<TextExtraction>>()
                : ContentReaders::extractTexts(records, stop);
            {
                std::lock_guard lock(m_mutex);
                for (qsizetype k = 0; k < extractions.size(); ++k) {
                    // A cancelled file stays unread.
                    if (!extractions[k])
                        continue;
                    Slot &slot = m_slots[unread[size_t(k)]];
                    if (extractions[k]->error)
                        slot.failed = true;
                    else
                        slot.entry = TextEntry { slot.record->modified.secondsSinceReferenceDate(), slot.record->size,
                            extractions[k]->text, extractions[k]->partial };
                    slot.done = true;
                }
            }
            m_changed.notify_all();
        }
        std::lock_guard lock(m_mutex);
        ++m_finishedWorkers;
        m_changed.notify_all();
    }

    // Waits until slot `i` is done; false when the workers stopped first.
    bool wait(size_t i, int workers, std::stop_token stop)
    {
        std::unique_lock lock(m_mutex);
        std::stop_callback wake(stop, [this] {
            std::lock_guard inner(m_mutex);
            m_changed.notify_all();
        });
        m_changed.wait(lock, [&] { return m_slots[i].done || stop.stop_requested() || m_finishedWorkers == workers; });
        return m_slots[i].done;
    }

private:
    // Files sent to a helper at once: enough that it never waits for the next, few enough that
    // the workers finish together.
    static constexpr size_t kBatch = 4;

    std::vector<Slot> &m_slots;
    std::atomic<size_t> m_next = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_finishedWorkers = 0;
};

} // namespace

QUrl TextIndexer::cacheURL()
{
    return QUrl::fromLocalFile(XdgPaths::dataHome() + QStringLiteral("/Quillon/text-index.json"));
}

TextIndex TextIndexer::load()
{
    return load(cacheURL().toLocalFile());
}

TextIndex TextIndexer::load(const QString &file)
{
    return TextIndexFile::load(file);
}

bool TextIndexer::isCandidate(const FileRecord &record)
{
    return !record.isCloudOnly && !record.isPackage
        && (record.kind == FileKind::images || record.kind == FileKind::documents);
}

bool TextIndexer::isReusable(const TextEntry &entry, const FileRecord &record)
{
    return entry.modified == record.modified.secondsSinceReferenceDate() && entry.size == record.size;
}

TextIndexResult TextIndexer::run(const QList<FileRecord> &files, const TextIndex &existing, const Options &options,
    const Progress &progress, std::stop_token stop)
{
    std::vector<Slot> slots;
    for (const FileRecord &record : files) {
        if (!isCandidate(record))
            continue;
        Slot slot;
        slot.record = &record;
        const auto old = existing.constFind(record.path);
        if (old != existing.cend() && isReusable(*old, record)) {
            slot.entry = *old;
            slot.done = true;
        }
        slots.push_back(std::move(slot));
    }

    // The workers share the caller's cancellation and are also stopped when this function leaves.
    std::stop_source workersStop;
    std::stop_callback forward(stop, [&workersStop] { workersStop.request_stop(); });
    WorkQueue queue(slots);
    const int workers = std::max(1, options.workers);
    std::vector<std::jthread> threads;
    for (int i = 0; i < workers; ++i)
        threads.emplace_back([&queue, token = workersStop.get_token()] { queue.work(token); });

    TextIndexResult result;
    const int total = static_cast<int>(slots.size());
    for (int i = 0; i < total; ++i) {
        if (stop.stop_requested())
            break;
        if (!queue.wait(static_cast<size_t>(i), workers, stop) || stop.stop_requested())
            break;
        const Slot &slot = slots[static_cast<size_t>(i)];
        if (slot.failed)
            ++result.failures;
        else if (slot.entry)
            result.entries.insert(slot.record->path, *slot.entry);
        if (progress && (i % 10 == 0 || i == total - 1))
            progress(i + 1, total);
    }
    workersStop.request_stop();
    threads.clear(); // joins

    for (const TextEntry &entry : std::as_const(result.entries))
        result.partial += entry.partial ? 1 : 0;
    if (options.save && !stop.stop_requested())
        result.saved
            = TextIndexFile::save(result.entries, options.file.isEmpty() ? cacheURL().toLocalFile() : options.file);
    return result;
}
