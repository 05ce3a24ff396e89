#pragma once

#include <QByteArray>

#include <gio/gio.h>

// What GLib itself, as GTK's file chooser and Files ask it, says of a file's thumbnail in the
// shared cache. Set GIO_USE_VFS=local, so GIO answers without the desktop's daemons.
struct GioThumbnail
{
    QByteArray path; // thumbnail::path, empty when GIO found none
    bool valid = false; // thumbnail::is-valid

    static GioThumbnail of(const QByteArray &file)
    {
        GioThumbnail answer;
        GFile *handle = g_file_new_for_path(file.constData());
        GFileInfo *info = g_file_query_info(handle, "thumbnail::*", G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
        if (info != nullptr) {
            if (const char *thumbnail = g_file_info_get_attribute_byte_string(info, G_FILE_ATTRIBUTE_THUMBNAIL_PATH))
                answer.path = thumbnail;
            answer.valid = g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID);
            g_object_unref(info);
        }
        g_object_unref(handle);
        return answer;
    }
};
