#include "ui/frame/erroralert.h"

#include "store/librarystore.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

ErrorAlert::ErrorAlert(LibraryStore &store, QWidget *window)
    : QObject(window)
    , m_store(store)
    , m_window(window)
{
    connect(&m_store, &LibraryStore::errorChanged, this, &ErrorAlert::follow);
    follow();
}

ErrorAlert::~ErrorAlert()
{
    if (m_box) {
        m_box->disconnect(this);
        delete m_box.data();
    }
}

QString ErrorAlert::title()
{
    return QStringLiteral("Couldn\u2019t complete the action");
}

void ErrorAlert::follow()
{
    const std::optional<QString> &error = m_store.error();
    if (!error) {
        if (m_box) {
            QMessageBox *box = m_box;
            m_box.clear();
            box->disconnect(this);
            box->close();
            box->deleteLater();
        }
        return;
    }
    if (!m_box) {
        m_box = new QMessageBox(m_window);
        m_box->setObjectName(QStringLiteral("errorAlert"));
        m_box->setIcon(QMessageBox::Warning);
        m_box->setWindowTitle(QStringLiteral("Tessary"));
        m_box->setTextFormat(Qt::PlainText);
        QPushButton *ok = m_box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        m_box->setDefaultButton(ok);
        m_box->setEscapeButton(ok);
        m_box->setWindowModality(Qt::WindowModal);
        connect(m_box, &QMessageBox::finished, this, &ErrorAlert::dismissed);
    }
    m_box->setText(title());
    m_box->setInformativeText(*error);
    if (auto *informative = m_box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    if (!m_box->isVisible())
        m_box->open();
}

void ErrorAlert::dismissed()
{
    QMessageBox *box = m_box;
    m_box.clear();
    if (box) {
        box->disconnect(this);
        box->deleteLater();
    }
    m_store.setError(std::nullopt);
}

QMessageBox *ErrorAlert::box() const
{
    return m_box;
}
