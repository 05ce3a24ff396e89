#pragma once

#include <QByteArray>

#include <optional>
#include <stop_token>
#include <vector>

class Sha256;

// Reading a file's contents for comparison, under the rules every reader of contents follows:
// only regular files whose contents are on this computer (LocalFileAccess), opened without
// following a symbolic link and without blocking on anything that is not a regular file, closed
// on every path out. Stateless; the caller provides the scratch buffers, one set per thread.
namespace FileContent {

constexpr qsizetype kChunkSize = 1024 * 1024;
constexpr qsizetype kSampleSize = 4096;

// The SHA-256 of the whole file, read in chunks of kChunkSize. Absent when the file cannot be
// read, a read fails, or `stop` is requested (checked before the first read and after each chunk).
std::optional<QByteArray> digest(const QByteArray &path, Sha256 &sha, QByteArray &buffer, std::stop_token stop);

// The first and the last kSampleSize bytes of a file of `size` bytes (all of it when smaller).
// Files with equal contents always give equal samples.
std::optional<QByteArray> sample(const QByteArray &path, qint64 size);

// The files among `paths` (all of `size` bytes at the scan) whose contents are identical, as
// groups of indices into `paths`, each ascending. The files are read side by side in chunks;
// a file is dropped as soon as it differs from every other, files that cannot be read are left
// out and groups of one are not returned. Holds one chunk per file in memory and every file
// open, so callers keep `paths` short (see the limits below). Absent when `stop` is requested
// (checked after each chunk). `buffers` is scratch space, kept by the caller for reuse.
constexpr qint64 kMaxBytesSideBySide = 32 * 1024 * 1024;
// Each file is open meanwhile; a few threads must stay far below the descriptor limit.
constexpr qsizetype kMaxFilesSideBySide = 32;
std::optional<QList<QList<qsizetype>>> identicalGroups(
    const QByteArrayList &paths, qint64 size, std::vector<QByteArray> &buffers, std::stop_token stop);

} // namespace FileContent
