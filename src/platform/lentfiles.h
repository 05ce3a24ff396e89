#pragma once

#include <QByteArray>

// The files a process reads through descriptors another process opened for it, by path. The
// reader helper may not open the library's files itself: the application opens each one and
// lends the descriptor with the request, and RegularFile hands out copies of it under the
// file's path, so the readers keep naming files by path. Once `makeExclusive` is called,
// RegularFile opens nothing that was not lent. Thread-safe.
namespace LentFiles {

// From now on files are only read when lent (irreversible).
void makeExclusive();
bool isExclusive();

// Lends `fd` (now owned here) under `path`, replacing what was lent under it before.
void lend(const QByteArray &path, int fd);
// Closes every lent descriptor: the request they came with is answered.
void returnAll();

// A new descriptor for the file lent under `path`, positioned at its start (the copies share
// one position, so a reader reads one copy at a time); -1 with errno EACCES when nothing is
// lent under that path.
int duplicate(const QByteArray &path);

} // namespace LentFiles
