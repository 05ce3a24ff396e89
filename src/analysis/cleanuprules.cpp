#include "analysis/cleanuprules.h"

#include "library/fileidentity.h"
#include "library/localfileaccess.h"
#include "platform/filemove.h"
#include "platform/filestatus.h"
#include "platform/installerpackage.h"
#include "platform/systemerror.h"
#include "platform/trash.h"
#include "platform/uniquefd.h"

#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QByteArray kScreenshotsFolder = "Screenshots";

QByteArray fileName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// The extension of a name in lower case; a leading dot does not start one.
QByteArray lowerExtension(const QByteArray &name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QByteArray();
}

QString errorLine(const FileRecord &record, const QString &description)
{
    return record.name() + QStringLiteral(": ") + description;
}

std::optional<Trash::Expected> expectedEntry(const FileRecord &record)
{
    const auto parts = record.identity ? FileIdentity::parse(*record.identity) : std::nullopt;
    if (!parts)
        return std::nullopt;
    return Trash::Expected { parts->device, parts->inode };
}

bool isSymbolicLink(const QByteArray &path)
{
    const auto status = FileStatus::read(path);
    return status && status->isSymbolicLink();
}

// Opens (creating where missing) a folder inside `parentFd`; `failure` is set to an error text
// when the folder cannot be made, and left empty when a symbolic link took its place.
UniqueFd folderIn(int parentFd, const QByteArray &name, QString &failure)
{
    if (::mkdirat(parentFd, name.constData(), 0777) != 0 && errno != EEXIST) {
        failure = SystemError::text(errno);
        return UniqueFd();
    }
    UniqueFd fd(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.isValid() && errno != ELOOP)
        failure = SystemError::text(errno);
    return fd;
}

void fileScreenshot(const FileRecord &record, const QByteArray &destination, const std::stop_token &stop,
    CleanupRules::Outcome &outcome)
{
    // An existing file is never replaced and no other name is tried.
    if (FileStatus::read(destination))
        return;
    const QByteArray monthFolder = destination.left(destination.lastIndexOf('/'));
    const QByteArray screenshotsFolder = monthFolder.left(monthFolder.lastIndexOf('/'));
    if (isSymbolicLink(screenshotsFolder) || isSymbolicLink(monthFolder))
        return;

    const QByteArray folder = record.path.left(record.path.lastIndexOf('/'));
    UniqueFd parent(::open(folder.isEmpty() ? "/" : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isValid()) {
        outcome.errors.append(errorLine(record, SystemError::text(errno)));
        return;
    }
    // Relative to open folders with O_NOFOLLOW: a link that appears after the checks above is
    // refused instead of followed.
    QString failure;
    const UniqueFd screenshots = folderIn(parent.get(), kScreenshotsFolder, failure);
    const UniqueFd month
        = screenshots.isValid() ? folderIn(screenshots.get(), fileName(monthFolder), failure) : UniqueFd();
    if (!month.isValid()) {
        if (!failure.isEmpty())
            outcome.errors.append(errorLine(record, failure));
        return;
    }

    if (stop.stop_requested() || !CleanupRules::unchangedLocalFile(record))
        return;
    const QByteArray name = fileName(record.path);
    const auto expected = expectedEntry(record);
    struct stat st = {};
    if (!expected || ::fstatat(parent.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
        || st.st_dev != expected->device || st.st_ino != expected->inode)
        return;
    const FileMove::Result moved
        = FileMove::renameNoReplace(parent.get(), name.constData(), month.get(), name.constData());
    if (moved.ok())
        ++outcome.changed;
    else
        outcome.errors.append(errorLine(record, moved.description()));
}

} // namespace

CleanupRules::Installed CleanupRules::Installed::collect(const InstalledApplications::Locations &locations)
{
    Installed installed;
    installed.system = InstalledApplications::collect(locations);
    for (const QByteArray &bundle : std::as_const(installed.system.bundles))
        installed.applicationNames.insert(normalizedInstallerName(QString::fromUtf8(bundle)));
    return installed;
}

CleanupRules::Environment CleanupRules::Environment::current()
{
    return { InstalledApplications::Locations::system(), QTimeZone::systemTimeZone(), std::nullopt };
}

QString CleanupRules::normalizedInstallerName(const QString &name)
{
    static const QRegularExpression trailing(QStringLiteral("[0-9._ -]+$"));
    static const QRegularExpression separators(QStringLiteral("[ _-]"));
    QString normalized = name.toLower();
    normalized.remove(trailing);
    normalized.remove(separators);
    return normalized;
}

bool CleanupRules::unchangedLocalFile(const FileRecord &record)
{
    if (record.isCloudOnly || record.isPackage || !record.identity)
        return false;
    const auto identity = FileIdentity::read(record.path);
    if (!identity || *identity != *record.identity || !LocalFileAccess::canReadContents(record.path))
        return false;
    const auto status = FileStatus::read(record.path);
    return status && status->isRegular() && FileIdentity::fingerprint(status->device, status->inode) == *record.identity
        && status->size == record.size && status->modified == record.modified;
}

bool CleanupRules::installedInstaller(const FileRecord &record, const Installed &installed, const Timestamp &now)
{
    const QByteArray name = fileName(record.path);
    const QByteArray extension = lowerExtension(name);
    const bool byName = extension == "dmg" || extension == "pkg";
    const auto format = InstallerPackage::formatOf(extension);
    if (!byName && !format)
        return false;
    const Timestamp cutoff = Timestamp::fromUnix(now.unixSeconds() - kInstallerAgeSeconds, now.nanoseconds());
    if (!(record.modified < cutoff))
        return false;

    if (byName) {
        const QString normalized
            = normalizedInstallerName(QString::fromUtf8(name.left(name.size() - extension.size() - 1)));
        return !normalized.isEmpty() && installed.applicationNames.contains(normalized);
    }
    const auto package = InstallerPackage::name(record.path, *format);
    if (!package)
        return false;
    switch (*format) {
    case InstallerPackage::Format::deb:
        return installed.system.debPackages.contains(*package);
    case InstallerPackage::Format::rpm:
        return installed.system.rpmPackages.contains(*package);
    case InstallerPackage::Format::flatpak:
    case InstallerPackage::Format::flatpakref:
        return installed.system.flatpakApps.contains(*package);
    case InstallerPackage::Format::snap:
        return installed.system.snaps.contains(*package);
    }
    return false;
}

std::optional<QByteArray> CleanupRules::screenshotDestination(const FileRecord &record, const QTimeZone &timeZone)
{
    if (!record.isScreenshot())
        return std::nullopt;
    const qsizetype slash = record.path.lastIndexOf('/');
    const QByteArray folder = record.path.left(std::max<qsizetype>(slash, 0));
    if (fileName(folder.left(std::max<qsizetype>(folder.lastIndexOf('/'), 0))) == kScreenshotsFolder)
        return std::nullopt;

    const QDateTime created = record.created.toDateTime().toTimeZone(timeZone);
    const int year = created.isValid() ? created.date().year() : 2000;
    const int month = created.isValid() ? created.date().month() : 1;
    const QByteArray yearMonth
        = QByteArray::number(year).rightJustified(4, '0') + '-' + QByteArray::number(month).rightJustified(2, '0');
    return folder + '/' + kScreenshotsFolder + '/' + yearMonth + '/' + fileName(record.path);
}

CleanupRules::Outcome CleanupRules::run(const QList<FileRecord> &records, Rules rules, std::stop_token stop)
{
    return run(records, rules, std::move(stop), Environment::current());
}

CleanupRules::Outcome CleanupRules::run(
    const QList<FileRecord> &records, Rules rules, std::stop_token stop, const Environment &environment)
{
    Outcome outcome;
    const Installed installed = Installed::collect(environment.locations);
    const Timestamp now = environment.now.value_or(Timestamp::now());
    for (const FileRecord &record : records) {
        if (stop.stop_requested())
            break;
        if (!unchangedLocalFile(record))
            continue;
        if (rules.installers && installedInstaller(record, installed, now)) {
            // Reading the installer's identity took time: prove it again right before the move.
            if (stop.stop_requested() || !unchangedLocalFile(record))
                continue;
            const Trash::Result trashed = Trash::moveToTrash(record.path, expectedEntry(record));
            if (trashed.ok)
                ++outcome.changed;
            else
                outcome.errors.append(errorLine(record, trashed.error));
            continue;
        }
        if (!rules.screenshots)
            continue;
        if (const auto destination = screenshotDestination(record, environment.timeZone))
            fileScreenshot(record, *destination, stop, outcome);
    }
    return outcome;
}
