#pragma once

#include "generator/seededrandom.h"

#include <QString>
#include <QStringList>

// Plausible English for generated documents: sentences a person might write in notes, reports,
// receipts and letters, assembled from fixed word lists so every seed reads differently.
namespace Prose {

QString sentence(SeededRandom &random);
QString paragraph(SeededRandom &random, int sentences);
// "Quarterly budget review", "Notes on the kitchen renovation"...
QString title(SeededRandom &random);
// A first and last name.
QString personName(SeededRandom &random);
// A short project or company-like name ("Atlas", "Blue Harbor").
QString projectName(SeededRandom &random);
// Words usable in file names ("budget", "minutes"...).
QString topic(SeededRandom &random);

} // namespace Prose
