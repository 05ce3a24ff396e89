#pragma once

#include "analysis/duplicategroup.h"

#include <QWidget>

#include <array>

class DeferredUpdate;
class LibraryStore;
class QButtonGroup;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

// The duplicates section: the Scan button, the "Exact" / "Similar photos" choice bound to
// `duplicateMode`, a progress line while comparing, an empty state, or one card per group.
// Groups can number in the hundreds, so cards are made in batches as the list is scrolled
// towards its end; the cards are remade only when the mode or its group list changes.
// Main thread only.
class DuplicatesSection : public QWidget
{
    Q_OBJECT

public:
    // Cards made per batch.
    static constexpr int kBatch = 20;

    explicit DuplicatesSection(LibraryStore &store, QWidget *parent = nullptr);

    // The number of group cards made so far.
    int shownGroups() const { return m_shown; }

private:
    bool similarMode() const;
    void updateState();
    void rebuildGroups();
    void showMore();
    void fillViewport();

    LibraryStore &m_store;
    QPushButton *m_scan = nullptr;
    QButtonGroup *m_modes = nullptr;
    QLabel *m_explanation = nullptr;
    QStackedWidget *m_body = nullptr;
    QWidget *m_progress = nullptr;
    // The empty states of the exact and the look-alike mode.
    std::array<QWidget *, 2> m_empty {};
    QScrollArea *m_scroll = nullptr;
    QVBoxLayout *m_cards = nullptr;
    QList<DuplicateGroup> m_groups;
    bool m_groupsSimilar = false;
    bool m_built = false;
    int m_shown = 0;
    DeferredUpdate *m_update = nullptr;
};
