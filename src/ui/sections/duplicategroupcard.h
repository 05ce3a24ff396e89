#pragma once

#include "analysis/duplicategroup.h"

#include <QFrame>
#include <QList>

class LibraryStore;
class QPushButton;

// One group of the duplicates section: "N identical files" (or "N similar images"), the space
// its extra copies take, "Trash extra copies…", and a row per file with a 90-wide keep button
// that reads "Keep" for the group's chosen keeper and "Keep this" for every other file. The keep
// buttons follow the store's `keeperIDs`. Main thread only.
class DuplicateGroupCard : public QFrame
{
    Q_OBJECT

public:
    enum class Mode { exact, similar };

    DuplicateGroupCard(LibraryStore &store, const DuplicateGroup &group, Mode mode, QWidget *parent = nullptr);

    // The keep buttons, one per file in group order.
    const QList<QPushButton *> &keepButtons() const { return m_keepButtons; }

private:
    void updateKeepButtons();

    LibraryStore &m_store;
    DuplicateGroup m_group;
    QList<QPushButton *> m_keepButtons;
};
