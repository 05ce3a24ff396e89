#include "cli/foldercheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace FolderCheck {

bool readable(const char *command, const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    const int error = errno;
    std::fprintf(stderr, "%s: %s: %s\n", command, folder.constData(), std::strerror(error));
    return false;
}

} // namespace FolderCheck
