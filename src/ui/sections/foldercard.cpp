#include "ui/sections/foldercard.h"

#include "ui/common/theme.h"
#include "ui/sections/sectiontext.h"

FolderCard::FolderCard(FileKind kind, qsizetype fileCount, bool minimal, QWidget *parent)
    : SummaryCard(QString(), QColor(), kind.rawValue(), QString(), parent)
    , m_kind(kind)
{
    setState(fileCount, minimal);
    setMinimumHeight(sizeHint().height());
}

void FolderCard::setState(qsizetype fileCount, bool minimal)
{
    setSymbol(
        fileCount > 0 ? QStringLiteral("doc.on.doc") : QStringLiteral("folder"), Theme::kindTint(m_kind, minimal));
    setValue(SectionText::fileCount(fileCount));
}
