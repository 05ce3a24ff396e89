#include "ui/sections/duplicategroupcard.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/sections/filesurface.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/sectionwidgets.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

DuplicateGroupCard::DuplicateGroupCard(LibraryStore &store, const DuplicateGroup &group, Mode mode, QWidget *parent)
    : QFrame(parent), m_store(store), m_group(group)
{
    setFrameShape(QFrame::StyledPanel);
    auto *column = new QVBoxLayout(this);
    column->setSpacing(4);

    auto *header = new QHBoxLayout;
    auto *texts = new QVBoxLayout;
    const QString count = QString::number(group.files.size()) + u' '
        + (mode == Mode::exact ? QStringLiteral("identical files") : QStringLiteral("similar images"));
    texts->addWidget(SectionWidgets::title(count, 1));
    texts->addWidget(SectionWidgets::secondary(SectionText::bytes(group.reclaimable()) + QStringLiteral(" in extra copies")));
    header->addLayout(texts, 1);
    QPushButton *trash = SectionWidgets::button(QStringLiteral("Trash extra copies…"));
    connect(trash, &QPushButton::clicked, this, [this] { m_store.trashExtraCopies(m_group); });
    header->addWidget(trash, 0, Qt::AlignTop);
    column->addLayout(header);

    for (const FileRecord &file : group.files) {
        auto *row = new QHBoxLayout;
        row->addWidget(new FileSurface(store, file, FileSurface::Shape::row), 1);
        auto *keep = new QPushButton;
        keep->setFixedWidth(90);
        keep->setCheckable(true);
        // The checked state is the choice; a click on the kept copy leaves it kept.
        keep->setAccessibleName(QStringLiteral("Keep"));
        keep->setAccessibleDescription(file.name());
        connect(keep, &QPushButton::clicked, this, [this, file] {
            m_store.keep(m_group, file);
            updateKeepButtons();
        });
        row->addWidget(keep);
        m_keepButtons.append(keep);
        column->addLayout(row);
    }
    connect(&store, &LibraryStore::keeperIDsChanged, this, &DuplicateGroupCard::updateKeepButtons);
    updateKeepButtons();
}

void DuplicateGroupCard::updateKeepButtons()
{
    const auto keeper = m_store.keeperIDs().constFind(m_group.id());
    for (qsizetype i = 0; i < m_keepButtons.size(); ++i) {
        const bool kept = keeper != m_store.keeperIDs().constEnd() && *keeper == m_group.files[i].id();
        QPushButton *keep = m_keepButtons[i];
        keep->setChecked(kept);
        keep->setText(kept ? QStringLiteral("Keep") : QStringLiteral("Keep this"));
        keep->setIcon(Symbols::icon(kept ? u"checkmark.circle.fill" : u"circle"));
    }
}
