#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The text chunks of a PNG stream, read and rewritten without decoding its pixels.
//
// Qt's PNG writer stores a value of 40 characters or more as a compressed zTXt chunk, and GLib's
// thumbnail check (behind GIO's thumbnail::is-valid, which GTK's file chooser and Files use)
// reads only plain tEXt chunks, so the keys of a shared thumbnail are written here instead.
//
// Stateless functions of values; safe on any thread.
namespace PngText {

struct Entry
{
    QByteArray key;
    QByteArray value;

    bool operator==(const Entry &) const = default;
};

// The keyword and text of every plain tEXt chunk, in file order. Empty when `png` is not a PNG
// stream whose chunks are intact up to the end of the data read.
QList<Entry> plainEntries(QByteArrayView png);

// `png` without any text chunk (tEXt, zTXt, iTXt), with `entries` as tEXt chunks right after the
// header chunk. Empty when `png` is not an intact PNG stream or an entry cannot be a tEXt chunk
// (a key of 1 to 79 bytes, neither key nor value holding a NUL byte).
QByteArray withPlainEntries(QByteArrayView png, const QList<Entry> &entries);

} // namespace PngText
