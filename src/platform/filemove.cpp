#include "platform/filemove.h"

#include "platform/systemerror.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace FileMove {

QString Result::description() const
{
    switch (outcome) {
    case Outcome::moved:
        return {};
    case Outcome::unsupported:
        return QStringLiteral("The file system cannot move a file without the risk of replacing another one");
    case Outcome::crossDevice:
        return QStringLiteral("The destination is on another file system");
    case Outcome::destinationExists:
    case Outcome::failed:
        break;
    }
    return SystemError::text(error);
}

Result renameNoReplace(int fromDirectoryFd, const char *fromName, int toDirectoryFd, const char *toName)
{
    if (::renameat2(fromDirectoryFd, fromName, toDirectoryFd, toName, RENAME_NOREPLACE) == 0)
        return { Outcome::moved, 0 };
    const int error = errno;
    switch (error) {
    case EEXIST:
        return { Outcome::destinationExists, error };
    // EINVAL is what file systems without the flag answer (and ENOSYS a kernel without the call).
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP:
        return { Outcome::unsupported, error };
    case EXDEV:
        return { Outcome::crossDevice, error };
    default:
        return { Outcome::failed, error };
    }
}

Result renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    return renameNoReplace(AT_FDCWD, from.constData(), AT_FDCWD, to.constData());
}

} // namespace FileMove
