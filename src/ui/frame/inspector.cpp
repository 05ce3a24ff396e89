#include "ui/frame/inspector.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/frame/elidedlabel.h"
#include "ui/thumbnails/thumbnailview.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QPushButton *actionButton(const QString &title, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setAccessibleName(title);
    button->setAutoDefault(false);
    return button;
}

} // namespace

Inspector::Inspector(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("inspector"));
    setFixedWidth(kWidth);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(14, 10, 8, 6);
    auto *title = new QLabel(QStringLiteral("Inspector"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    header->addWidget(title, 1);
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeInspector"));
    close->setIcon(Symbols::icon(u"xmark"));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close inspector"));
    close->setAccessibleName(QStringLiteral("Close inspector"));
    connect(close, &QToolButton::clicked, this, [this] { m_store.setShowInspector(false); });
    header->addWidget(close);
    column->addLayout(header);

    m_pages = new QStackedWidget(this);
    column->addWidget(m_pages, 1);

    auto *empty = new QWidget(m_pages);
    auto *emptyColumn = new QVBoxLayout(empty);
    emptyColumn->addStretch(1);
    auto *pointer = new QLabel(empty);
    pointer->setPixmap(Symbols::icon(u"cursorarrow.click").pixmap(32, 32, QIcon::Disabled));
    pointer->setAlignment(Qt::AlignCenter);
    emptyColumn->addWidget(pointer);
    QLabel *hint = secondaryLabel(QStringLiteral("Select a file to see its details."), empty);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    emptyColumn->addWidget(hint);
    emptyColumn->addStretch(1);
    m_pages->addWidget(empty);

    auto *scroll = new QScrollArea(m_pages);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *file = new QWidget(scroll);
    auto *fileColumn = new QVBoxLayout(file);
    fileColumn->setContentsMargins(14, 4, 14, 14);
    fileColumn->setSpacing(8);
    m_thumbnail = new ThumbnailView(file);
    m_thumbnail->setFixedHeight(kThumbnailHeight);
    fileColumn->addWidget(m_thumbnail);
    // Long names are shortened in the middle, so the extension stays visible.
    m_name = new ElidedLabel(file);
    m_name->setObjectName(QStringLiteral("inspectorName"));
    m_name->setFont(bold);
    m_name->setElideMode(Qt::ElideMiddle);
    fileColumn->addWidget(m_name);
    m_details = new QWidget(file);
    auto *detailsLayout = new QVBoxLayout(m_details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->setSpacing(6);
    // Every row there can be, made once; a selection shows the ones its file has.
    for (const char *label :
        { "Kind", "Size", "Modified", "Source", "Dimensions", "Duration", "Camera", "Tags", "Location" })
        m_rows.append(makeRow(QString::fromLatin1(label)));
    for (const DetailRow &row : std::as_const(m_rows))
        detailsLayout->addWidget(row.widget);
    fileColumn->addWidget(m_details);

    QPushButton *quickLook = actionButton(QStringLiteral("Quick Look"), file);
    connect(quickLook, &QPushButton::clicked, this, [this] {
        if (m_shown)
            m_store.setPreview(m_shown);
    });
    QPushButton *reveal = actionButton(QStringLiteral("Show in Folder"), file);
    connect(reveal, &QPushButton::clicked, this, [this] {
        if (m_shown)
            m_store.reveal(*m_shown);
    });
    m_copyText = actionButton(QStringLiteral("Copy text"), file);
    connect(m_copyText, &QPushButton::clicked, this, [this] {
        if (m_shown)
            m_store.copyText({ *m_shown }, false);
    });
    for (QPushButton *button : { quickLook, reveal, m_copyText })
        fileColumn->addWidget(button);
    fileColumn->addStretch(1);
    scroll->setWidget(file);
    m_pages->addWidget(scroll);

    // The selected record is looked up again whenever the selection or the files change, since
    // a rescan may change or remove it.
    connect(&m_store, &LibraryStore::selectionChanged, this, &Inspector::showSelection);
    connect(&m_store, &LibraryStore::filesChanged, this, &Inspector::showSelection);
    connect(&m_store, &LibraryStore::minimalChanged, this, [this] { m_thumbnail->setMinimal(m_store.minimal()); });
    connect(&m_store, &LibraryStore::copyingTextChanged, this, &Inspector::showCopyingText);
    m_thumbnail->setMinimal(m_store.minimal());
    showSelection();
    showCopyingText();
}

Inspector::DetailRow Inspector::makeRow(const QString &label)
{
    DetailRow row;
    row.label = label;
    row.widget = new QWidget(m_details);
    row.widget->setObjectName(u"detail:" + label);
    auto *rowColumn = new QVBoxLayout(row.widget);
    rowColumn->setContentsMargins(0, 0, 0, 0);
    rowColumn->setSpacing(1);
    QLabel *caption = secondaryLabel(label, row.widget);
    QFont small = caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    caption->setFont(small);
    rowColumn->addWidget(caption);
    row.value = new QLabel(row.widget);
    row.value->setObjectName(QStringLiteral("detailValue"));
    row.value->setTextFormat(Qt::PlainText);
    row.value->setWordWrap(true);
    row.value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Long paths without spaces must not widen the fixed-width column.
    row.value->setMinimumWidth(1);
    row.value->setAccessibleName(label);
    rowColumn->addWidget(row.value);
    return row;
}

QList<Inspector::Detail> Inspector::details(const FileRecord &file, const QLocale &locale)
{
    QList<Detail> rows {
        { QStringLiteral("Kind"), file.kind.rawValue() },
        { QStringLiteral("Size"), file.formattedSize() },
        { QStringLiteral("Modified"), dateText(file.modified.toDateTime(), locale) },
        { QStringLiteral("Source"), file.sourceName().value_or(QStringLiteral("Not recorded")) },
    };
    const auto addPresent = [&rows](const QString &label, const std::optional<QString> &value) {
        if (value && !value->isEmpty())
            rows.append({ label, *value });
    };
    addPresent(QStringLiteral("Dimensions"), file.dimensions);
    if (file.duration)
        rows.append({ QStringLiteral("Duration"), QString::asprintf("%.1f seconds", *file.duration) });
    addPresent(QStringLiteral("Camera"), file.camera);
    if (!file.tags.isEmpty())
        rows.append({ QStringLiteral("Tags"), file.tags.join(QStringLiteral(", ")) });
    rows.append({ QStringLiteral("Location"), file.displayPath() });
    return rows;
}

QString Inspector::dateText(const QDateTime &when, const QLocale &locale)
{
    // The locale's long date without the weekday and with the month abbreviated.
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("d{4}[^dMyY]*")));
    format.replace(QRegularExpression(QStringLiteral("M{4}")), QStringLiteral("MMM"));
    const QDateTime local = when.toLocalTime();
    return locale.toString(local.date(), format.trimmed()) + QStringLiteral(", ")
        + locale.toString(local.time(), QLocale::ShortFormat);
}

void Inspector::showSelection()
{
    const std::optional<FileRecord> file = m_store.selected();
    if (file == m_shown)
        return;
    m_shown = file;
    m_pages->setCurrentIndex(file ? 1 : 0);
    m_thumbnail->setFile(file);
    if (!file)
        return;
    m_name->setText(file->name());
    const QList<Detail> shown = details(*file);
    for (const DetailRow &row : std::as_const(m_rows)) {
        const auto detail = std::find_if(
            shown.cbegin(), shown.cend(), [&row](const Detail &candidate) { return candidate.label == row.label; });
        row.widget->setVisible(detail != shown.cend());
        if (detail == shown.cend())
            continue;
        row.value->setText(detail->value);
        row.value->setAccessibleDescription(detail->value);
        row.value->setToolTip(detail->value);
    }
    m_copyText->setVisible(file->kind == FileKind::images || file->kind == FileKind::documents);
}

void Inspector::showCopyingText()
{
    m_copyText->setEnabled(!m_store.copyingText());
}
