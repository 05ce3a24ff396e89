#pragma once

#include <QObject>
#include <QPointer>

class LibraryStore;
class QMessageBox;
class QWidget;

// Shows the store's error message in a window-modal box over `window` while it is set; "OK" or
// closing the box clears it. A new message while the box is open replaces the shown one; an
// error cleared elsewhere closes the box. Main thread only.
class ErrorAlert : public QObject
{
    Q_OBJECT

public:
    ErrorAlert(LibraryStore &store, QWidget *window);
    ~ErrorAlert() override;

    static QString title();
    // The open box, if any.
    QMessageBox *box() const;

private:
    void follow();
    void dismissed();

    LibraryStore &m_store;
    QWidget *m_window = nullptr;
    QPointer<QMessageBox> m_box;
};
