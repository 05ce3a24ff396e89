#include "ui/desktop/updatesettings.h"

#include "automation/updateservice.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UpdateSettings::UpdateSettings(UpdateService &service, QWidget *parent)
    : QWidget(parent),
      m_service(service),
      m_headline(new QLabel(this)),
      m_automatic(new QCheckBox(QStringLiteral("Automatically download signed updates"), this)),
      m_check(new QPushButton(QStringLiteral("Check for Updates…"), this)),
      m_status(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(9);
    QFont headlineFont = m_headline->font();
    headlineFont.setBold(true);
    m_headline->setFont(headlineFont);
    m_headline->setTextFormat(Qt::PlainText);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_status->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_status->setFont(caption);
    m_check->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_check->setAccessibleName(m_check->text());
    m_automatic->setAccessibleName(m_automatic->text());
    layout->addWidget(m_headline);
    layout->addWidget(m_automatic);
    layout->addWidget(m_check, 0, Qt::AlignLeft);
    layout->addWidget(m_status);

    connect(m_automatic, &QCheckBox::toggled, &m_service, [this](bool on) {
        if (on != m_service.automatic())
            m_service.setAutomatic(on);
    });
    connect(m_check, &QPushButton::clicked, &m_service, &UpdateService::check);
    connect(&m_service, &UpdateService::configuredChanged, this, &UpdateSettings::showState);
    connect(&m_service, &UpdateService::automaticChanged, this, &UpdateSettings::showState);
    connect(&m_service, &UpdateService::statusChanged, this, &UpdateSettings::showState);
    showState();
}

void UpdateSettings::showState()
{
    m_headline->setText(m_service.headline());
    m_headline->setAccessibleName(m_headline->text());
    m_automatic->setEnabled(m_service.configured());
    m_check->setEnabled(m_service.configured());
    if (m_automatic->isChecked() != m_service.automatic())
        m_automatic->setChecked(m_service.automatic());
    m_status->setText(m_service.status());
    m_status->setAccessibleName(m_status->text());
}
