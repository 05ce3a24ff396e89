#include "ui/frame/previewwindow.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/preview/quickpreview.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QPushButton *headerButton(const QString &title, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setAccessibleName(title);
    button->setAutoDefault(false);
    return button;
}

// A header button that steps through the files, also on `key` (auto-repeating while held).
QToolButton *stepButton(const QString &symbol, const QString &help, Qt::Key key, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(Symbols::icon(symbol));
    button->setAutoRaise(true);
    button->setToolTip(help);
    button->setAccessibleName(help);
    auto *shortcut = new QShortcut(QKeySequence(key), parent);
    QObject::connect(shortcut, &QShortcut::activated, button, &QToolButton::click);
    return button;
}

} // namespace

PreviewWindow::PreviewWindow(LibraryStore &store, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("previewWindow"));
    setFixedSize(kWidth, kHeight);
    setWindowModality(Qt::WindowModal);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(10, 8, 10, 8);
    header->setSpacing(6);
    m_previous = stepButton(QStringLiteral("chevron.left"), QStringLiteral("Previous file"), Qt::Key_Left, this);
    connect(m_previous, &QToolButton::clicked, this, [this] { m_store.stepSelection(-1); });
    m_next = stepButton(QStringLiteral("chevron.right"), QStringLiteral("Next file"), Qt::Key_Right, this);
    connect(m_next, &QToolButton::clicked, this, [this] { m_store.stepSelection(1); });
    header->addWidget(m_previous);
    header->addWidget(m_next);
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("previewName"));
    m_name->setTextFormat(Qt::PlainText);
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    header->addWidget(m_name, 1);
    m_textToggle = headerButton(QStringLiteral("Select Text"), this);
    m_textToggle->setObjectName(QStringLiteral("textToggle"));
    connect(m_textToggle, &QPushButton::clicked, this, &PreviewWindow::toggleText);
    QPushButton *open = headerButton(QStringLiteral("Open"), this);
    connect(open, &QPushButton::clicked, this, [this] {
        if (m_store.preview())
            m_store.open(*m_store.preview());
    });
    // Escape reaches reject(), which does what Done does.
    QPushButton *done = headerButton(QStringLiteral("Done"), this);
    connect(done, &QPushButton::clicked, this, &PreviewWindow::reject);
    for (QPushButton *button : { m_textToggle, open, done })
        header->addWidget(button);
    column->addLayout(header);

    m_body = new QStackedWidget(this);
    m_quickPreview = new QuickPreview(m_body);
    m_body->addWidget(m_quickPreview);
    m_text = new QPlainTextEdit(m_body);
    m_text->setObjectName(QStringLiteral("previewText"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setAccessibleName(QStringLiteral("Extracted text"));
    m_body->addWidget(m_text);
    m_cloud = new QWidget(m_body);
    m_cloud->setObjectName(QStringLiteral("cloudState"));
    auto *cloudColumn = new QVBoxLayout(m_cloud);
    cloudColumn->addStretch(1);
    auto *cloudSymbol = new QLabel(m_cloud);
    cloudSymbol->setPixmap(Symbols::icon(u"icloud").pixmap(48, 48));
    cloudSymbol->setAlignment(Qt::AlignCenter);
    cloudColumn->addWidget(cloudSymbol);
    auto *cloudTitle = new QLabel(QStringLiteral("Stored in the cloud"), m_cloud);
    cloudTitle->setFont(bold);
    cloudTitle->setAlignment(Qt::AlignCenter);
    cloudColumn->addWidget(cloudTitle);
    auto *cloudText = new QLabel(QStringLiteral("Open this file to download it."), m_cloud);
    cloudText->setForegroundRole(QPalette::PlaceholderText);
    cloudText->setAlignment(Qt::AlignCenter);
    cloudColumn->addWidget(cloudText);
    cloudColumn->addStretch(1);
    m_body->addWidget(m_cloud);
    column->addWidget(m_body, 1);

    connect(&m_store, &LibraryStore::previewChanged, this, &PreviewWindow::showPreview);
    connect(&m_store, &LibraryStore::textPreviewChanged, this, &PreviewWindow::showText);
    connect(&m_store, &LibraryStore::copyingTextChanged, this,
        [this] { m_textToggle->setEnabled(!m_store.copyingText()); });
    m_textToggle->setEnabled(!m_store.copyingText());
    showPreview();
}

void PreviewWindow::reject()
{
    m_store.setPreview(std::nullopt);
    // Normally done by showPreview(); this covers a window open without a preview.
    if (isVisible())
        QDialog::reject();
}

void PreviewWindow::showPreview()
{
    const std::optional<FileRecord> &record = m_store.preview();
    if (!record) {
        m_shown.reset();
        m_textRequestedFor.reset();
        // Unloading the body also stops any audio or video it was playing.
        m_previewed.reset();
        m_quickPreview->setFile(std::nullopt);
        m_store.setTextPreview(std::nullopt);
        if (isVisible())
            QDialog::reject();
        return;
    }
    // Text taken from one file must not stay on screen under the name of the next one.
    const bool stepped = m_shown && m_shown->path != record->path;
    m_shown = record;
    if (stepped && m_store.textPreview())
        m_store.setTextPreview(std::nullopt);
    m_name->setText(record->name());
    m_name->setAccessibleName(record->name());
    setWindowTitle(record->name());
    showBody();
    if (!isVisible())
        open();
}

void PreviewWindow::showText()
{
    if (m_store.textPreview() && m_textRequestedFor) {
        // Text extracted for a file the window has since stepped away from is dropped.
        const bool stale = m_shown && m_shown->path != *m_textRequestedFor;
        m_textRequestedFor.reset();
        if (stale) {
            m_store.setTextPreview(std::nullopt);
            return;
        }
    }
    showBody();
}

void PreviewWindow::showBody()
{
    const std::optional<QString> &text = m_store.textPreview();
    m_textToggle->setText(text ? QStringLiteral("Preview") : QStringLiteral("Select Text"));
    m_textToggle->setAccessibleName(m_textToggle->text());
    if (text) {
        if (m_text->toPlainText() != *text)
            m_text->setPlainText(*text);
        m_body->setCurrentWidget(m_text);
    } else if (m_shown && m_shown->isCloudOnly) {
        m_body->setCurrentWidget(m_cloud);
    } else {
        if (m_shown != m_previewed) {
            m_previewed = m_shown;
            m_quickPreview->setFile(m_shown);
        }
        m_body->setCurrentWidget(m_quickPreview);
    }
}

void PreviewWindow::toggleText()
{
    if (m_store.textPreview()) {
        m_store.setTextPreview(std::nullopt);
        return;
    }
    if (const std::optional<FileRecord> &record = m_store.preview()) {
        m_textRequestedFor = record->path;
        m_store.copyText({ *record }, true);
    }
}
