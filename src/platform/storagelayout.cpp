#include "platform/storagelayout.h"

#include <QByteArray>
#include <QFile>

#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>

namespace StorageLayout {

std::optional<quint64> firstByteOffset(int fd)
{
    // One extent is enough: the first one says where reading begins.
    alignas(fiemap) unsigned char buffer[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto *map = reinterpret_cast<fiemap *>(buffer);
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
        return std::nullopt;
    const fiemap_extent &first = map->fm_extents[0];
    // Inline data and data not yet placed (delayed allocation) have no meaningful position.
    if ((first.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_NOT_ALIGNED)) != 0)
        return std::nullopt;
    return quint64(first.fe_physical);
}

std::optional<bool> isRotational(dev_t device)
{
    const QByteArray node
        = "/sys/dev/block/" + QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    // A partition has no queue of its own: its disk's folder is the parent.
    for (const char *queue : { "/queue/rotational", "/../queue/rotational" }) {
        QFile file(QString::fromLocal8Bit(node + queue));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray value = file.read(8).trimmed();
        if (value == "1")
            return true;
        if (value == "0")
            return false;
    }
    return std::nullopt;
}

} // namespace StorageLayout
