#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The text the user's text index holds per file, for matching search words against content.
namespace IndexedContent {

// $XDG_DATA_HOME/Quillon/text-index.json
QString defaultFile();

// The "text" string of every member of the index file's top-level object, keyed by the member
// name (the file's path). A missing or malformed file gives no entries; a member without a
// text string is left out.
QHash<QByteArray, QString> load(const QString &file);

} // namespace IndexedContent
