#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// The device-and-inode fingerprint that proves a path still names the file that was scanned:
// the device number and the inode number in unsigned decimal, joined by ':' ("2049:131074").
namespace FileIdentity {

// Absent when the entry cannot be read or is a symbolic link (never followed).
std::optional<QString> read(const QByteArray &path);
QString fingerprint(dev_t device, ino_t inode);

} // namespace FileIdentity
