#pragma once

#include <QWidget>

class DesktopServices;
class LibraryStore;
class QScreen;
class QuickSearchView;

// The floating quick search window: frameless, 650 x 530, above other windows, never the main
// window. Made once and then only hidden and shown, so its text is kept. Main thread only.
class QuickSearchPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kSize {650, 530};

    QuickSearchPanel(LibraryStore &store, DesktopServices &services);

    QuickSearchView &view() const { return *m_view; }
    // Centres the panel on `screen` (the primary one when null), shows it and gives it focus.
    void showCentred(QScreen *screen);

protected:
    void paintEvent(class QPaintEvent *event) override;

private:
    QuickSearchView *m_view = nullptr;
};
