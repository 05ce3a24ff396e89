#include "platform/fileurl.h"

namespace FileUrl {

QByteArray encoded(const QByteArray &path)
{
    return "file://" + path.toPercentEncoding("/");
}

QUrl fromPath(const QByteArray &path)
{
    return QUrl::fromEncoded(encoded(path), QUrl::StrictMode);
}

std::optional<QByteArray> toPath(const QUrl &url)
{
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    if (url.hasQuery() || url.hasFragment())
        return std::nullopt;

    // The fully encoded form is ASCII; bytes QUrl could not decode as UTF-8 stay as "%XX" there.
    const QByteArray encodedPath = url.path(QUrl::FullyEncoded).toLatin1();
    if (!encodedPath.startsWith('/'))
        return std::nullopt;
    // An encoded '/' or NUL would turn into a different path than the URL's segments name.
    if (encodedPath.contains("%00") || encodedPath.contains("%2F") || encodedPath.contains("%2f"))
        return std::nullopt;
    return QByteArray::fromPercentEncoding(encodedPath);
}

} // namespace FileUrl
