#include "ui/desktop/quicksearchview.h"

#include "query/filequery.h"
#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/desktop/quicksearchmodel.h"
#include "ui/desktop/resultdelegate.h"
#include "ui/thumbnails/thumbnailcache.h"

#include <QBoxLayout>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QToolButton>

namespace {

QLabel *footerLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(10);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

QuickSearchView::QuickSearchView(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_model(new QuickSearchModel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 10);
    layout->setSpacing(8);

    auto *searchRow = new QHBoxLayout;
    auto *glass = new QLabel(this);
    glass->setPixmap(Symbols::icon(u"magnifyingglass").pixmap(22, 22));
    searchRow->addWidget(glass);
    m_field = new QLineEdit(this);
    m_field->setPlaceholderText(QStringLiteral("Find a file, or describe what you remember…"));
    m_field->setAccessibleName(m_field->placeholderText());
    m_field->setFrame(false);
    QFont big = m_field->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    m_field->setFont(big);
    m_field->installEventFilter(this);
    searchRow->addWidget(m_field, 1);
    m_clear = new QToolButton(this);
    m_clear->setIcon(Symbols::icon(u"xmark.circle.fill"));
    m_clear->setAutoRaise(true);
    m_clear->setToolTip(QStringLiteral("Clear"));
    m_clear->setAccessibleName(m_clear->toolTip());
    m_clear->setFocusPolicy(Qt::NoFocus);
    searchRow->addWidget(m_clear);
    layout->addLayout(searchRow);

    m_chips = new QLabel(this);
    m_chips->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_chips);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    m_list = new QListView(this);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ResultDelegate(
        [this](const QModelIndex &index) -> const FileRecord * {
            return index.isValid() && index.row() < m_model->rowCount() ? &m_model->file(index.row()) : nullptr;
        },
        m_list));
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setAccessibleName(QStringLiteral("Results"));
    layout->addWidget(m_list, 1);

    m_empty = new QLabel(QStringLiteral("No matching files in your chosen folders."), this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_empty, 1);

    auto *footer = new QHBoxLayout;
    footer->addWidget(footerLabel(
        QStringLiteral("↩ Open   Ctrl+↩ Show in Tessary   Alt+↩ Show in Folder"), this));
    footer->addStretch(1);
    footer->addWidget(footerLabel(QStringLiteral("esc Close"), this));
    layout->addLayout(footer);

    connect(m_field, &QLineEdit::textChanged, this, [this] { search(Highlight::first); });
    connect(m_clear, &QToolButton::clicked, m_field, &QLineEdit::clear);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) { openRow(index.row()); });
    // While hidden the results may go stale: showing the panel searches again.
    for (auto signal : { &LibraryStore::filesChanged, &LibraryStore::textIndexChanged })
        connect(&m_store, signal, this, [this] {
            if (isVisible())
                search(Highlight::sameFile);
        });
    connect(&ThumbnailCache::shared(), &ThumbnailCache::thumbnailReady, m_list->viewport(),
        qOverload<>(&QWidget::update));
    search(Highlight::first);
}

QString QuickSearchView::query() const
{
    return m_field->text();
}

void QuickSearchView::setQuery(const QString &text)
{
    m_field->setText(text);
}

int QuickSearchView::highlight() const
{
    return m_model->highlight();
}

void QuickSearchView::prepareToShow()
{
    m_field->setFocus(Qt::OtherFocusReason);
    search(Highlight::first);
    m_list->scrollToTop();
}

void QuickSearchView::search(Highlight highlight)
{
    const int current = m_model->highlight();
    // Empty: keep no file highlighted (a record's path is never empty).
    QByteArray highlighted;
    if (highlight == Highlight::sameFile && current < m_model->rowCount())
        highlighted = m_model->file(current).path;
    const QString text = m_field->text();
    const bool searching = !text.isEmpty();
    m_model->setFiles(searching ? m_store.searchFiles(text) : QList<FileRecord>());
    int row = 0;
    for (int i = 0; !highlighted.isEmpty() && i < m_model->rowCount(); ++i)
        if (m_model->file(i).path == highlighted)
            row = i;
    m_model->setHighlight(row);
    m_clear->setVisible(searching);
    m_chips->setVisible(searching);
    if (searching)
        m_chips->setText(FileQuery(text).chips.join(QStringLiteral(" · ")));
    const bool empty = searching && m_model->rowCount() == 0;
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
}

void QuickSearchView::moveHighlight(int step)
{
    const int last = std::max(m_model->rowCount() - 1, 0);
    const int row = std::clamp(m_model->highlight() + step, 0, last);
    m_model->setHighlight(row);
    if (row < m_model->rowCount())
        m_list->scrollTo(m_model->index(row));
}

void QuickSearchView::activate(Qt::KeyboardModifiers modifiers)
{
    const int row = m_model->highlight();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const FileRecord file = m_model->file(row);
    if (modifiers & Qt::ControlModifier) {
        m_store.setQuery(m_field->text());
        m_store.select(file, LibraryStore::ClickModifier::none);
        m_store.setShowInspector(true);
        Q_EMIT showMainRequested();
    } else if (modifiers & Qt::AltModifier) {
        m_store.reveal(file);
        Q_EMIT dismissRequested();
    } else {
        openRow(row);
    }
}

void QuickSearchView::openRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_store.open(m_model->file(row));
    Q_EMIT dismissRequested();
}

bool QuickSearchView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_field || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Down:
        moveHighlight(1);
        return true;
    case Qt::Key_Up:
        moveHighlight(-1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activate(key->modifiers());
        return true;
    case Qt::Key_Escape:
        Q_EMIT dismissRequested();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}
