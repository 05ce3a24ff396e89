#pragma once

#include "library/filerecord.h"

#include <QObject>
#include <QPointer>

class LibraryStore;
class QMessageBox;
class QWidget;

// Asks before files go to the Trash. Whenever the store's pending trash list becomes non-empty,
// a window-modal message box over `window` names the first four files; "Move to Trash" calls
// trashPending(), "Cancel" or any other way of closing it empties the list. When the list
// changes while the box is open the box follows it; when it is emptied elsewhere the box closes
// without acting. Cancel is the default button, so Return never trashes by accident. Main thread
// only.
class TrashConfirmation : public QObject
{
    Q_OBJECT

public:
    static constexpr int kNamesShown = 4;

    TrashConfirmation(LibraryStore &store, QWidget *window);
    ~TrashConfirmation() override;

    // "Move N file(s) to Trash?"
    static QString title(const QList<FileRecord> &files);
    // The first four names, one per line, then the note about restoring.
    static QString message(const QList<FileRecord> &files);

    // The open box, if any.
    QMessageBox *box() const;

private:
    void follow();
    void finish(bool confirmed);

    LibraryStore &m_store;
    QWidget *m_window = nullptr;
    QPointer<QMessageBox> m_box;
    class QAbstractButton *m_confirm = nullptr;
};
