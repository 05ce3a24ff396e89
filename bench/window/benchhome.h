#pragma once

#include <QByteArray>
#include <QString>

// The files a window benchmark restores at start-up, written through the application's own
// settings and text-index code: a settings file whose folder list holds one library, and a text
// index with synthetic text for every file of that library an indexing run reads (PDFs, text,
// office documents, images). Each entry carries the file's modification date and size as
// scanned, so an indexing run finds nothing to read again and keeps every entry.
namespace BenchHome {

struct Outcome
{
    bool written = false;
    qsizetype files = 0; // entries in the index
    qint64 textBytes = 0; // UTF-8 bytes of text in the index
    QString error; // why nothing was written
};

// $configHome/tessary/defaults.json naming `library`, and $dataHome/Quillon/text-index.json with
// about `textBytes` of text spread over those files. The text is the same for the same
// library and byte count.
Outcome write(const QByteArray &library, const QString &configHome, const QString &dataHome, qint64 textBytes);

QString settingsFile(const QString &configHome);
QString indexFile(const QString &dataHome);

} // namespace BenchHome
