#include "platform/filestatus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

FileStatus::Type typeOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileStatus::Type::regular;
    if (S_ISDIR(mode))
        return FileStatus::Type::directory;
    if (S_ISLNK(mode))
        return FileStatus::Type::symbolicLink;
    return FileStatus::Type::other;
}

} // namespace

std::optional<FileStatus> FileStatus::read(int directoryFd, const char *name)
{
    struct statx sx {};
    constexpr unsigned mask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_BTIME;
    if (statx(directoryFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) != 0)
        return std::nullopt;

    FileStatus status;
    status.mode = sx.stx_mode;
    status.type = typeOf(sx.stx_mode);
    status.size = static_cast<qint64>(sx.stx_size);
    status.modified = Timestamp::fromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    if (sx.stx_mask & STATX_BTIME)
        status.created = Timestamp::fromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    status.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    status.inode = sx.stx_ino;
    return status;
}

std::optional<FileStatus> FileStatus::read(const QByteArray &path)
{
    if (path.isEmpty())
        return std::nullopt;
    return read(AT_FDCWD, path.constData());
}
