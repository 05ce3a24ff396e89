#pragma once

#include <QByteArray>
#include <QHash>

#include <mutex>

// The files that made a reader helper crash or overrun its time, remembered in the state they
// were in (size and modification time). A file that did so twice is refused until it changes,
// so one hostile file cannot keep costing a helper on every scan. Thread-safe.
class ReaderFaults
{
public:
    static constexpr int kFaultsBeforeRefusal = 2;

    void record(const QByteArray &path);
    bool refuses(const QByteArray &path) const;

private:
    struct Entry
    {
        qint64 size = -1;
        qint64 modifiedNs = -1;
        int faults = 0;
    };
    static Entry currentState(const QByteArray &path);

    mutable std::mutex m_mutex;
    QHash<QByteArray, Entry> m_entries;
};
