#include "ui/sections/sourcessection.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/layouts.h"
#include "ui/common/theme.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/sectionwidgets.h"
#include "ui/sections/summarycard.h"

#include <QBoxLayout>

SourcesSection::SourcesSection(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_update(new DeferredUpdate(this, [this] { updateRows(); }))
{
    QVBoxLayout *column = SectionWidgets::scrollingPage(this);
    column->addWidget(SectionWidgets::heading(QStringLiteral("Remember where it came from."),
        QStringLiteral("Download origins recorded by your browser. Files without this metadata aren’t listed.")));
    m_empty = SectionWidgets::emptyState(u"arrow.down.circle", QStringLiteral("No download sources recorded"),
        QStringLiteral("Add your Downloads folder to see available source metadata."));
    column->addWidget(m_empty, 1);
    auto *rows = new QWidget;
    m_rows = new QVBoxLayout(rows);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(Theme::Metrics::kRowGap);
    column->addWidget(rows);
    column->addStretch(1);
    m_update->follow(&store, &LibraryStore::filesChanged, &LibraryStore::viewsReady);
    updateRows();
}

void SourcesSection::updateRows()
{
    const LibraryCounts &counts = m_store.counts();
    const QStringList &names = counts.sources();
    m_empty->setVisible(names.isEmpty());
    if (names != m_names) {
        m_names = names;
        Layouts::clear(m_rows);
        m_cards.clear();
        for (const QString &name : names) {
            auto *row = new SummaryCard(QStringLiteral("globe"), Theme::ink(palette()), name, QString());
            row->setTrailingSymbol(QStringLiteral("chevron.right"));
            connect(
                row, &QAbstractButton::clicked, this, [this, name] { m_store.navigate(Destination::source(name)); });
            m_rows->addWidget(row);
            m_cards.append(row);
        }
    }
    for (qsizetype i = 0; i < m_cards.size(); ++i)
        m_cards[i]->setValue(SectionText::fileCount(counts.sourceCount(m_names[i])));
}
