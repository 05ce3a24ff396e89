#pragma once

#include "generator/plannedfile.h"

#include <QByteArray>

// Office documents with the minimal parts their formats require, real text inside: a Word
// document (docx), a spreadsheet (xlsx) and an OpenDocument text (odt). Thread-safe.
namespace OfficeContent {
QByteArray make(const PlannedFile &file);
}
