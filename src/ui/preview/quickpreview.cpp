#include "ui/preview/quickpreview.h"

#include <QLabel>
#include <QVBoxLayout>

QuickPreview::QuickPreview(QWidget *parent) : QWidget(parent), m_label(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label);
}

QuickPreview::~QuickPreview() = default;

void QuickPreview::setFile(const std::optional<FileRecord> &file)
{
    m_label->setText(file ? file->name() : QString());
}
