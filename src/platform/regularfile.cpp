#include "platform/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile::RegularFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray RegularFile::procPath() const
{
    return QByteArray("/proc/self/fd/").append(QByteArray::number(m_fd));
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
