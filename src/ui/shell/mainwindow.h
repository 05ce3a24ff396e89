#pragma once

#include <QMainWindow>

class Commands;
class ContentView;
class LibraryStore;

// The main window: title "Tessary", 1240 x 820 at first, no smaller than 580 x 440, the menu
// commands and the content view. Closing it hides it; the process goes on (see
// TessaryApplication), and showMain() brings it back.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(LibraryStore &store, QWidget *parent = nullptr);
    ~MainWindow() override;

    Commands &commands() const { return *m_commands; }
    ContentView &content() const { return *m_content; }

    // Shows the window (again), raises it and asks for the focus.
    void showMain();

Q_SIGNALS:
    // The window was shown for the first time (start-up actions hang on this).
    void firstShown();

protected:
    void showEvent(class QShowEvent *event) override;

private:
    Commands *m_commands = nullptr;
    ContentView *m_content = nullptr;
    bool m_shownOnce = false;
};
