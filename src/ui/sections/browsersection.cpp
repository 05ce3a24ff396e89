#include "ui/sections/browsersection.h"

#include <QLabel>
#include <QVBoxLayout>

BrowserSection::BrowserSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("BrowserSection"), this));
}
