#include "platform/mounttable.h"

#include <QFile>

#include <climits>
#include <cstdlib>

namespace {

QByteArray decodeOctalEscapes(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0'
            && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.append(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(c);
        }
    }
    return out;
}

bool contains(const QByteArray &mountPoint, const QByteArray &path)
{
    if (mountPoint == "/")
        return path.startsWith('/');
    return path == mountPoint || (path.startsWith(mountPoint) && path[mountPoint.size()] == '/');
}

} // namespace

namespace MountTable {

QByteArrayList mountPoints(const QByteArray &mountInfoPath)
{
    QFile file(QFile::decodeName(mountInfoPath));
    QByteArrayList points;
    if (!file.open(QIODevice::ReadOnly))
        return points;
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": field 5 is the
    // mount point.
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArrayList fields = line.split(' ');
        if (fields.size() > 4)
            points.append(decodeOctalEscapes(fields[4]));
    }
    return points;
}

QByteArray longestContaining(const QByteArray &realPath, const QByteArrayList &mountPoints)
{
    QByteArray best("/");
    for (const QByteArray &point : mountPoints) {
        if (point.size() > best.size() && contains(point, realPath))
            best = point;
    }
    return best;
}

std::optional<QByteArray> topDirectory(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parent = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : path.left(slash);
    char resolved[PATH_MAX];
    if (::realpath(parent.constData(), resolved) == nullptr)
        return std::nullopt;
    return longestContaining(QByteArray(resolved), mountPoints());
}

} // namespace MountTable
