#pragma once

#include "generator/plannedfile.h"

#include <QByteArray>
#include <QImage>

// Pictures drawn from a seed: photos of landscapes, desktops with windows of text, diagrams.
// The same seed and size always give the same pixels; different seeds give pictures that look
// clearly different. Usable from any thread (the application must be a QGuiApplication, for
// the fonts).
namespace ImageContent {

QImage landscape(quint64 seed, int width, int height);
QImage desktop(quint64 seed, int width, int height);
QImage diagram(quint64 seed, int width, int height);

// The encoded file for an image content; look-alikes are made from `origin`'s picture.
// Throws std::runtime_error when encoding fails.
QByteArray make(const PlannedFile &file, const PlannedFile *origin);

// A small PNG for an application bundle.
QByteArray icon(quint64 seed);

} // namespace ImageContent
