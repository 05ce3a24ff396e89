#include "ui/shell/sectionroute.h"

SectionRoute routeFor(const QString &query, const QString &destination)
{
    if (!query.isEmpty())
        return SectionRoute::browser;
    if (destination == u"Home")
        return SectionRoute::home;
    if (destination == u"Duplicates")
        return SectionRoute::duplicates;
    if (destination == u"Clean Up")
        return SectionRoute::cleanUp;
    if (destination == u"Downloaded From")
        return SectionRoute::sources;
    return SectionRoute::browser;
}
