#include "ui/sections/querychipsrow.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/sections/sectionwidgets.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QToolButton>

QueryChipsRow::QueryChipsRow(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(0);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &QueryChipsRow::rebuild);
    connect(&store, &LibraryStore::queryChanged, &m_rebuildTimer, qOverload<>(&QTimer::start));
    rebuild();
}

void QueryChipsRow::rebuild()
{
    delete m_strip;
    m_strip = nullptr;
    setVisible(!m_store.query().isEmpty());
    if (m_store.query().isEmpty())
        return;
    auto *row = new QWidget;
    auto *chips = new QHBoxLayout(row);
    chips->setContentsMargins(0, 0, 0, 0);
    chips->setSpacing(8);
    auto *caption = new QLabel(QStringLiteral("Understood as"));
    caption->setForegroundRole(QPalette::PlaceholderText);
    chips->addWidget(caption);
    const QStringList labels = m_store.parsedQuery().chips;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto *chip = new QFrame;
        chip->setFrameShape(QFrame::StyledPanel);
        chip->setAccessibleName(labels[i]);
        auto *inside = new QHBoxLayout(chip);
        inside->setContentsMargins(8, 2, 2, 2);
        inside->setSpacing(2);
        inside->addWidget(new QLabel(labels[i]));
        auto *remove = new QToolButton;
        remove->setIcon(Symbols::icon(u"xmark"));
        remove->setAutoRaise(true);
        remove->setToolTip(QStringLiteral("Remove this search filter"));
        remove->setAccessibleName(QStringLiteral("Remove this search filter"));
        connect(remove, &QToolButton::clicked, this,
            [this, i] { m_store.setQuery(m_store.parsedQuery().removingChip(i, m_store.query())); });
        inside->addWidget(remove);
        chips->addWidget(chip);
    }
    m_strip = SectionWidgets::horizontalStrip(row);
    m_layout->addWidget(m_strip);
}
