#include "ui/frame/trashconfirmation.h"

#include "store/librarystore.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

TrashConfirmation::TrashConfirmation(LibraryStore &store, QWidget *window)
    : QObject(window)
    , m_store(store)
    , m_window(window)
{
    connect(&m_store, &LibraryStore::pendingTrashChanged, this, &TrashConfirmation::follow);
    follow();
}

TrashConfirmation::~TrashConfirmation()
{
    if (m_box) {
        m_box->disconnect(this);
        delete m_box.data();
    }
}

QString TrashConfirmation::title(const QList<FileRecord> &files)
{
    return QStringLiteral("Move ") + QString::asprintf("%lld", static_cast<long long>(files.size()))
        + QStringLiteral(" file(s) to Trash?");
}

QString TrashConfirmation::message(const QList<FileRecord> &files)
{
    QStringList names;
    for (const FileRecord &file : files.first(qMin<qsizetype>(kNamesShown, files.size())))
        names.append(file.name());
    return names.join(u'\n') + QStringLiteral("\n\nYou can restore these files from the Trash in your file manager.");
}

void TrashConfirmation::follow()
{
    const QList<FileRecord> &files = m_store.pendingTrash();
    if (files.isEmpty()) {
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
        m_box->setObjectName(QStringLiteral("trashConfirmation"));
        m_box->setIcon(QMessageBox::Warning);
        m_box->setWindowTitle(QStringLiteral("Tessary"));
        // File names are shown as they are, never interpreted as markup.
        m_box->setTextFormat(Qt::PlainText);
        QPushButton *cancel = m_box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        QPushButton *confirm = m_box->addButton(QStringLiteral("Move to Trash"), QMessageBox::DestructiveRole);
        m_confirm = confirm;
        m_box->setDefaultButton(cancel);
        m_box->setEscapeButton(cancel);
        m_box->setWindowModality(Qt::WindowModal);
        connect(m_box, &QMessageBox::finished, this, [this] { finish(m_box && m_box->clickedButton() == m_confirm); });
    }
    m_box->setText(title(files));
    m_box->setInformativeText(message(files));
    if (auto *informative = m_box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    if (!m_box->isVisible())
        m_box->open();
}

void TrashConfirmation::finish(bool confirmed)
{
    QMessageBox *box = m_box;
    m_box.clear();
    if (box) {
        box->disconnect(this);
        box->deleteLater();
    }
    if (confirmed)
        m_store.trashPending();
    else
        m_store.setPendingTrash({});
}

QMessageBox *TrashConfirmation::box() const
{
    return m_box;
}
