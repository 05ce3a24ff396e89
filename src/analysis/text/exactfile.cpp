#include "analysis/text/exactfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool ExactFile::open(QFile &file, const QByteArray &path, QString *error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return false;
    }
    return true;
}
