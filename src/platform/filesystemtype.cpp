#include "platform/filesystemtype.h"

#include <cstdint>
#include <sys/vfs.h>
#include <utility>

namespace FileSystemType {

std::optional<QByteArray> withoutChangeEvents(int fd)
{
    // Magic numbers of <linux/magic.h> (some are missing from older kernel headers).
    static constexpr std::pair<uint32_t, const char *> kRemote[] = {
        { 0x6969, "NFS" },
        { 0x517b, "SMB" },
        { 0xff534d42, "SMB" }, // CIFS
        { 0xfe534d42, "SMB" }, // SMB2
        { 0x65735546, "FUSE" },
        { 0x01021997, "9P" },
        { 0x00c36400, "Ceph" },
        { 0x5346414f, "AFS" },
        { 0x6b414653, "AFS" }, // kAFS
        { 0x73757245, "Coda" },
    };
    struct statfs info
    {
    };
    if (::fstatfs(fd, &info) != 0)
        return std::nullopt;
    const auto type = uint32_t(info.f_type);
    for (const auto &[magic, name] : kRemote)
        if (magic == type)
            return QByteArray(name);
    return std::nullopt;
}

} // namespace FileSystemType
