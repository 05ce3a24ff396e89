#include "ui/shell/mainwindow.h"

#include "platform/threadlatency.h"
#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/shell/commands.h"
#include "ui/shell/contentview.h"

#include <QApplication>
#include <QMenuBar>
#include <QShowEvent>

MainWindow::MainWindow(LibraryStore &store, QWidget *parent)
    : QMainWindow(parent), m_commands(new Commands(store, this)), m_content(new ContentView(store, this))
{
    // This thread answers input and paints: when it wakes it runs before the background work
    // that shares the processors with it, instead of waiting out that work's time slice.
    ThreadLatency::preferPromptWakeUps();
    setWindowTitle(QStringLiteral("Tessary"));
    setWindowIcon(Symbols::applicationIcon());
    setObjectName(QStringLiteral("main"));
    setCentralWidget(m_content);
    m_commands->install(menuBar(), this);
    menuBar()->setAccessibleName(QStringLiteral("Menu bar"));
    setMinimumSize(580, 440 + menuBar()->sizeHint().height());
    resize(1240, 820);
    connect(m_commands, &Commands::quitRequested, qApp, &QApplication::quit, Qt::QueuedConnection);
}

MainWindow::~MainWindow() = default;

void MainWindow::showMain()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Q_EMIT firstShown();
    }
}
