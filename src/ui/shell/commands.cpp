#include "ui/shell/commands.h"

#include "store/librarystore.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <algorithm>

Commands::Commands(LibraryStore &store, QObject *parent) : QObject(parent), m_store(store)
{
    build();
}

QAction *Commands::add(const QString &title, const QList<QKeySequence> &keys)
{
    auto *action = new QAction(title, this);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    m_actions.append(action);
    return action;
}

void Commands::build()
{
    LibraryStore &store = m_store;
    const auto keys = [](QKeyCombination combination) { return QList<QKeySequence>{ QKeySequence(combination) }; };

    QAction *addFolder = add(QStringLiteral("Add Folder…"), keys(Qt::CTRL | Qt::Key_O));
    connect(addFolder, &QAction::triggered, &store, [&store] { store.chooseFolder(); });
    QAction *settings = add(QStringLiteral("Settings…"), keys(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &Commands::settingsRequested);
    QAction *quit = add(QStringLiteral("Quit"), keys(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &Commands::quitRequested);
    m_menus.append({ QStringLiteral("&File"), { addFolder, nullptr, settings, nullptr, quit } });

    QAction *refresh = add(QStringLiteral("Refresh Library"), keys(Qt::CTRL | Qt::Key_R));
    connect(refresh, &QAction::triggered, &store, [&store] { store.refresh(); });
    QAction *grid = add(QStringLiteral("Grid View"), keys(Qt::CTRL | Qt::Key_1));
    connect(grid, &QAction::triggered, &store, [&store] { store.setListMode(false); });
    QAction *list = add(QStringLiteral("List View"), keys(Qt::CTRL | Qt::Key_2));
    connect(list, &QAction::triggered, &store, [&store] { store.setListMode(true); });
    // Ctrl+= is the same key without Shift on most layouts.
    QAction *bigger = add(QStringLiteral("Bigger Thumbnails"),
                          { QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal) });
    connect(bigger, &QAction::triggered, &store,
            [&store] { store.setTileSize(std::min(store.tileSize() + kTileStep, kMaximumTileSize)); });
    QAction *smaller = add(QStringLiteral("Smaller Thumbnails"), keys(Qt::CTRL | Qt::Key_Minus));
    connect(smaller, &QAction::triggered, &store,
            [&store] { store.setTileSize(std::max(store.tileSize() - kTileStep, kMinimumTileSize)); });
    QAction *inspector = add(QStringLiteral("Toggle Inspector"), keys(Qt::CTRL | Qt::Key_I));
    connect(inspector, &QAction::triggered, &store, [&store] { store.setShowInspector(!store.showInspector()); });
    QAction *look = add(QStringLiteral("Switch Look"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    connect(look, &QAction::triggered, &store, [&store] { store.setMinimal(!store.minimal()); });
    QAction *quickSearch = add(QStringLiteral("Quick Search"), {});
    connect(quickSearch, &QAction::triggered, this, &Commands::quickSearchRequested);
    QAction *sources = add(QStringLiteral("Downloaded From"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_J));
    connect(sources, &QAction::triggered, &store, [&store] { store.navigate(Destination::downloadedFrom()); });
    QAction *duplicates = add(QStringLiteral("Duplicates"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    connect(duplicates, &QAction::triggered, &store, [&store] { store.navigate(Destination::duplicates()); });
    QAction *cleanUp = add(QStringLiteral("Clean Up"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    connect(cleanUp, &QAction::triggered, &store, [&store] { store.navigate(Destination::cleanUp()); });
    m_menus.append({ QStringLiteral("&View"),
                     { refresh, nullptr, grid, list, bigger, smaller, nullptr, inspector, look, quickSearch, nullptr,
                       sources, duplicates, cleanUp } });

    QAction *selectAll = add(QStringLiteral("Select All Files"), keys(Qt::CTRL | Qt::Key_A));
    connect(selectAll, &QAction::triggered, &store, &LibraryStore::selectAllShown);
    QAction *copyFiles = add(QStringLiteral("Copy Files"), keys(Qt::CTRL | Qt::Key_C));
    connect(copyFiles, &QAction::triggered, &store, [&store] { store.copyFiles(); });
    QAction *copyText = add(QStringLiteral("Copy Text from Selection"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(copyText, &QAction::triggered, &store, [&store] { store.copyText(store.chosenFiles(), false); });
    QAction *trash = add(QStringLiteral("Move Selection to Trash…"), keys(Qt::Key_Delete));
    connect(trash, &QAction::triggered, &store, [&store] { store.requestTrash(store.chosenFiles()); });
    m_menus.append({ QStringLiteral("Fi&les"), { selectAll, copyFiles, copyText, nullptr, trash } });

    QAction *playPause = add(QStringLiteral("Play / Pause"), keys(Qt::CTRL | Qt::Key_Space));
    connect(playPause, &QAction::triggered, &store, [&store] { store.togglePlayback(); });
    QAction *previous = add(QStringLiteral("Previous Track"), keys(Qt::CTRL | Qt::Key_Left));
    connect(previous, &QAction::triggered, &store, [&store] { store.skipSong(-1); });
    QAction *next = add(QStringLiteral("Next Track"), keys(Qt::CTRL | Qt::Key_Right));
    connect(next, &QAction::triggered, &store, [&store] { store.skipSong(1); });
    m_menus.append({ QStringLiteral("&Playback"), { playPause, previous, next } });
}

void Commands::install(QMenuBar *menuBar, QWidget *window)
{
    for (const auto &[title, items] : std::as_const(m_menus)) {
        QMenu *menu = menuBar->addMenu(title);
        for (QAction *item : items) {
            if (item == nullptr)
                menu->addSeparator();
            else
                menu->addAction(item);
        }
    }
    window->addActions(m_actions);
}

QAction *Commands::action(const QString &title) const
{
    for (QAction *action : m_actions) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}
