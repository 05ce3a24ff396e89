#include "store/destination.h"

#include "store/cleancategory.h"

#include <array>

namespace {

constexpr QStringView kFolderPrefix = u"folder:";
constexpr QStringView kSourcePrefix = u"source:";

struct FixedPlace
{
    Destination::Place place;
    QStringView key;
};

constexpr std::array<FixedPlace, 7> kFixed { {
    { Destination::Place::home, u"Home" },
    { Destination::Place::recents, u"Recents" },
    { Destination::Place::largeFiles, u"Large Files" },
    { Destination::Place::screenshots, u"Screenshots" },
    { Destination::Place::duplicates, u"Duplicates" },
    { Destination::Place::cleanUp, u"Clean Up" },
    { Destination::Place::downloadedFrom, u"Downloaded From" },
} };

// The last component of a path; a trailing slash does not make it empty ("/a/b/" is "b") and
// the root stays "/".
QString lastComponent(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0 || path.size() == 1)
        return path.toString();
    return path.mid(slash + 1).toString();
}

} // namespace

Destination Destination::ofKind(FileKind kind)
{
    Destination destination(Place::kind);
    destination.m_kind = kind;
    return destination;
}

Destination Destination::cleanCategory(int category)
{
    Destination destination(Place::cleanCategory);
    destination.m_category = category;
    return destination;
}

Destination Destination::folder(const QByteArray &path)
{
    Destination destination(Place::folder);
    destination.m_folder = path;
    return destination;
}

Destination Destination::source(const QString &name)
{
    Destination destination(Place::source);
    destination.m_source = name;
    return destination;
}

std::optional<Destination> Destination::fromKey(QStringView key)
{
    for (const FixedPlace &fixed : kFixed)
        if (key == fixed.key)
            return Destination(fixed.place);
    if (const std::optional<FileKind> kind = FileKind::fromRawValue(key))
        return ofKind(*kind);
    if (const int category = CleanCategories::indexOf(key); category >= 0)
        return cleanCategory(category);
    if (key.startsWith(kFolderPrefix))
        return folder(key.mid(kFolderPrefix.size()).toUtf8());
    if (key.startsWith(kSourcePrefix))
        return source(key.mid(kSourcePrefix.size()).toString());
    return std::nullopt;
}

QString Destination::key() const
{
    switch (m_place) {
    case Place::kind:
        return m_kind.rawValue();
    case Place::cleanCategory:
        return CleanCategories::title(m_category);
    case Place::folder:
        return kFolderPrefix + QString::fromUtf8(m_folder);
    case Place::source:
        return kSourcePrefix + m_source;
    default:
        break;
    }
    for (const FixedPlace &fixed : kFixed)
        if (fixed.place == m_place)
            return fixed.key.toString();
    return {};
}

QString Destination::title() const
{
    switch (m_place) {
    case Place::folder:
        return lastComponent(QString::fromUtf8(m_folder));
    case Place::source:
        return m_source;
    default:
        return key();
    }
}
