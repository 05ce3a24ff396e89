#include "ui/preview/quickpreview.h"

#include "analysis/text/textformats.h"
#include "library/localfileaccess.h"
#include "platform/fileurl.h"
#include "platform/regularfile.h"
#include "readers/contentreaders.h"
#include "ui/common/symbols.h"
#include "ui/preview/imagepreviewpage.h"
#include "ui/preview/mediapreviewpage.h"
#include "ui/preview/pdfpreviewpage.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QDesktopServices>
#include <QFutureWatcher>
#include <QLabel>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int kIconSize = 128;

QString extensionOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    return dot > slash + 1 ? QString::fromUtf8(path.mid(dot + 1)).toLower() : QString();
}

// The first bytes of a plain-text file as text; empty for data that is not text.
QString readText(const QByteArray &path)
{
    RegularFile file(path);
    if (!file.isOpen())
        return {};
    QByteArray bytes = file.read(QuickPreview::kTextByteLimit + 1);
    const bool cut = bytes.size() > QuickPreview::kTextByteLimit;
    if (cut)
        bytes.truncate(QuickPreview::kTextByteLimit);
    return TextFormats::decodePlainText(std::move(bytes), cut);
}

} // namespace

QuickPreview::QuickPreview(QWidget *parent)
    : QWidget(parent)
    , m_stack(new QStackedWidget(this))
    , m_empty(new QWidget(m_stack))
    , m_image(new ImagePreviewPage(m_stack))
    , m_pdf(new PdfPreviewPage(m_stack))
    , m_text(new QPlainTextEdit(m_stack))
    , m_details(new QWidget(m_stack))
    , m_icon(new QLabel(m_details))
    , m_name(new QLabel(m_details))
    , m_facts(new QLabel(m_details))
    , m_open(new QPushButton(QStringLiteral("Open"), m_details))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    for (QWidget *page : {m_empty, static_cast<QWidget *>(m_image), static_cast<QWidget *>(m_pdf),
             static_cast<QWidget *>(m_text), m_details})
        m_stack->addWidget(page);

    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setAccessibleName(QStringLiteral("Text"));

    auto *details = new QVBoxLayout(m_details);
    details->addStretch(1);
    for (QLabel *label : {m_icon, m_name, m_facts}) {
        label->setAlignment(Qt::AlignCenter);
        details->addWidget(label);
    }
    m_open->setAccessibleName(m_open->text());
    m_open->hide();
    details->addWidget(m_open, 0, Qt::AlignCenter);
    details->addStretch(1);
    // A recording the preview would not play opens in the program the desktop chooses.
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_file)
            QDesktopServices::openUrl(FileUrl::fromPath(m_file->path));
    });
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    m_name->setTextFormat(Qt::PlainText);
    m_facts->setTextFormat(Qt::PlainText);
    m_facts->setForegroundRole(QPalette::PlaceholderText);

    connect(m_image, &ImagePreviewPage::loaded, this, [this] {
        if (m_page != Page::image)
            return;
        if (m_image->image().isNull())
            showDetails();
        else
            Q_EMIT contentsShown();
    });
    connect(m_pdf, &PdfPreviewPage::loaded, this, [this](bool ok) {
        if (m_page != Page::pdf)
            return;
        if (ok)
            Q_EMIT contentsShown();
        else
            showDetails();
    });
}

QuickPreview::~QuickPreview() = default;

QuickPreview::Page QuickPreview::pageFor(const FileRecord &file)
{
    if (file.isCloudOnly || file.isPackage)
        return Page::details;
    const QString extension = extensionOf(file.path);
    if (file.kind == FileKind::images)
        return Page::image;
    if (file.kind == FileKind::videos)
        return Page::video;
    if (file.kind == FileKind::music)
        return Page::audio;
    if (extension == QLatin1String("pdf"))
        return Page::pdf;
    if (TextFormats::isOffice(extension) || extension == QLatin1String("rtf"))
        return Page::office;
    static const QMimeDatabase database;
    if (TextFormats::plainTextExtensions().contains(extension)
        || database.mimeTypeForFile(file.displayPath(), QMimeDatabase::MatchExtension).inherits(QStringLiteral("text/plain")))
        return Page::text;
    return Page::details;
}

QString QuickPreview::text() const
{
    return m_text->toPlainText();
}

void QuickPreview::setFile(const std::optional<FileRecord> &file)
{
    ++m_generation;
    if (m_media != nullptr)
        m_media->clear();
    m_image->clear();
    m_pdf->clear();
    m_text->clear();
    m_open->hide();
    m_file = file;
    if (!file) {
        showPage(Page::none);
        return;
    }
    const Page page = pageFor(*file);
    if (page == Page::details) {
        showDetails();
        return;
    }
    if (page == Page::audio || page == Page::video) {
        if (m_media == nullptr) {
            // Made on first use: an audio output connects to the sound server.
            m_media = new MediaPreviewPage(m_stack);
            m_stack->addWidget(m_media);
        }
    }
    showPage(page);
    // Whether the contents are on this machine takes a stat and an attribute read, which can
    // hang on a network mount: asked off the main thread, the page waits empty until then.
    const quint64 generation = m_generation;
    const QByteArray path = file->path;
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, generation, page] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        if (watcher->result())
            load(page);
        else
            showDetails();
    });
    watcher->setFuture(QtConcurrent::run([path] { return LocalFileAccess::canReadContents(path); }));
}

void QuickPreview::load(Page page)
{
    switch (page) {
    case Page::image:
        m_image->setPath(m_file->path);
        break;
    case Page::pdf:
        m_pdf->setPath(m_file->path);
        break;
    case Page::audio:
    case Page::video:
        playIfPlayable(page);
        break;
    case Page::text:
    case Page::office:
        loadText(page);
        break;
    case Page::none:
    case Page::details:
        break;
    }
}

// The player decodes in this process, so a helper looks at the container and its streams first:
// a playlist or a file no decoder knows gets the details and "Open" instead.
void QuickPreview::playIfPlayable(Page page)
{
    const quint64 generation = m_generation;
    const QByteArray path = m_file->path;
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, generation, path, page] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        if (!watcher->result()) {
            m_open->show();
            showDetails();
            return;
        }
        m_media->setPath(path, page == Page::video);
        Q_EMIT contentsShown();
    });
    watcher->setFuture(QtConcurrent::run([path] { return ContentReaders::playable(path); }));
}

void QuickPreview::loadText(Page page)
{
    const quint64 generation = m_generation;
    const FileRecord file = *m_file;
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        const QString text = watcher->result();
        if (text.isEmpty() && m_file->size > 0) {
            showDetails();
            return;
        }
        m_text->setPlainText(text);
        Q_EMIT contentsShown();
    });
    watcher->setFuture(QtConcurrent::run([file, page] {
        if (page == Page::text)
            return readText(file.path);
        const TextExtraction extraction = ContentReaders::extractText(file);
        return extraction.error ? QString() : extraction.text;
    }));
}

void QuickPreview::showPage(Page page)
{
    m_page = page;
    switch (page) {
    case Page::none:
        m_stack->setCurrentWidget(m_empty);
        break;
    case Page::image:
        m_stack->setCurrentWidget(m_image);
        break;
    case Page::pdf:
        m_stack->setCurrentWidget(m_pdf);
        break;
    case Page::text:
    case Page::office:
        m_stack->setCurrentWidget(m_text);
        break;
    case Page::audio:
    case Page::video:
        m_stack->setCurrentWidget(m_media);
        break;
    case Page::details:
        m_stack->setCurrentWidget(m_details);
        break;
    }
}

void QuickPreview::showDetails()
{
    if (m_media != nullptr)
        m_media->clear();
    showPage(Page::details);
    const FileRecord &file = *m_file;
    QIcon icon = ThumbnailCache::fileIcon(file);
    if (icon.isNull())
        icon = Symbols::icon(file.kind.symbol());
    m_icon->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF()));
    m_icon->setAccessibleName(file.kind.rawValue());
    m_name->setText(file.name());
    m_facts->setText(file.kind.rawValue() + QStringLiteral(" \u00B7 ") + file.formattedSize());
    Q_EMIT contentsShown();
}
