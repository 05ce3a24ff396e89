#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

// Whether a file's contents can be read now without a download from a cloud service.
//
// Linux has no common convention for cloud-only files. Two are recognised: a Nextcloud or
// ownCloud suffix placeholder ("NAME.nextcloud", "NAME.owncloud" with no real NAME beside it),
// and an OpenVFS placeholder whose "user.openvfs.data" attribute says it is dehydrated.
// Every worker that opens file contents asks `canReadContents` first.
class LocalFileAccess
{
public:
    struct CloudState
    {
        bool isCloudOnly = false;
        // The size of the contents in the cloud, where the placeholder records it.
        std::optional<qint64> logicalSize;
    };

    // False for symbolic links, anything but a regular file, unreadable entries and
    // cloud-only placeholders.
    static bool canReadContents(const QByteArray &path);

    // `attributeNames` are the file's extended attribute names (one listing serves many
    // questions during a scan).
    static CloudState cloudState(const QByteArray &path, const QByteArrayList &attributeNames);

    // For a suffix placeholder, the name the file stands for ("a.pdf" for "a.pdf.nextcloud").
    static std::optional<QByteArray> placeholderTarget(const QByteArray &path);
};
