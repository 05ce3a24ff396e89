#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
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
