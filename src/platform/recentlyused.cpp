#include "platform/recentlyused.h"

#include "platform/xdgpaths.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

// recently-used.xbel stays small in practice; a file beyond this is not worth parsing at every scan.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// The exact path bytes of a file:// URI, or empty for any other URI.
QByteArray localPath(QStringView href)
{
    constexpr QStringView scheme = u"file://";
    if (!href.startsWith(scheme, Qt::CaseInsensitive))
        return {};
    QStringView rest = href.mid(scheme.size());
    if (!rest.startsWith(u'/')) {
        // file://host/path: only the local host is ours.
        const qsizetype slash = rest.indexOf(u'/');
        if (slash < 0 || rest.first(slash).compare(u"localhost", Qt::CaseInsensitive) != 0)
            return {};
        rest = rest.mid(slash);
    }
    return QByteArray::fromPercentEncoding(rest.toUtf8());
}

void keepNewest(std::optional<Timestamp> &newest, QStringView stamp)
{
    if (stamp.isEmpty())
        return;
    const auto t = Timestamp::fromIsoString(stamp);
    if (t && (!newest || *t > *newest))
        newest = t;
}

} // namespace

QString RecentlyUsed::defaultFilePath()
{
    return XdgPaths::dataHome() + QStringLiteral("/recently-used.xbel");
}

RecentlyUsed RecentlyUsed::load(const QString &filePath)
{
    QFile file(filePath.isEmpty() ? defaultFilePath() : filePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return {};
    return parse(file.readAll());
}

RecentlyUsed RecentlyUsed::parse(const QByteArray &xml)
{
    RecentlyUsed result;
    QXmlStreamReader reader(xml);
    QByteArray currentPath;
    std::optional<Timestamp> newest;

    auto finishBookmark = [&] {
        if (!currentPath.isEmpty() && newest) {
            auto it = result.m_lastUsed.find(currentPath);
            if (it == result.m_lastUsed.end())
                result.m_lastUsed.insert(currentPath, *newest);
            else if (*newest > *it)
                *it = *newest;
        }
        currentPath.clear();
        newest.reset();
    };

    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            const QXmlStreamAttributes attributes = reader.attributes();
            if (name == u"bookmark") {
                finishBookmark();
                currentPath = localPath(attributes.value(QLatin1String("href")));
                keepNewest(newest, attributes.value(QLatin1String("modified")));
                keepNewest(newest, attributes.value(QLatin1String("visited")));
            } else if (name == u"application" && !currentPath.isEmpty()) {
                keepNewest(newest, attributes.value(QLatin1String("modified")));
                // Older files carry a Unix time stamp instead of an ISO date.
                const QStringView stamp = attributes.value(QLatin1String("timestamp"));
                bool ok = false;
                const qint64 seconds = stamp.toLongLong(&ok);
                if (ok && seconds > 0) {
                    const Timestamp t = Timestamp::fromUnix(seconds);
                    if (!newest || t > *newest)
                        newest = t;
                }
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == u"bookmark") {
            finishBookmark();
        }
    }
    // A truncated file keeps what was read before the damage.
    finishBookmark();
    return result;
}

std::optional<Timestamp> RecentlyUsed::lastUsed(const QByteArray &path) const
{
    const auto it = m_lastUsed.constFind(path);
    if (it == m_lastUsed.constEnd())
        return std::nullopt;
    return *it;
}
