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

QString browserTitle(QStringView query, QStringView destination)
{
    constexpr qsizetype kPrefix = 7; // "folder:" and "source:"
    if (!query.isEmpty())
        return QStringLiteral("Search results");
    if (destination.startsWith(u"folder:")) {
        QStringView path = destination.mid(kPrefix);
        // A trailing slash does not make the last component empty ("/a/b/" is "b").
        while (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0 || path.size() == 1)
            return path.toString();
        return path.mid(slash + 1).toString();
    }
    if (destination.startsWith(u"source:"))
        return destination.mid(kPrefix).toString();
    return destination.toString();
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
