#pragma once

#include <QByteArray>

// The edits that make a copied recording a file of its own.
namespace MediaStamp {

struct Tags
{
    QByteArray title;
    QByteArray artist;
    QByteArray album;
    QByteArray track;
};

// An ID3v2.4 tag with UTF-8 text frames, to put in front of MPEG audio frames.
QByteArray id3(const Tags &tags);
// The FLAC stream with its Vorbis comment block replaced by one naming the track. Throws
// std::runtime_error when the stream's metadata cannot be parsed.
QByteArray withFlacComments(const QByteArray &flac, const Tags &tags);
// The Ogg stream with every page given `serial` and its checksum redone. Throws
// std::runtime_error when a page is malformed.
QByteArray withOggSerial(QByteArray ogg, quint32 serial);

} // namespace MediaStamp
