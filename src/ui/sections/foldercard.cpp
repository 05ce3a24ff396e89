#include "ui/sections/foldercard.h"

#include "ui/common/theme.h"
#include "ui/sections/sectiontext.h"

FolderCard::FolderCard(FileKind kind, qsizetype fileCount, bool minimal, QWidget *parent)
    : SummaryCard(fileCount > 0 ? QStringLiteral("doc.on.doc") : QStringLiteral("folder"), Theme::kindTint(kind, minimal),
        kind.rawValue(), SectionText::fileCount(fileCount), parent),
      m_kind(kind)
{
    setMinimumHeight(sizeHint().height());
}
