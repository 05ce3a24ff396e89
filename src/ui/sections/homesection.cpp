#include "ui/sections/homesection.h"

#include <QLabel>
#include <QVBoxLayout>

HomeSection::HomeSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("HomeSection"), this));
}
