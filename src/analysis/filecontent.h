#pragma once

#include "analysis/sha256.h"

#include <QByteArray>
#include <QList>

#include <optional>
#include <stop_token>
#include <vector>

// Reading a file's contents for comparison, under the rules every reader of contents follows:
// only regular files whose contents are on this computer (LocalFileAccess), opened without
// following a symbolic link and without blocking on anything that is not a regular file, closed
// on every path out. Stateless; the caller provides the scratch buffers, one set per thread.
namespace FileContent {

constexpr qsizetype kChunkSize = 1024 * 1024;
constexpr qsizetype kSampleSize = 4096;

// The SHA-256 of the whole file, read in chunks of kChunkSize. Absent when the file cannot be
// read, a read fails, or `stop` is requested (checked before the first read and after each chunk).
std::optional<Sha256::Digest> digest(const QByteArray &path, Sha256 &sha, QByteArray &buffer, std::stop_token stop);

// A 64-bit key of the first and the last kSampleSize bytes of a file of `size` bytes (all of it
// when smaller). Files with equal contents always have equal keys; files with different contents
// almost always have different ones, so a key only narrows the files that must still be
// compared, it never proves two equal. `buffer` is scratch space kept by the caller.
std::optional<quint64> sampleKey(const QByteArray &path, qint64 size, QByteArray &buffer);

// The files among `paths` (all of `size` bytes at the scan) whose contents are identical, as
// groups of indices into `paths`, each ascending. The files are read side by side, one chunk of
// each at a time, and compared byte for byte; a file is dropped and closed as soon as it differs
// from every other, files that cannot be read are left out and groups of one are not returned.
// Every file is open meanwhile and the chunks together take kSideBySideBytes (a chunk is smaller
// the more files there are), so `paths` must hold at most kMaxFilesSideBySide. Absent when
// `stop` is requested (checked after each chunk). `arena` is scratch space for the chunks,
// kept by the caller for reuse.
constexpr qsizetype kMaxFilesSideBySide = 64;
constexpr qsizetype kSideBySideBytes = 2 * 1024 * 1024;
std::optional<QList<QList<qsizetype>>> identicalGroups(
    const QByteArrayList &paths, qint64 size, QByteArray &arena, std::stop_token stop);

} // namespace FileContent
