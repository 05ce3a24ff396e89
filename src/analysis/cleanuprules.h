#pragma once

#include "library/filerecord.h"
#include "platform/installedapplications.h"
#include "platform/timestamp.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QTimeZone>

#include <optional>
#include <stop_token>

// The two optional automatic rules: old installers of installed software go to the Trash, and
// screenshots are filed into "Screenshots/YYYY-MM" folders beside them.
//
// A stateless worker. `run` is synchronous, meant for a worker thread, and the only function
// here that changes anything on disk. Every file is proved unchanged against its scan record
// right before it is touched; a screenshot move never replaces anything (a no-replace rename,
// refused outright where the file system cannot do one); nothing is ever copied.
class CleanupRules
{
public:
    // 90 days of 86,400 seconds: an installer must be older than this.
    static constexpr qint64 kInstallerAgeSeconds = 7'776'000;

    struct Rules
    {
        bool installers = false;
        bool screenshots = false;
    };

    struct Outcome
    {
        int changed = 0; // files moved to the Trash plus screenshots moved
        QStringList errors; // "NAME: description", one per failed operation
    };

    // What the installer rule compares against.
    struct Installed
    {
        QSet<QString> applicationNames; // normalised names of the application bundles
        InstalledApplications system;

        static Installed collect(const InstalledApplications::Locations &locations);
    };

    // Where `run` looks and what time and calendar it uses.
    struct Environment
    {
        InstalledApplications::Locations locations;
        QTimeZone timeZone;
        std::optional<Timestamp> now; // read at the start of the run when absent

        // The system's places, the user's time zone.
        static Environment current();
    };

    // Applies the enabled rules to each record in order. Records that changed since the scan,
    // whose destination is taken or whose destination folders are symbolic links are skipped
    // without a message; failed file operations become error lines. Cancellation is observed
    // before each record and right before each move; the counts so far are returned.
    static Outcome run(
        const QList<FileRecord> &records, Rules rules, std::stop_token stop, const Environment &environment);
    static Outcome run(const QList<FileRecord> &records, Rules rules, std::stop_token stop = {});

    // The lighter re-check: neither cloud-only nor a package, same device and inode, contents
    // on this computer, same size and modification date to the nanosecond.
    static bool unchangedLocalFile(const FileRecord &record);

    // An installer file (dmg, pkg by name; deb, rpm, flatpak, flatpakref, snap by the identity
    // of the software inside) last modified more than 90 days before `now`, whose software is
    // installed. May read the file or ask the system's package tools.
    static bool installedInstaller(const FileRecord &record, const Installed &installed, const Timestamp &now);

    // Lower case, one trailing run of digits, dots, underscores, spaces and hyphens removed, then
    // every remaining space, underscore and hyphen removed: "Lantern 128.0.2" -> "lantern".
    static QString normalizedInstallerName(const QString &name);

    // "FOLDER/Screenshots/YYYY-MM/NAME" for a screenshot in FOLDER, the year and month of its
    // creation date in `timeZone`; absent for other files and for one already filed.
    static std::optional<QByteArray> screenshotDestination(const FileRecord &record, const QTimeZone &timeZone);
};
