#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Opens a regular file by its exact path bytes, as RegularFile does. QFile alone would pass the
// path through a QString, which does not keep a name that is not valid UTF-8.
class ExactFile
{
public:
    // Opens `file` read-only on `path`; on failure returns false with the system's reason in
    // `error`. The descriptor is closed with `file`.
    static bool open(QFile &file, const QByteArray &path, QString *error);
};
