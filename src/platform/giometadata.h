#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// GIO's per-file metadata store (GVfs), where Firefox and GTK applications record the address a
// file was downloaded from ("metadata::download-uri").
//
// The store exists only where GVfs runs; `isAvailable` says so without starting anything, and
// `downloadUri` then reads one file's entry. Both are thread-safe.
class GioMetadata
{
public:
    static bool isAvailable();
    static std::optional<QString> downloadUri(const QByteArray &path);
};
