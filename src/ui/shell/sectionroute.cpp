#include "ui/shell/sectionroute.h"

SectionRoute routeFor(const QString &query, const Destination &destination)
{
    if (!query.isEmpty())
        return SectionRoute::browser;
    switch (destination.place()) {
    case Destination::Place::home:
        return SectionRoute::home;
    case Destination::Place::duplicates:
        return SectionRoute::duplicates;
    case Destination::Place::cleanUp:
        return SectionRoute::cleanUp;
    case Destination::Place::downloadedFrom:
        return SectionRoute::sources;
    default:
        return SectionRoute::browser;
    }
}
