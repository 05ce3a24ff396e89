#include "ui/sections/sourcessection.h"

#include <QLabel>
#include <QVBoxLayout>

SourcesSection::SourcesSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("SourcesSection"), this));
}
