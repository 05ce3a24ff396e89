#include "ui/sections/sourcessection.h"

#include "store/librarystore.h"
#include "ui/common/theme.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/sectionwidgets.h"
#include "ui/sections/summarycard.h"

#include <QBoxLayout>
#include <QScrollArea>

SourcesSection::SourcesSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    m_column = SectionWidgets::scrollingPage(this, 10);
    m_column->addWidget(SectionWidgets::heading(QStringLiteral("Remember where it came from."),
        QStringLiteral("Download origins recorded by your browser. Files without this metadata aren’t listed.")));
    m_column->addStretch(1);

    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(0);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &SourcesSection::rebuild);
    connect(&store, &LibraryStore::filesChanged, &m_rebuildTimer, qOverload<>(&QTimer::start));
    rebuild();
}

void SourcesSection::rebuild()
{
    if (SectionWidgets::interactionInProgress()) {
        m_rebuildTimer.start(200);
        return;
    }
    delete m_body;
    const QStringList sources = m_store.sources();
    if (sources.isEmpty()) {
        m_body = SectionWidgets::emptyState(u"arrow.down.circle", QStringLiteral("No download sources recorded"),
            QStringLiteral("Add your Downloads folder to see available source metadata."));
        m_column->insertWidget(1, m_body, 1);
        return;
    }
    QHash<QString, qsizetype> counts;
    for (const FileRecord &file : m_store.files())
        if (const std::optional<QString> name = file.sourceName())
            ++counts[*name];
    m_body = new QWidget;
    auto *rows = new QVBoxLayout(m_body);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(8);
    for (const QString &name : sources) {
        auto *row = new SummaryCard(QStringLiteral("globe"), Theme::ink(palette()), name, SectionText::fileCount(counts.value(name)));
        row->setTrailingSymbol(QStringLiteral("chevron.right"));
        connect(row, &QAbstractButton::clicked, this, [this, name] { m_store.navigate(QStringLiteral("source:") + name); });
        rows->addWidget(row);
    }
    m_column->insertWidget(1, m_body);
}
