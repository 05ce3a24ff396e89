#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Which files are read as text, and how their bytes become text. Pure functions, no readers:
// the window uses them to choose a preview without loading any document library.
namespace TextFormats {

// The extensions read directly as plain text.
const QStringList &plainTextExtensions();

// The office formats read from their zip containers.
bool isOffice(const QString &extension);

// Decodes the first bytes of a plain-text file: UTF-8 (an incomplete sequence at the end of a
// cut read is dropped), else UTF-16 (a byte-order mark or the pattern of zero bytes decides the
// byte order), else empty text for data that is not text.
QString decodePlainText(QByteArray bytes, bool cut);

} // namespace TextFormats
