#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
#include <QImage>
#include <QTemporaryDir>

// A temporary folder in which tests build trees with chosen contents, times and modes.
// Paths given to its methods are relative to the folder; the results are absolute bytes.
class TestTree
{
public:
    TestTree();
    // Removes the tree, names that are not valid UTF-8 included.
    ~TestTree();
    TestTree(const TestTree &) = delete;
    TestTree &operator=(const TestTree &) = delete;

    QByteArray root() const { return m_root; }
    QByteArray path(const QByteArray &relative) const;

    QByteArray file(const QByteArray &relative, const QByteArray &contents = {});
    QByteArray folder(const QByteArray &relative);
    QByteArray symlink(const QByteArray &relative, const QByteArray &target);
    QByteArray fifo(const QByteArray &relative);
    // Writes `image` as another program would write a thumbnail: a PNG in
    // cache/thumbnails/`sizeFolder` named after the MD5 of `uri`, whose Thumb::URI key is
    // `recordedUri` (`uri` when empty) and whose Thumb::MTime key is `mtime` when not empty.
    void thumbnail(const QByteArray &sizeFolder, const QByteArray &uri, const QByteArray &mtime, QImage image,
        const QByteArray &recordedUri = {});
    // Sets access and modification times exactly (nanoseconds included).
    void setModified(const QByteArray &relative, const Timestamp &time);
    void setMode(const QByteArray &relative, unsigned mode);
    // Sets a user extended attribute; returns false where the file system has none (tmpfs
    // before Linux 6.6), so the caller can skip.
    bool setAttribute(const QByteArray &relative, const char *name, const QByteArray &value);
    // Points HOME at the tree and XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME at its
    // config, data and cache folders, so nothing the test runs reaches the user's own files.
    void becomeHome() const;

private:
    void makeParent(const QByteArray &relative);

    QTemporaryDir m_dir;
    QByteArray m_root;
};

// The file's contents, by the path's exact bytes (QFile would decode a name that is not UTF-8
// lossily), or "<missing>" when it cannot be opened.
QByteArray readFile(const QByteArray &path);
// Writes the file whole, ending the test program when it cannot.
void writeFile(const QByteArray &path, const QByteArray &contents);
// The permission bits of the entry itself, or -1 when there is none.
int modeOf(const QByteArray &path);
