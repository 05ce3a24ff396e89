#include "library/metadatareader.h"

#include "platform/extendedattributes.h"
#include "platform/giometadata.h"

#include <QUrl>

namespace {

constexpr const char *kOriginUrl = "user.xdg.origin.url";
constexpr const char *kReferrerUrl = "user.xdg.referrer.url";
constexpr const char *kTags = "user.xdg.tags";

std::optional<QString> attributeText(const QByteArray &path, const QByteArrayList &names, const char *name)
{
    if (!names.contains(QByteArrayView(name)))
        return std::nullopt;
    const auto value = ExtendedAttributes::value(path, name);
    if (!value)
        return std::nullopt;
    return QString::fromUtf8(*value);
}

} // namespace

MetadataReader MetadataReader::load()
{
    MetadataReader reader;
    reader.m_recentlyUsed = RecentlyUsed::load();
    reader.m_gioAvailable = GioMetadata::isAvailable();
    return reader;
}

MetadataReader::Attributes MetadataReader::readAttributes(const QByteArray &path) const
{
    Attributes attributes;
    const QByteArrayList names = ExtendedAttributes::names(path);

    QStringList whereFroms;
    for (const char *name : {kOriginUrl, kReferrerUrl}) {
        if (auto url = attributeText(path, names, name))
            whereFroms.append(*url);
    }
    attributes.source = hostOfFirstUrl(whereFroms);
    if (!attributes.source && m_gioAvailable) {
        if (auto uri = GioMetadata::downloadUri(path))
            attributes.source = hostOfFirstUrl({*uri});
    }

    if (auto tags = attributeText(path, names, kTags))
        attributes.tags = tags->split(u',', Qt::SkipEmptyParts);

    attributes.cloud = LocalFileAccess::cloudState(path, names);
    return attributes;
}

std::optional<QString> MetadataReader::hostOfFirstUrl(const QStringList &whereFroms)
{
    for (const QString &entry : whereFroms) {
        const QUrl url(entry, QUrl::StrictMode);
        if (url.isValid() && !url.host().isEmpty())
            return url.host();
    }
    return std::nullopt;
}
