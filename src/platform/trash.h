#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// Moves files to the Trash the way the freedesktop Trash specification describes, so any file
// manager (and trash-cli) lists and restores them.
//
// A file on the file system of the home trash ($XDG_DATA_HOME/Trash) goes there; a file on
// another mount goes to "$topdir/.Trash/$uid" when an administrator prepared a sticky ".Trash"
// there, else to "$topdir/.Trash-$uid", created on demand with mode 0700. Each trashed entry is
// a pair: "info/NAME.trashinfo", claimed first with O_EXCL so two processes never take the same
// NAME, and "files/NAME", reached by a rename that never replaces anything. Nothing is ever
// copied: when no trash exists on the file's own file system the file stays where it is.
//
// Path bytes are used exactly; names that are not valid UTF-8 are percent-encoded byte for byte
// in the ".trashinfo" file. Synchronous and stateless; safe to call from any thread.
class Trash
{
public:
    // The device and inode the entry at `path` must still have when it is moved. When given,
    // they are compared right before the rename and again on the entry that arrived in the
    // trash; a mismatch puts the entry back (it was swapped in the meantime) and fails.
    struct Expected
    {
        dev_t device = 0;
        ino_t inode = 0;
    };

    struct Result
    {
        bool ok = false;
        QString error; // a sentence for an error line when !ok
        QByteArray trashedPath; // ".../files/NAME" when ok
        QByteArray infoPath; // ".../info/NAME.trashinfo" when ok
    };

    // `path` must be absolute. A final symbolic link is trashed as the link, never followed.
    static Result moveToTrash(const QByteArray &path, std::optional<Expected> expected = std::nullopt);

    // $XDG_DATA_HOME/Trash as bytes.
    static QByteArray homeTrashPath();

    // The "Path" value of a ".trashinfo" file: every byte outside the unreserved characters and
    // '/' as "%XX" (upper-case hexadecimal).
    static QByteArray encodePath(const QByteArray &path);

    // The name under files/ for the attempt'th try (1: the name itself, 2: "stem.2.ext", ...),
    // shortened on a UTF-8 boundary where needed so that NAME.trashinfo fits in 255 bytes.
    static QByteArray candidateName(const QByteArray &name, int attempt);
};
