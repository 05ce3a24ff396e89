#pragma once

#include "store/destination.h"

#include <QWidget>

#include <array>

class DeferredUpdate;
class LibraryStore;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class SidebarEntry;

// The library's navigation column: Home, Recents, one entry per kind with its file count, the
// fixed destinations, the pinned folders, the library's folders with "Add folder", the saved
// searches and a short privacy line. Everything comes from the store and follows its change
// signals; an entry is highlighted while the store's destination is its key and the query is
// empty, and clicking it navigates there. Scrolls when taller than the window. Main thread only.
class Sidebar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 214;

    Sidebar(LibraryStore &store, QWidget *parent = nullptr);

    // Every entry shown, top to bottom (the order Up and Down move the focus in).
    QList<SidebarEntry *> entries() const;

private:
    SidebarEntry *addEntry(QVBoxLayout *layout, const QString &title, const QString &symbol,
        const std::optional<Destination> &destination);
    QLabel *addSectionLabel(QVBoxLayout *layout, const QString &title);
    void rebuildPinned();
    void rebuildLocations();
    void rebuildSearches();
    void updateCounts();
    void updateTints();
    void updateHighlight();
    void stepFocus(SidebarEntry *from, int step);

    LibraryStore &m_store;
    DeferredUpdate *m_countsUpdate = nullptr;
    QScrollArea *m_scroll = nullptr;
    std::array<SidebarEntry *, 7> m_kindEntries {};
    QList<SidebarEntry *> m_topEntries;
    QLabel *m_pinnedLabel = nullptr;
    QVBoxLayout *m_pinnedLayout = nullptr;
    QList<SidebarEntry *> m_pinnedEntries;
    QVBoxLayout *m_rootsLayout = nullptr;
    QList<SidebarEntry *> m_rootEntries;
    SidebarEntry *m_addFolder = nullptr;
    QLabel *m_searchesLabel = nullptr;
    QVBoxLayout *m_searchesLayout = nullptr;
    QList<SidebarEntry *> m_searchEntries;
};
