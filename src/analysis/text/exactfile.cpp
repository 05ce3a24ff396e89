#include "analysis/text/exactfile.h"

#include "platform/regularfile.h"

#include <cstring>
#include <unistd.h>

bool ExactFile::open(QFile &file, const QByteArray &path, QString *error)
{
    RegularFile regular(path);
    if (!regular.isOpen()) {
        *error = QString::fromLocal8Bit(std::strerror(regular.error()));
        return false;
    }
    const int fd = regular.release();
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return false;
    }
    return true;
}
