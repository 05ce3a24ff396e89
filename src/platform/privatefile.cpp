#include "platform/privatefile.h"

#include "platform/systemerror.h"
#include "platform/uniquefd.h"

#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFile {
namespace {

constexpr int kMaxTemporaryAttempts = 16;

} // namespace

bool writeAll(int fd, QByteArrayView data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, static_cast<size_t>(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

std::optional<QString> replace(const QByteArray &path, QByteArrayView contents)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);

    // O_EXCL | O_NOFOLLOW: whatever already sits at a candidate name, a symbolic link included,
    // is never opened; the next candidate is tried instead.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxTemporaryAttempts && fd < 0; ++attempt) {
        temporary = path + ".tmp";
        if (attempt > 0)
            temporary += '-' + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return SystemError::text(errno);
    }
    if (fd < 0)
        return QStringLiteral("No free name for a temporary file");

    // The umask may have taken bits away from 0600; the owner must keep reading and writing.
    bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, contents) && ::fsync(fd) == 0;
    int error = errno;
    // A failed close can be the first report of a failed write (on network file systems).
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written || ::rename(temporary.constData(), path.constData()) != 0) {
        if (written)
            error = errno;
        ::unlink(temporary.constData());
        return SystemError::text(error);
    }

    // Make the rename itself durable; a failure here leaves a valid file either way.
    const UniqueFd folderFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.isValid())
        ::fsync(folderFd.get());
    return std::nullopt;
}

std::optional<QString> makeFolder(const QByteArray &folder)
{
    if (folder.isEmpty())
        return SystemError::text(ENOENT);
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        if (errno != ENOENT)
            return SystemError::text(errno);
        const qsizetype slash = folder.lastIndexOf('/');
        if (slash <= 0)
            return SystemError::text(ENOENT);
        if (const std::optional<QString> error = makeFolder(folder.left(slash)))
            return error;
        if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
            return SystemError::text(errno);
    }
    const UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.isValid())
        return SystemError::text(errno);
    struct stat status
    {
    };
    if (::fstat(fd.get(), &status) == 0 && status.st_uid == ::geteuid() && (status.st_mode & 07777) != 0700)
        ::fchmod(fd.get(), 0700);
    return std::nullopt;
}

} // namespace PrivateFile
