#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

// Local file URLs made from, and read back into, a path's exact bytes.
//
// QUrl::fromLocalFile takes a QString, which loses names that are not valid UTF-8; these
// functions percent-encode byte for byte instead, so every path round-trips. Stateless; safe to
// call from any thread.
namespace FileUrl {

// "file://" followed by the path with every byte outside the unreserved characters and '/'
// written as "%XX" (upper-case hexadecimal). `path` must be absolute.
QByteArray encoded(const QByteArray &path);

// The URL of `encoded(path)`, parsed strictly.
QUrl fromPath(const QByteArray &path);

// The path bytes of a local file URL ("file:" with no host or "localhost"), percent-decoded byte
// for byte. Absent for other schemes and for URLs that cannot name one local path exactly: a
// relative or empty path, a query or fragment, or an encoded NUL or '/' inside a name.
std::optional<QByteArray> toPath(const QUrl &url);

} // namespace FileUrl
