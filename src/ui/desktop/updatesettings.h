#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class UpdateService;

// The settings window's block about updates: the version headline, the switch for automatic
// signed updates, "Check for Updates…" and the service's one-line status. Both controls are
// disabled while the build has no usable signed feed. Main thread only; `service` outlives it.
class UpdateSettings : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateSettings(UpdateService &service, QWidget *parent = nullptr);

private:
    void showState();

    UpdateService &m_service;
    QLabel *m_headline = nullptr;
    QCheckBox *m_automatic = nullptr;
    QPushButton *m_check = nullptr;
    QLabel *m_status = nullptr;
};
