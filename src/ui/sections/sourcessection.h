#pragma once

#include <QTimer>
#include <QWidget>

class LibraryStore;
class QVBoxLayout;

// The download sources section: one row per source name with its file count, leading to the
// browser of that source; an empty state when no file records where it came from. Rebuilt when
// the files change. Main thread only.
class SourcesSection : public QWidget
{
    Q_OBJECT

public:
    explicit SourcesSection(LibraryStore &store, QWidget *parent = nullptr);

private:
    void rebuild();

    LibraryStore &m_store;
    QVBoxLayout *m_column = nullptr;
    QWidget *m_body = nullptr;
    QTimer m_rebuildTimer;
};
