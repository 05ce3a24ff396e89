#pragma once

#include <QStringList>
#include <QWidget>

class DeferredUpdate;
class LibraryStore;
class QVBoxLayout;
class SummaryCard;

// The download sources section: one row per source name with its file count, leading to the
// browser of that source; an empty state when no file records where it came from. Follows the
// files: counts change in place, rows are made anew only when the names change. Main thread only.
class SourcesSection : public QWidget
{
    Q_OBJECT

public:
    explicit SourcesSection(LibraryStore &store, QWidget *parent = nullptr);

private:
    void updateRows();

    LibraryStore &m_store;
    QWidget *m_empty = nullptr;
    QVBoxLayout *m_rows = nullptr;
    QStringList m_names;
    QList<SummaryCard *> m_cards;
    DeferredUpdate *m_update = nullptr;
};
