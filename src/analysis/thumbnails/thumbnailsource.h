#pragma once

#include "library/filekind.h"

#include <QByteArray>

// What a thumbnail of a file is made from, decided from its kind and extension alone: the
// picture itself, a PDF's first page or a video frame; none for anything else.
namespace ThumbnailSource {

enum class Kind { none, image, pdf, video };

Kind of(const QByteArray &path, FileKind kind);

} // namespace ThumbnailSource
