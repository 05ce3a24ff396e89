#pragma once

#include <QByteArrayList>
#include <QString>

class QMimeData;

// Puts files and text on the system clipboard.
//
// Files are offered in the forms desktop file managers paste as copies of the files: a URI list
// and the "copied files" formats some of them read instead, all built from the exact path bytes,
// plus the paths as plain text for text fields. Call from the GUI thread, with a
// QGuiApplication running.
namespace FileClipboard {

// The clipboard contents for `paths` (absolute), in the given order:
// "text/uri-list": each file URI followed by "\r\n";
// "x-special/gnome-copied-files" and "x-special/mate-copied-files": "copy", then "\n" and a URI
// for each file, with no trailing newline;
// "text/plain": the path bytes, one per line, with no trailing newline.
// The caller owns the result.
QMimeData *filesMimeData(const QByteArrayList &paths);

// Replaces the clipboard's contents with filesMimeData(paths).
void copyFiles(const QByteArrayList &paths);

// Replaces the clipboard's contents with `text` as plain text.
void copyText(const QString &text);

} // namespace FileClipboard
