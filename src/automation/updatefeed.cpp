#include "automation/updatefeed.h"

#include <QXmlStreamReader>

namespace UpdateFeed {

namespace {

// The leading number of a version part ("3rc1" counts as 3); 0 when it has none.
qint64 numberOf(QStringView part)
{
    qint64 value = 0;
    for (const QChar c : part) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 1'000'000'000)
            break;
    }
    return value;
}

} // namespace

Parsed parse(const QByteArray &document)
{
    Parsed parsed;
    QXmlStreamReader xml(document);
    std::optional<Release> item;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == u"item") {
                item = Release();
            } else if (item && name == u"version") {
                item->version = xml.readElementText().trimmed();
            } else if (item && name == u"enclosure") {
                const QXmlStreamAttributes attributes = xml.attributes();
                for (const QXmlStreamAttribute &attribute : attributes) {
                    const QStringView key = attribute.name();
                    if (key == u"url")
                        item->url = QUrl(attribute.value().toString().trimmed(), QUrl::StrictMode);
                    else if (key == u"length")
                        item->length = attribute.value().toLongLong();
                    else if (key == u"signature")
                        item->signature = attribute.value().toString().trimmed().toLatin1();
                    else if (key == u"version" && item->version.isEmpty())
                        item->version = attribute.value().toString().trimmed();
                }
            }
        } else if (xml.isEndElement() && xml.name() == u"item" && item) {
            if (!item->version.isEmpty() && item->url.isValid() && item->url.scheme() == u"https")
                parsed.releases.append(*item);
            item.reset();
        }
    }
    if (xml.hasError()) {
        parsed.releases.clear();
        parsed.error = xml.errorString();
    }
    return parsed;
}

int compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(u'.');
    const QStringList right = b.split(u'.');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 x = i < left.size() ? numberOf(left[i]) : 0;
        const qint64 y = i < right.size() ? numberOf(right[i]) : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

std::optional<Release> newest(const QList<Release> &releases)
{
    std::optional<Release> best;
    for (const Release &release : releases)
        if (!best || compareVersions(release.version, best->version) > 0)
            best = release;
    return best;
}

} // namespace UpdateFeed
