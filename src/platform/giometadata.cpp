#include "platform/giometadata.h"

#include "platform/xdgpaths.h"

#include <QFileInfo>

#include <gio/gio.h>

bool GioMetadata::isAvailable()
{
    // GVfs keeps its database in $XDG_DATA_HOME/gvfs-metadata; without it there is nothing to
    // read, and loading GIO's modules would only cost start-up time.
    if (!QFileInfo(XdgPaths::dataHome() + QStringLiteral("/gvfs-metadata")).isDir())
        return false;
    GVfs *vfs = g_vfs_get_default();
    return vfs != nullptr && g_vfs_is_active(vfs)
        && g_strcmp0(G_OBJECT_TYPE_NAME(vfs), "GDaemonVfs") == 0;
}

std::optional<QString> GioMetadata::downloadUri(const QByteArray &path)
{
    GFile *file = g_file_new_for_path(path.constData());
    GFileInfo *info = g_file_query_info(file, "metadata::download-uri", G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS,
                                        nullptr, nullptr);
    std::optional<QString> result;
    if (info != nullptr) {
        const char *value = g_file_info_get_attribute_string(info, "metadata::download-uri");
        if (value != nullptr && *value != '\0')
            result = QString::fromUtf8(value);
        g_object_unref(info);
    }
    g_object_unref(file);
    return result;
}
