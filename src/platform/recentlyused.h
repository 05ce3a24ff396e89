#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// The desktop's record of recently used files ($XDG_DATA_HOME/recently-used.xbel).
//
// A file's last use is the newest of its bookmark's "modified" and "visited" stamps and the
// "modified" stamps of the applications that used it. The file is parsed once; lookups are by
// the exact path bytes. Immutable after construction, so one instance may be shared by threads.
class RecentlyUsed
{
public:
    static QString defaultFilePath();
    // Parses the file at `filePath` (the default one when empty); a missing or broken file gives
    // an empty record.
    static RecentlyUsed load(const QString &filePath = {});
    static RecentlyUsed parse(const QByteArray &xml);

    std::optional<Timestamp> lastUsed(const QByteArray &path) const;
    bool isEmpty() const { return m_lastUsed.isEmpty(); }

private:
    QHash<QByteArray, Timestamp> m_lastUsed;
};
