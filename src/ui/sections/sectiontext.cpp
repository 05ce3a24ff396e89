#include "ui/sections/sectiontext.h"

#include "library/bytecountformatter.h"

namespace SectionText {

QString greeting(int hour)
{
    if (hour < 12)
        return QStringLiteral("Good morning.");
    if (hour < 17)
        return QStringLiteral("Good afternoon.");
    return QStringLiteral("Good evening.");
}

QString browserTitle(QStringView query, const Destination &destination)
{
    return query.isEmpty() ? destination.title() : QStringLiteral("Search results");
}

QString bytes(qint64 count)
{
    return ByteCountFormatter::fileStyle(count);
}

QString fileCount(qsizetype count)
{
    return QString::number(count) + QStringLiteral(" files");
}

} // namespace SectionText
