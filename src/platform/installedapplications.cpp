#include "platform/installedapplications.h"

#include "platform/directoryreader.h"
#include "platform/processoutput.h"
#include "platform/xdgpaths.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<DirectoryReader::Entry> listFolder(const QByteArray &path)
{
    std::vector<DirectoryReader::Entry> entries;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return entries;
    if (!DirectoryReader::readAll(fd, entries))
        entries.clear();
    ::close(fd);
    return entries;
}

} // namespace

InstalledApplications::Locations InstalledApplications::Locations::system()
{
    Locations locations;
    locations.flatpakExports = { "/var/lib/flatpak/exports/share/applications",
        QFile::encodeName(XdgPaths::dataHome()) + "/flatpak/exports/share/applications" };
    return locations;
}

QSet<QByteArray> InstalledApplications::parseDpkgStatus(const QByteArray &contents)
{
    QSet<QByteArray> installed;
    QByteArray package;
    bool isInstalled = false;
    const auto finishParagraph = [&] {
        if (!package.isEmpty() && isInstalled)
            installed.insert(package);
        package.clear();
        isInstalled = false;
    };
    for (const QByteArray &line : contents.split('\n')) {
        if (line.trimmed().isEmpty()) {
            finishParagraph();
        } else if (line.startsWith("Package:")) {
            package = line.mid(8).trimmed();
        } else if (line.startsWith("Status:")) {
            // "Status: install ok installed": want, error flag, state.
            const QByteArrayList words = line.mid(7).simplified().split(' ');
            isInstalled = words.size() == 3 && words[2] == "installed";
        }
    }
    finishParagraph();
    return installed;
}

InstalledApplications InstalledApplications::collect(const Locations &locations)
{
    InstalledApplications installed;
    for (const DirectoryReader::Entry &entry : listFolder(locations.applicationsFolder)) {
        const qsizetype dot = entry.name.lastIndexOf('.');
        if (dot > 0 && entry.name.mid(dot + 1) == "app")
            installed.bundles.append(entry.name.left(dot));
    }

    QFile status(QFile::decodeName(locations.dpkgStatus));
    if (!locations.dpkgStatus.isEmpty() && status.open(QIODevice::ReadOnly))
        installed.debPackages = parseDpkgStatus(status.readAll());

    if (locations.queryRpm) {
        if (const auto names = ProcessOutput::run({ "rpm", "-qa", "--qf", "%{NAME}\\n" }, 60'000)) {
            for (const QByteArray &name : names->split('\n')) {
                if (!name.isEmpty())
                    installed.rpmPackages.insert(name);
            }
        }
    }

    for (const QByteArray &folder : locations.flatpakExports) {
        for (const DirectoryReader::Entry &entry : listFolder(folder)) {
            if (entry.name.endsWith(".desktop") && entry.name.size() > 8)
                installed.flatpakApps.insert(entry.name.chopped(8));
        }
    }

    // An installed snap is mounted at /snap/NAME/REVISION with "current" pointing at one.
    for (const DirectoryReader::Entry &entry : listFolder(locations.snapRoot)) {
        struct stat st = {};
        const QByteArray current = locations.snapRoot + '/' + entry.name + "/current";
        if (!entry.name.startsWith('.') && ::lstat(current.constData(), &st) == 0)
            installed.snaps.insert(entry.name);
    }
    return installed;
}
