#include "ui/sections/cleanupsection.h"

#include <QLabel>
#include <QVBoxLayout>

CleanupSection::CleanupSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("CleanupSection"), this));
}
