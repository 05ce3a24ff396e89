#include "platform/installerpackage.h"

#include "platform/processoutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxRead = 1024 * 1024;

// Up to `limit` bytes from the start of a regular file (never a link, FIFO or device).
std::optional<QByteArray> readStart(const QByteArray &path, qsizetype limit)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st = {};
    QByteArray data;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        data.resize(limit);
        qsizetype filled = 0;
        while (filled < limit) {
            const ssize_t n = ::read(fd, data.data() + filled, static_cast<size_t>(limit - filled));
            if (n <= 0)
                break;
            filled += n;
        }
        data.truncate(filled);
    } else {
        ::close(fd);
        return std::nullopt;
    }
    ::close(fd);
    return data;
}

bool isIdCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
        || c == '.';
}

std::optional<QByteArray> nonEmpty(const QByteArray &text)
{
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains('\n'))
        return std::nullopt;
    return trimmed;
}

} // namespace

namespace InstallerPackage {

std::optional<Format> formatOf(const QByteArray &extension)
{
    if (extension == "deb")
        return Format::deb;
    if (extension == "rpm")
        return Format::rpm;
    if (extension == "flatpak")
        return Format::flatpak;
    if (extension == "flatpakref")
        return Format::flatpakref;
    if (extension == "snap")
        return Format::snap;
    return std::nullopt;
}

std::optional<QByteArray> flatpakRefName(const QByteArray &contents)
{
    bool inRef = false;
    std::optional<QByteArray> name;
    for (const QByteArray &raw : contents.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inRef = line == "[Flatpak Ref]";
        } else if (inRef && line.startsWith("Name=")) {
            name = nonEmpty(line.mid(5));
        } else if (inRef && line.startsWith("IsRuntime=") && line.mid(10).trimmed() == "true") {
            return std::nullopt; // a runtime is not an application
        }
    }
    return name;
}

std::optional<QByteArray> flatpakBundleName(const QByteArray &header)
{
    // The bundle's metadata holds its ref, "app/ID/ARCH/BRANCH", as a NUL-terminated string.
    for (qsizetype at = header.indexOf("app/"); at >= 0; at = header.indexOf("app/", at + 1)) {
        if (at > 0 && header[at - 1] != '\0')
            continue;
        qsizetype end = at + 4;
        int slashes = 0;
        while (end < header.size() && (isIdCharacter(header[end]) || header[end] == '/')) {
            slashes += header[end] == '/' ? 1 : 0;
            ++end;
        }
        if (slashes != 2 || end >= header.size() || header[end] != '\0')
            continue;
        const QByteArray id = header.mid(at + 4, header.indexOf('/', at + 4) - at - 4);
        if (id.contains('.'))
            return id;
    }
    return std::nullopt;
}

std::optional<QByteArray> snapName(const QByteArray &fileName)
{
    if (!fileName.endsWith(".snap"))
        return std::nullopt;
    QByteArray stem = fileName.chopped(5);
    // Downloaded snaps are named NAME_REVISION.snap; snap names never contain '_'.
    if (const qsizetype underscore = stem.indexOf('_'); underscore >= 0)
        stem.truncate(underscore);
    if (stem.isEmpty())
        return std::nullopt;
    for (const char c : stem) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
            return std::nullopt;
    }
    return stem;
}

std::optional<QByteArray> name(const QByteArray &path, Format format)
{
    if (!path.startsWith('/'))
        return std::nullopt;
    switch (format) {
    case Format::deb:
        if (const auto output = ProcessOutput::run({ "dpkg-deb", "--field", path, "Package" }))
            return nonEmpty(*output);
        return std::nullopt;
    case Format::rpm:
        if (const auto output = ProcessOutput::run({ "rpm", "-qp", "--qf", "%{NAME}", path }))
            return nonEmpty(*output);
        return std::nullopt;
    case Format::flatpakref:
        if (const auto contents = readStart(path, kMaxRead))
            return flatpakRefName(*contents);
        return std::nullopt;
    case Format::flatpak:
        if (const auto header = readStart(path, kMaxRead))
            return flatpakBundleName(*header);
        return std::nullopt;
    case Format::snap:
        return snapName(path.mid(path.lastIndexOf('/') + 1));
    }
    return std::nullopt;
}

} // namespace InstallerPackage
