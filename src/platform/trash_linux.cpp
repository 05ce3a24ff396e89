#include "platform/filemove.h"

#include "platform/mounttable.h"
#include "platform/privatefile.h"
#include "platform/systemerror.h"
#include "platform/trash.h"
#include "platform/uniquefd.h"
#include "platform/xdgpaths.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kMaxAttempts = 10'000;
constexpr qsizetype kMaxNameBytes = 255;
constexpr QByteArrayView kInfoSuffix = ".trashinfo";

// Opens the folder `name` inside `parentFd`, creating it with `mode` when missing. A symbolic
// link in its place is refused.
UniqueFd openOrCreateFolder(int parentFd, const char *name, mode_t mode)
{
    if (::mkdirat(parentFd, name, mode) != 0 && errno != EEXIST)
        return UniqueFd();
    return UniqueFd(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool ownedByUser(int fd)
{
    struct stat st = {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// One trash directory with its two sub-folders open.
struct TrashFolder
{
    QByteArray path;
    UniqueFd info;
    UniqueFd files;
    // Path values are relative to this folder; empty for absolute ones (the home trash).
    QByteArray relativeTo;

    bool isValid() const { return info.isValid() && files.isValid(); }
};

std::optional<TrashFolder> openSubfolders(UniqueFd trash, QByteArray path, QByteArray relativeTo)
{
    if (!trash.isValid())
        return std::nullopt;
    TrashFolder folder { std::move(path), openOrCreateFolder(trash.get(), "info", 0700),
        openOrCreateFolder(trash.get(), "files", 0700), std::move(relativeTo) };
    if (!folder.isValid())
        return std::nullopt;
    return folder;
}

// The home trash, created with its parents where missing (the user's own data folder may be
// reached through symbolic links; the Trash folder itself may not be one).
std::optional<TrashFolder> homeTrash()
{
    const QByteArray path = Trash::homeTrashPath();
    UniqueFd current(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QByteArrayList components = path.split('/');
    for (qsizetype i = 0; i < components.size() && current.isValid(); ++i) {
        const QByteArray &component = components[i];
        if (component.isEmpty())
            continue;
        const bool last = i == components.size() - 1;
        if (::mkdirat(current.get(), component.constData(), 0700) != 0 && errno != EEXIST)
            return std::nullopt;
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (last ? O_NOFOLLOW : 0);
        current = UniqueFd(::openat(current.get(), component.constData(), flags));
    }
    return openSubfolders(std::move(current), path, {});
}

// "$topdir/.Trash/$uid" when an administrator prepared "$topdir/.Trash" (a real folder with the
// sticky bit), else "$topdir/.Trash-$uid".
std::optional<TrashFolder> topdirTrash(const QByteArray &topdir)
{
    UniqueFd top(::open(topdir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.isValid())
        return std::nullopt;
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray base = topdir.endsWith('/') ? topdir : topdir + '/';

    struct stat shared = {};
    if (::fstatat(top.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode)
        && (shared.st_mode & S_ISVTX)) {
        UniqueFd sharedFd(::openat(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedFd.isValid()) {
            UniqueFd own = openOrCreateFolder(sharedFd.get(), uid.constData(), 0700);
            if (own.isValid() && ownedByUser(own.get())) {
                if (auto folder = openSubfolders(std::move(own), base + ".Trash/" + uid, topdir))
                    return folder;
            }
        }
    }
    const QByteArray name = ".Trash-" + uid;
    UniqueFd own = openOrCreateFolder(top.get(), name.constData(), 0700);
    if (!own.isValid() || !ownedByUser(own.get()))
        return std::nullopt;
    return openSubfolders(std::move(own), base + name, topdir);
}

bool sameEntry(int directoryFd, const char *name, const Trash::Expected &expected)
{
    struct stat st = {};
    return ::fstatat(directoryFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == expected.device
        && st.st_ino == expected.inode;
}

QByteArray deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return QByteArray(text, static_cast<qsizetype>(length));
}

struct Attempt
{
    enum class Outcome { done, otherFileSystem, failed } outcome = Outcome::failed;
    Trash::Result result;
};

// The file's own folder, open, and the name inside it.
struct Source
{
    UniqueFd parent;
    QByteArray parentPath;
    QByteArray name;
    // The path as the Path key of a topdir trash needs it: the real parent plus the name.
    QByteArray realPath;
};

Attempt moveInto(const Source &source, const TrashFolder &trash, const std::optional<Trash::Expected> &expected)
{
    Attempt attempt;
    QByteArray pathValue = source.realPath;
    if (!trash.relativeTo.isEmpty()) {
        const QByteArray prefix = trash.relativeTo.endsWith('/') ? trash.relativeTo : trash.relativeTo + '/';
        if (!pathValue.startsWith(prefix)) {
            attempt.outcome = Attempt::Outcome::otherFileSystem;
            return attempt;
        }
        pathValue = pathValue.mid(prefix.size());
    } else {
        pathValue = (source.parentPath == "/" ? source.parentPath : source.parentPath + '/') + source.name;
    }
    const QByteArray info
        = "[Trash Info]\nPath=" + Trash::encodePath(pathValue) + "\nDeletionDate=" + deletionDate() + '\n';

    for (int n = 1; n <= kMaxAttempts; ++n) {
        const QByteArray candidate = Trash::candidateName(source.name, n);
        const QByteArray infoName = candidate + kInfoSuffix;
        UniqueFd infoFd(::openat(
            trash.info.get(), infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd.isValid()) {
            if (errno == EEXIST)
                continue;
            attempt.result.error = SystemError::text(errno);
            return attempt;
        }
        const auto abandon = [&](QString error) {
            ::unlinkat(trash.info.get(), infoName.constData(), 0);
            attempt.result.error = std::move(error);
            return attempt;
        };
        if (!PrivateFile::writeAll(infoFd.get(), info) || ::fsync(infoFd.get()) != 0)
            return abandon(SystemError::text(errno));
        infoFd = UniqueFd();

        if (expected && !sameEntry(source.parent.get(), source.name.constData(), *expected))
            return abandon(QStringLiteral("The file changed since it was checked"));

        FileMove::Result moved = FileMove::renameNoReplace(
            source.parent.get(), source.name.constData(), trash.files.get(), candidate.constData());
        if (moved.outcome == FileMove::Outcome::unsupported) {
            // files/ lies in a folder only this user can write to, so a plain rename after
            // checking that the name is free cannot replace anybody else's file.
            struct stat st = {};
            if (::fstatat(trash.files.get(), candidate.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                moved = { FileMove::Outcome::destinationExists, EEXIST };
            else if (::renameat(source.parent.get(), source.name.constData(), trash.files.get(), candidate.constData())
                == 0)
                moved = { FileMove::Outcome::moved, 0 };
            else
                moved = { errno == EXDEV ? FileMove::Outcome::crossDevice : FileMove::Outcome::failed, errno };
        }
        switch (moved.outcome) {
        case FileMove::Outcome::moved:
            break;
        case FileMove::Outcome::destinationExists:
            // A stray entry in files/ without its info file: leave it and try the next name.
            ::unlinkat(trash.info.get(), infoName.constData(), 0);
            continue;
        case FileMove::Outcome::crossDevice:
            abandon({});
            attempt.outcome = Attempt::Outcome::otherFileSystem;
            return attempt;
        case FileMove::Outcome::unsupported:
        case FileMove::Outcome::failed:
            return abandon(moved.description());
        }

        if (expected && !sameEntry(trash.files.get(), candidate.constData(), *expected)) {
            // Another entry took the file's place between the check and the rename: put it back.
            const auto back = FileMove::renameNoReplace(
                trash.files.get(), candidate.constData(), source.parent.get(), source.name.constData());
            if (back.ok())
                return abandon(QStringLiteral("The file changed since it was checked"));
            attempt.result.error = QStringLiteral(
                "The file changed since it was checked; the entry that took its place is in the Trash");
            return attempt;
        }
        attempt.outcome = Attempt::Outcome::done;
        attempt.result.ok = true;
        attempt.result.trashedPath = trash.path + "/files/" + candidate;
        attempt.result.infoPath = trash.path + "/info/" + infoName;
        return attempt;
    }
    attempt.result.error = QStringLiteral("No free name in the Trash");
    return attempt;
}

} // namespace

QByteArray Trash::homeTrashPath()
{
    return QFile::encodeName(XdgPaths::dataHome()) + "/Trash";
}

QByteArray Trash::encodePath(const QByteArray &path)
{
    return path.toPercentEncoding("/");
}

QByteArray Trash::candidateName(const QByteArray &name, int attempt)
{
    QByteArray stem = name;
    QByteArray extension;
    const qsizetype dot = name.lastIndexOf('.');
    if (attempt > 1 && dot > 0 && name.size() - dot <= 16) {
        stem = name.left(dot);
        extension = name.mid(dot);
    }
    const QByteArray counter = attempt > 1 ? '.' + QByteArray::number(attempt) : QByteArray();
    const qsizetype room = kMaxNameBytes - kInfoSuffix.size() - counter.size() - extension.size();
    if (stem.size() > room) {
        qsizetype cut = room;
        // Never split a UTF-8 sequence: step back over continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.truncate(cut);
    }
    return stem + counter + extension;
}

Trash::Result Trash::moveToTrash(const QByteArray &path, std::optional<Expected> expected)
{
    Result failure;
    const qsizetype slash = path.lastIndexOf('/');
    if (!path.startsWith('/') || slash == path.size() - 1) {
        failure.error = QStringLiteral("Not an absolute file path");
        return failure;
    }
    Source source;
    source.parentPath = slash == 0 ? QByteArray("/") : path.left(slash);
    source.name = path.mid(slash + 1);
    if (source.name == "." || source.name == "..") {
        failure.error = QStringLiteral("Not an absolute file path");
        return failure;
    }
    source.parent = UniqueFd(::open(source.parentPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st = {};
    if (!source.parent.isValid()
        || ::fstatat(source.parent.get(), source.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        failure.error = SystemError::text(errno);
        return failure;
    }
    if (expected && (st.st_dev != expected->device || st.st_ino != expected->inode)) {
        failure.error = QStringLiteral("The file changed since it was checked");
        return failure;
    }

    std::optional<TrashFolder> home = homeTrash();
    struct stat homeStatus = {};
    if (home && ::fstat(home->files.get(), &homeStatus) == 0 && homeStatus.st_dev == st.st_dev) {
        Attempt attempt = moveInto(source, *home, expected);
        if (attempt.outcome != Attempt::Outcome::otherFileSystem)
            return attempt.result;
        // Same device but another mount of it (a bind mount): the topdir trash may still work.
    }

    const std::optional<QByteArray> topdir = MountTable::topDirectory(path);
    const std::optional<TrashFolder> trash = topdir ? topdirTrash(*topdir) : std::nullopt;
    if (trash) {
        char resolved[PATH_MAX];
        if (::realpath(source.parentPath.constData(), resolved) != nullptr) {
            const QByteArray parent(resolved);
            source.realPath = (parent == "/" ? parent : parent + '/') + source.name;
            Attempt attempt = moveInto(source, *trash, expected);
            if (attempt.outcome != Attempt::Outcome::otherFileSystem)
                return attempt.result;
        }
    }
    failure.error = QStringLiteral("There is no Trash on the file system of this file; it was left in place");
    return failure;
}
