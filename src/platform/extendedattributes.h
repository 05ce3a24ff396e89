#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

// User extended attributes of a file, read without following a final symbolic link.
// Every read is bounded: a value larger than `maxSize` is treated as absent.
class ExtendedAttributes
{
public:
    static constexpr qsizetype kDefaultMaxSize = 16 * 1024;

    // Names of the attributes present; empty when there are none or the file system has none.
    static QByteArrayList names(const QByteArray &path);
    static std::optional<QByteArray> value(const QByteArray &path, const char *name,
                                           qsizetype maxSize = kDefaultMaxSize);
};
