#pragma once

#include <QtGlobal>

#include <optional>
#include <sys/types.h>

// Where files lie on the storage that holds them, for readers that want to visit many files in
// the order the device holds them.
namespace StorageLayout {

// The offset on its device of the first byte of the open regular file `fd`, as the file system
// maps it (FIEMAP). Absent for an empty file, data kept inside the inode, a hole at the start,
// or a file system that does not map its files to a device (tmpfs, network file systems).
std::optional<quint64> firstByteOffset(int fd);

// Whether the block device that holds files of device number `device` (a partition's disk, or
// the device itself) has rotating platters, as the kernel reports it. Absent where no block
// device stands behind the number (tmpfs, network and most FUSE file systems, btrfs's own
// numbers) or sysfs is not there.
std::optional<bool> isRotational(dev_t device);

} // namespace StorageLayout
