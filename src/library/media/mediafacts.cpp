#include "library/media/mediafacts.h"

QString MediaFacts::formatDimensions(qint64 width, qint64 height)
{
    return QString::number(width) + QStringLiteral(" \u00d7 ") + QString::number(height);
}
