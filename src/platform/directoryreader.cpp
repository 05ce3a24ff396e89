#include "platform/directoryreader.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <QtGlobal>

#include <cstddef>
#include <cstring>

namespace {

// The fixed head of the kernel's struct linux_dirent64; the name follows at byte 19.
struct LinuxDirent64Head
{
    quint64 d_ino;
    qint64 d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr std::size_t kNameOffset = 19;

DirectoryReader::EntryType typeOf(unsigned char dType)
{
    switch (dType) {
    case DT_REG:
        return DirectoryReader::EntryType::regular;
    case DT_DIR:
        return DirectoryReader::EntryType::directory;
    case DT_LNK:
        return DirectoryReader::EntryType::symbolicLink;
    case DT_UNKNOWN:
        return DirectoryReader::EntryType::unknown;
    default:
        return DirectoryReader::EntryType::other;
    }
}

} // namespace

bool DirectoryReader::readAll(int directoryFd, std::vector<Entry> &entries)
{
    alignas(8) std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const long count = syscall(SYS_getdents64, directoryFd, buffer.data(), buffer.size());
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        for (long offset = 0; offset < count;) {
            LinuxDirent64Head entry{};
            std::memcpy(&entry, buffer.data() + offset, kNameOffset);
            const char *name = buffer.data() + offset + kNameOffset;
            offset += entry.d_reclen;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            entries.push_back({QByteArray(name), typeOf(entry.d_type)});
        }
    }
}
