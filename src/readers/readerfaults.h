#pragma once

#include <QByteArray>
#include <QHash>

#include <mutex>

// The files that made a reader helper crash or overrun its time, remembered in the state they
// were in (size and modification time). A file that did so twice is refused until it changes,
// so one hostile file cannot keep costing a helper on every scan; one fault alone may be bad
// luck (the system short of memory, the helper killed from outside). With a store file the
// memory outlives the process: written after each fault (mode 0600), read on first use.
// Thread-safe.
class ReaderFaults
{
public:
    static constexpr int kFaultsBeforeRefusal = 2;
    // Entries kept; beyond it, those of files that changed or went are dropped first.
    static constexpr qsizetype kMaxEntries = 10'000;

    // No store file: remembered while the process runs.
    ReaderFaults() = default;
    explicit ReaderFaults(QByteArray storePath)
        : m_storePath(std::move(storePath))
    { }

    // The memory the application's helpers share, kept in $XDG_CACHE_HOME/tessary.
    static ReaderFaults &stored();

    void record(const QByteArray &path);
    bool refuses(const QByteArray &path);

private:
    struct Entry
    {
        qint64 size = -1;
        qint64 modifiedNs = -1;
        int faults = 0;

        bool sameState(const Entry &other) const { return size == other.size && modifiedNs == other.modifiedNs; }
    };
    static Entry currentState(const QByteArray &path);
    void loadOnce();
    QByteArray serialized() const;

    QByteArray m_storePath;
    std::mutex m_mutex;
    bool m_loaded = false;
    QHash<QByteArray, Entry> m_entries;
};
