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

} // namespace FileIdentity
