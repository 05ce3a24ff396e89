#pragma once

#include <QByteArray>

#include <optional>

// The identity of the software a Linux installer file installs: the Debian or RPM package name
// from its control data, the Flatpak application id, or the snap name.
//
// Reads the file (a Flatpak bundle's header, a .flatpakref's keys) or asks the system's own
// package tools (`dpkg-deb`, `rpm`) about it. Synchronous; safe on any thread. `path` must be
// absolute, so a helper program never mistakes it for an option.
namespace InstallerPackage {

enum class Format { deb, rpm, flatpak, flatpakref, snap };

// From a lower-case extension ("deb", "rpm", "flatpak", "flatpakref", "snap").
std::optional<Format> formatOf(const QByteArray &extension);

// Absent when the file cannot be read or does not name its software.
std::optional<QByteArray> name(const QByteArray &path, Format format);

// The pieces behind `name` that need no helper program.
std::optional<QByteArray> flatpakRefName(const QByteArray &contents);
std::optional<QByteArray> flatpakBundleName(const QByteArray &header);
std::optional<QByteArray> snapName(const QByteArray &fileName);

} // namespace InstallerPackage
