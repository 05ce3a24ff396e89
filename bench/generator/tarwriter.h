#pragma once

#include "platform/timestamp.h"

#include <QByteArray>

// Builds a POSIX (ustar) tar archive in memory, owned by root, with the given times. Names
// must fit the 100-byte name field.
class TarWriter
{
public:
    void addFolder(const QByteArray &name, Timestamp modified);
    void addFile(const QByteArray &name, const QByteArray &data, Timestamp modified, unsigned mode = 0644);
    // The archive with its two closing zero blocks; the writer is empty afterwards.
    QByteArray finish();

private:
    void addHeader(const QByteArray &name, qint64 size, Timestamp modified, unsigned mode, char type);

    QByteArray m_data;
};
