#pragma once

#include "generator/plannedfile.h"

#include <QByteArray>

// Installers as they are downloaded: Debian and RPM packages that name their package (`title`)
// and version (`text`) the way the package tools read them, disk images, AppImages and Flatpak
// references. The payloads are opaque bytes. Thread-safe.
namespace InstallerContent {
QByteArray make(const PlannedFile &file);
}
