#pragma once

#include <QByteArrayList>
#include <QString>

#include <optional>

class QWidget;

// The dialog that adds folders to the library. It lets the user pick several folders at once
// (Ctrl- or Shift-click in the list); absent when the user cancelled.
namespace FolderChooser {
std::optional<QByteArrayList> choose(QWidget *parent, const QString &message, const QString &prompt);
} // namespace FolderChooser
