#include "ui/common/folderchooser.h"

#include "platform/fileurl.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QStandardPaths>

namespace FolderChooser {

std::optional<QByteArrayList> choose(QWidget *parent, const QString &message, const QString &prompt)
{
    QFileDialog dialog(parent, message, QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    dialog.setFileMode(QFileDialog::Directory);
    // The desktop's own dialogs choose one folder at a time; Qt's lets the list select several.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    for (QAbstractItemView *view : dialog.findChildren<QAbstractItemView *>(
             QStringLiteral("listView")) + dialog.findChildren<QAbstractItemView *>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QByteArrayList paths;
    for (const QUrl &url : dialog.selectedUrls())
        if (const std::optional<QByteArray> path = FileUrl::toPath(url))
            paths.append(*path);
    return paths;
}

} // namespace FolderChooser
