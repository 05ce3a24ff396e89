#pragma once

#include "library/filekind.h"
#include "ui/sections/summarycard.h"

// The home card of one kind: "doc.on.doc" when the kind has files, "folder" when it has none,
// in the kind's tint (grey when minimal), the kind's name and its file count. Clicking it emits
// clicked(); the home section navigates to the kind.
class FolderCard : public SummaryCard
{
    Q_OBJECT

public:
    FolderCard(FileKind kind, qsizetype fileCount, bool minimal, QWidget *parent = nullptr);

    FileKind kind() const { return m_kind; }
    void setState(qsizetype fileCount, bool minimal);

private:
    FileKind m_kind;
};
