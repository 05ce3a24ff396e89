#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>

// What is installed on this system, as the installer clean-up rule needs it: application
// bundles in an "Applications" folder (copied from another system), Debian and RPM packages,
// Flatpak applications with an exported desktop entry, and snaps.
//
// A plain value, collected once per run; `collect` only reads. Everything that cannot be read
// is simply empty, so nothing matches it.
struct InstalledApplications
{
    struct Locations
    {
        QByteArray applicationsFolder = "/Applications";
        QByteArray dpkgStatus = "/var/lib/dpkg/status";
        // Folders of exported desktop entries, "ID.desktop" each.
        QByteArrayList flatpakExports;
        QByteArray snapRoot = "/snap";
        // Whether to ask the rpm database (runs `rpm -qa`).
        bool queryRpm = true;

        // The system-wide places, plus the user's own Flatpak installation.
        static Locations system();
    };

    // Names of the entries of the applications folder whose extension is exactly "app",
    // without the extension; hidden entries included, no recursion.
    QByteArrayList bundles;
    QSet<QByteArray> debPackages;
    QSet<QByteArray> rpmPackages;
    QSet<QByteArray> flatpakApps;
    QSet<QByteArray> snaps;

    static InstalledApplications collect(const Locations &locations);

    // Package names whose status in a dpkg status file says "installed".
    static QSet<QByteArray> parseDpkgStatus(const QByteArray &contents);
};
