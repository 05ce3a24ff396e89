#include "common/pagecacheeviction.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

PageCacheEviction::Result *g_result = nullptr; // nftw has no context argument

// Pages of the open file `fd` of `size` bytes now in the page cache; -1 when mincore fails.
qint64 residentPages(int fd, qint64 size)
{
    if (size == 0)
        return 0;
    void *map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages(static_cast<std::size_t>((size + page - 1) / page));
    qint64 resident = -1;
    if (::mincore(map, static_cast<size_t>(size), pages.data()) == 0) {
        resident = 0;
        for (const unsigned char flags : pages)
            resident += flags & 1;
    }
    ::munmap(map, static_cast<size_t>(size));
    return resident;
}

int evictOne(const char *path, const struct stat *status, int type, struct FTW *)
{
    if (type != FTW_F || !S_ISREG(status->st_mode))
        return 0;
    PageCacheEviction::Result &result = *g_result;
    ++result.files;
    result.bytes += status->st_size;
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ++result.failures;
        return 0;
    }
    const qint64 before = residentPages(fd, status->st_size);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    const qint64 after = residentPages(fd, status->st_size);
    if (before < 0 || after < 0)
        ++result.failures;
    else {
        result.residentBefore += before;
        result.residentAfter += after;
    }
    ::close(fd);
    return 0;
}

} // namespace

namespace PageCacheEviction {

Result evictTree(const QByteArray &root)
{
    Result result;
    g_result = &result;
    ::nftw(root.constData(), evictOne, 64, FTW_PHYS | FTW_MOUNT);
    g_result = nullptr;
    return result;
}

} // namespace PageCacheEviction
