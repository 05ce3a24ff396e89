#pragma once

#include <QByteArray>
#include <QColor>

// Small media files written by the tests themselves, so that every sample's trouble is known.
namespace SampleFiles {

// Silent 16-bit mono PCM at 8 kHz of the given length.
QByteArray wav(int milliseconds);
// A JPEG picture; with a camera model (four characters or more, as Exif stores shorter ones
// inline) it carries an Exif block with that Model and Orientation.
QByteArray jpeg(int width, int height, const QByteArray &model = {}, quint16 orientation = 1);
QByteArray png(int width, int height, const QColor &colour = Qt::darkCyan);
// The MessagePack map OpenVFS sync clients store in "user.openvfs.data".
QByteArray openVfsData(quint8 state, quint32 size);

} // namespace SampleFiles
