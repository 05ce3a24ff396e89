#pragma once

#include <QList>
#include <QObject>
#include <QString>

class LibraryStore;
class QAction;
class QMenuBar;

// The menu commands of the main window, each a direct call on the store: File ("Add Folder…",
// "Settings…", "Quit"), View, Files and Playback, with their keys. No item is ever disabled; each
// operation decides what to do with an empty selection or list.
//
// Every action has the window-wide shortcut context, so it works wherever the focus is inside the
// window; a focused text field still keeps its own editing keys (Ctrl+A, Ctrl+C, Ctrl+Left and
// Ctrl+Right, Delete), because Qt offers those keys to the field first.
class Commands : public QObject
{
    Q_OBJECT

public:
    static constexpr double kMaximumTileSize = 260;
    static constexpr double kMinimumTileSize = 110;
    static constexpr double kTileStep = 10;

    Commands(LibraryStore &store, QObject *parent = nullptr);

    // Adds the four menus, in order, to `menuBar`, and every action to `window` as well so the
    // keys work while the menu bar is hidden.
    void install(QMenuBar *menuBar, class QWidget *window);

    // The action titled `title` (exact text), or nullptr.
    QAction *action(const QString &title) const;
    const QList<QAction *> &actions() const { return m_actions; }

Q_SIGNALS:
    void quickSearchRequested();
    void settingsRequested();
    void quitRequested();

private:
    QAction *add(const QString &title, const QList<class QKeySequence> &keys);
    void build();

    LibraryStore &m_store;
    QList<QAction *> m_actions;
    // Menu title and the actions under it, in order; nullptr stands for a separator.
    QList<QPair<QString, QList<QAction *>>> m_menus;
};
