#include "platform/regularfile.h"

#include "platform/lentfiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

RegularFile::RegularFile(const QByteArray &path)
{
    const int fd = LentFiles::isExclusive()
        ? LentFiles::duplicate(path)
        : ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    struct stat status {};
    const bool known = ::fstat(fd, &status) == 0;
    if (!known || !S_ISREG(status.st_mode)) {
        // A folder says so ("Is a directory"); other kinds (devices, sockets) are refused as invalid.
        m_error = !known ? errno : S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return;
    }
    m_fd = fd;
}

int RegularFile::release()
{
    return std::exchange(m_fd, -1);
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray RegularFile::read(qsizetype maxBytes)
{
    QByteArray buffer(maxBytes, Qt::Uninitialized);
    qsizetype filled = 0;
    while (m_fd >= 0 && filled < buffer.size()) {
        const ssize_t n = ::read(m_fd, buffer.data() + filled, static_cast<size_t>(buffer.size() - filled));
        if (n <= 0)
            break;
        filled += n;
    }
    buffer.truncate(filled);
    return buffer;
}

void RegularFile::askForHead(qint64 bytes) const
{
    if (m_fd < 0)
        return;
    char byte = 0;
    iovec vector { &byte, 1 };
    if (::preadv2(m_fd, &vector, 1, 0, RWF_NOWAIT) < 0)
        ::posix_fadvise(m_fd, 0, off_t(bytes), POSIX_FADV_WILLNEED);
}
