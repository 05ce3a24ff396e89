#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>
#include <sys/types.h>

// The device-and-inode fingerprint that proves a path still names the file that was scanned:
// the device number and the inode number in unsigned decimal, joined by ':' ("2049:131074").
namespace FileIdentity {

// Absent when the entry cannot be read or is a symbolic link (never followed).
std::optional<QString> read(const QByteArray &path);
QString fingerprint(dev_t device, ino_t inode);

struct Parts
{
    dev_t device = 0;
    ino_t inode = 0;
};
// The device and inode numbers of a fingerprint; absent for text that is not one.
std::optional<Parts> parse(QStringView fingerprint);

} // namespace FileIdentity
