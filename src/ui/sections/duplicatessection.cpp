#include "ui/sections/duplicatessection.h"

#include <QLabel>
#include <QVBoxLayout>

DuplicatesSection::DuplicatesSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("DuplicatesSection"), this));
}
