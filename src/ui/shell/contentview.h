#pragma once

#include "ui/shell/sectionroute.h"

#include <QWidget>

#include <array>

class ErrorAlert;
class FooterBar;
class Inspector;
class LibraryStore;
class PreviewWindow;
class QStackedWidget;
class Sidebar;
class Toolbar;
class TrashConfirmation;

// The main window's content: the toolbar row; the sidebar, the section area and the inspector;
// the footer status line; and the window-wide pieces driven by the store (the trash
// confirmation, the error alert, the preview window).
//
// Its own state is only `compact` (the width it is given is below 760, which hides sidebar and
// inspector without changing the stored settings). Sections are made the first time they are
// shown, so the window opens without building what it does not show.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(LibraryStore &store, QWidget *parent = nullptr);
    ~ContentView() override;

    bool isCompact() const { return m_compact; }
    SectionRoute route() const { return m_route; }
    // The widget of the section now shown.
    QWidget *currentSection() const;

    Toolbar &toolbar() const { return *m_toolbar; }
    Sidebar &sidebar() const { return *m_sidebar; }
    Inspector &inspector();
    FooterBar &footer() const { return *m_footer; }

    // Gives the search field the keyboard focus (Ctrl+F).
    void focusSearch();

Q_SIGNALS:
    void quickSearchRequested();
    void settingsRequested();

protected:
    void keyPressEvent(class QKeyEvent *event) override;
    void resizeEvent(class QResizeEvent *event) override;

private:
    void updateRoute();
    void updatePanels();
    QWidget *section(SectionRoute route);

    LibraryStore &m_store;
    Toolbar *m_toolbar = nullptr;
    Sidebar *m_sidebar = nullptr;
    QStackedWidget *m_sections = nullptr;
    class QHBoxLayout *m_row = nullptr;
    std::array<QWidget *, 5> m_sectionWidgets{};
    Inspector *m_inspector = nullptr;
    FooterBar *m_footer = nullptr;
    TrashConfirmation *m_trashConfirmation = nullptr;
    ErrorAlert *m_errorAlert = nullptr;
    PreviewWindow *m_previewWindow = nullptr;
    bool m_compact = false;
    SectionRoute m_route = SectionRoute::home;
};
