#pragma once

#include "library/librarywatcher.h"

#include <QWidget>

#include <functional>

class DesktopServices;
class LibraryStore;
class QCheckBox;
class QKeyEvent;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;

// The settings window, 570 x 700: appearance and browsing, the quick search shortcut, the text
// index, the automatic clean-up rules and the release block. Every control reads and writes the
// store directly and follows its changes.
//
// Recording a shortcut: while recording, every key press delivered to the application is taken
// by the window (nothing reaches other controls or fires menu shortcuts). Escape ends recording
// without storing; a press the services refuse (no Ctrl, Alt or Super, or a key no shortcut
// service can name) keeps recording and says why under the button; an accepted one is stored
// and ends it. Hiding the window ends it too. Main thread only.
class SettingsWindow : public QWidget
{
    Q_OBJECT

public:
    // Makes the content of the "Release and updates" section; installed by the update service.
    // Without one the section shows the state of a build with no signed update feed.
    using UpdateBlockFactory = std::function<QWidget *(QWidget *parent)>;
    static void setUpdateBlockFactory(UpdateBlockFactory factory);

    static constexpr QSize kSize {570, 700};
    static constexpr int kMinimumTileSize = 110;
    static constexpr int kMaximumTileSize = 260;
    static constexpr int kTileSizeStep = 10;

    SettingsWindow(LibraryStore &store, DesktopServices &services, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    bool isRecording() const { return m_recording; }
    void recordShortcut();
    void stopRecording();

    // Which folders are followed live and why the others are not, for the line under "Refresh
    // folders every minute"; empty before the first scan.
    static QString liveFoldersText(const QList<LibraryWatcher::Root> &roots, bool autoRefresh);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(class QHideEvent *event) override;

private:
    QWidget *appearanceSection();
    QWidget *quickSearchSection();
    QWidget *textSearchSection();
    QWidget *cleanupSection();
    QWidget *updateSection();
    void updateRecordButton();
    void showRefusal(const QString &text);
    void updateIndexControls();
    void updateRulesButton();
    QLabel *liveFoldersLabel(QWidget *parent);

    LibraryStore &m_store;
    DesktopServices &m_services;
    bool m_recording = false;
    QPushButton *m_record = nullptr;
    QLabel *m_recordRefusal = nullptr;
    QPushButton *m_rebuild = nullptr;
    QPushButton *m_runRules = nullptr;
};
