#pragma once

#include "library/filekind.h"
#include "library/localfileaccess.h"
#include "library/media/mediafacts.h"
#include "platform/recentlyused.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

// Reads the metadata of many files with the sources loaded once: the recently-used list is
// parsed when the reader is made, and whether GIO's metadata store exists is decided then.
// Const methods are thread-safe, so one reader serves every worker of a scan.
class MetadataReader
{
public:
    static MetadataReader load();

    // What the file's extended attributes (and GIO's store) say: where it was downloaded
    // from, its tags and whether it is a cloud-only placeholder. Cheap: one listing call for a
    // file without attributes.
    struct Attributes
    {
        std::optional<QString> source;
        QStringList tags;
        LocalFileAccess::CloudState cloud;
    };
    Attributes readAttributes(const QByteArray &path) const;

    std::optional<Timestamp> lastUsed(const QByteArray &path) const { return m_recentlyUsed.lastUsed(path); }

    // The host of the first entry of a where-from list that parses as a URL with a host.
    static std::optional<QString> hostOfFirstUrl(const QStringList &whereFroms);

private:
    RecentlyUsed m_recentlyUsed;
    bool m_gioAvailable = false;
};
