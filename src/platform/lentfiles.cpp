#include "platform/lentfiles.h"

#include "platform/uniquefd.h"

#include <QHash>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace LentFiles {
namespace {

std::atomic<bool> exclusive = false;

struct Table
{
    std::mutex mutex;
    QHash<QByteArray, std::shared_ptr<UniqueFd>> files;
};

Table &table()
{
    static Table lent;
    return lent;
}

} // namespace

void makeExclusive()
{
    exclusive = true;
}

bool isExclusive()
{
    return exclusive;
}

void lend(const QByteArray &path, int fd)
{
    auto owned = std::make_shared<UniqueFd>(fd);
    std::lock_guard lock(table().mutex);
    table().files.insert(path, std::move(owned));
}

void returnAll()
{
    QHash<QByteArray, std::shared_ptr<UniqueFd>> returned;
    {
        std::lock_guard lock(table().mutex);
        returned.swap(table().files);
    }
}

int duplicate(const QByteArray &path)
{
    std::shared_ptr<UniqueFd> lent;
    {
        std::lock_guard lock(table().mutex);
        lent = table().files.value(path);
    }
    if (!lent) {
        errno = EACCES;
        return -1;
    }
    const int copy = ::fcntl(lent->get(), F_DUPFD_CLOEXEC, 0);
    if (copy >= 0)
        ::lseek(copy, 0, SEEK_SET);
    return copy;
}

} // namespace LentFiles
