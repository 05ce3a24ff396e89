#include "platform/extendedattributes.h"

#include <sys/xattr.h>

#include <array>
#include <cerrno>

QByteArrayList ExtendedAttributes::names(const QByteArray &path)
{
    // Most files carry no attribute at all: one call with a stack buffer answers for them.
    std::array<char, 1024> small{};
    ssize_t length = llistxattr(path.constData(), small.data(), small.size());
    QByteArray list;
    if (length >= 0) {
        list = QByteArray(small.data(), length);
    } else if (errno == ERANGE) {
        const ssize_t needed = llistxattr(path.constData(), nullptr, 0);
        if (needed <= 0 || needed > 1024 * 1024)
            return {};
        list.resize(needed);
        length = llistxattr(path.constData(), list.data(), list.size());
        if (length < 0)
            return {};
        list.truncate(length);
    } else {
        return {};
    }

    QByteArrayList result;
    for (const QByteArray &name : list.split('\0')) {
        if (!name.isEmpty())
            result.append(name);
    }
    return result;
}

std::optional<QByteArray> ExtendedAttributes::value(const QByteArray &path, const char *name, qsizetype maxSize)
{
    QByteArray buffer(maxSize, Qt::Uninitialized);
    const ssize_t length = lgetxattr(path.constData(), name, buffer.data(), buffer.size());
    if (length < 0)
        return std::nullopt;
    buffer.truncate(length);
    return buffer;
}
