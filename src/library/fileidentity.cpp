#include "library/fileidentity.h"

#include "platform/filestatus.h"

namespace FileIdentity {

std::optional<QString> read(const QByteArray &path)
{
    const auto status = FileStatus::read(path);
    if (!status || status->isSymbolicLink())
        return std::nullopt;
    return fingerprint(status->device, status->inode);
}

QString fingerprint(dev_t device, ino_t inode)
{
    return QString::number(static_cast<quint64>(device)) + u':' + QString::number(static_cast<quint64>(inode));
}

std::optional<Parts> parse(QStringView fingerprint)
{
    const qsizetype colon = fingerprint.indexOf(u':');
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = fingerprint.left(colon).toULongLong(&deviceOk);
    const qulonglong inode = fingerprint.mid(colon + 1).toULongLong(&inodeOk);
    if (colon < 0 || !deviceOk || !inodeOk)
        return std::nullopt;
    return Parts { static_cast<dev_t>(device), static_cast<ino_t>(inode) };
}

} // namespace FileIdentity
