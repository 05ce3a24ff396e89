#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The signed update feed: an RSS 2.0 document whose items each describe one release,
//
//   <item>
//     <title>Tessary 1.4.0</title>
//     <version>1.4.0</version>
//     <enclosure url="https://…/tessary_1.4.0_amd64.deb" length="123456"
//                type="application/vnd.debian.binary-package" signature="BASE64"/>
//   </item>
//
// where `signature` is the standard Base64 of the Ed25519 signature of the enclosure's bytes.
// Element and attribute names are matched by local name, so a namespace prefix does no harm.
// Stateless; safe on any thread.
namespace UpdateFeed {

struct Release
{
    QString version;
    QUrl url;
    qint64 length = -1; // -1: not given
    QByteArray signature;
};

// The releases of `document` that name a version and an https enclosure; an error text when
// the document is not a readable feed.
struct Parsed
{
    QList<Release> releases;
    QString error;
};
Parsed parse(const QByteArray &document);

// Compares dotted version numbers part by part as numbers ("1.10" is newer than "1.9"); a
// missing part counts as 0. Negative, zero or positive as `a` is older, the same or newer.
int compareVersions(const QString &a, const QString &b);

// The newest of `releases`, if any.
std::optional<Release> newest(const QList<Release> &releases);

} // namespace UpdateFeed
