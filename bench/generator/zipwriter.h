#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
#include <QList>

// Builds a zip archive in memory: entries stored or deflated, UTF-8 names, Unix modes, and
// times in the archive's two-second resolution. Not for archives over 4 GB (no Zip64).
class ZipWriter
{
public:
    enum class Method { stored, deflated };

    // Entries keep the order of the calls; a format that needs a first entry (the "mimetype"
    // of OpenDocument, stored) adds it first.
    void add(const QByteArray &name, const QByteArray &data, Timestamp modified, Method method = Method::deflated,
        unsigned mode = 0644);
    // The finished archive; the writer is empty afterwards.
    QByteArray finish();

private:
    struct Entry
    {
        QByteArray name;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 size = 0;
        quint32 offset = 0;
        quint16 method = 0;
        quint16 time = 0;
        quint16 date = 0;
        unsigned mode = 0644;
    };

    QByteArray m_data;
    QList<Entry> m_entries;
};
