#include "cli/recordformat.h"

#include "cli/json.h"

#include <QLocale>

namespace RecordFormat {

QByteArray fileUrl(const QByteArray &path)
{
    return "file://" + path.toPercentEncoding("/");
}

QByteArray json(const FileRecord &r)
{
    const auto text = [](const QString &s) { return Json::string(s); };
    const auto date = [](const Timestamp &t) { return Json::date(t); };
    QByteArray out;
    out.reserve(512 + r.path.size() * 2);
    out.append("{\"path\": ").append(Json::string(r.displayPath()));
    out.append(", \"url\": ").append(Json::string(QString::fromLatin1(fileUrl(r.path))));
    out.append(", \"kind\": ").append(Json::string(r.kind.rawValue()));
    out.append(", \"size\": ").append(Json::number(r.size));
    out.append(", \"modified\": ").append(Json::date(r.modified));
    out.append(", \"created\": ").append(Json::date(r.created));
    out.append(", \"isCloudOnly\": ").append(Json::boolean(r.isCloudOnly));
    out.append(", \"isPackage\": ").append(Json::boolean(r.isPackage));
    out.append(", \"source\": ").append(Json::optional(r.source, text));
    out.append(", \"identity\": ").append(Json::optional(r.identity, text));
    out.append(", \"added\": ").append(Json::optional(r.added, date));
    out.append(", \"lastUsed\": ").append(Json::optional(r.lastUsed, date));
    out.append(", \"tags\": ").append(Json::strings(r.tags));
    out.append(", \"camera\": ").append(Json::optional(r.camera, text));
    out.append(", \"dimensions\": ").append(Json::optional(r.dimensions, text));
    out.append(", \"duration\": ").append(Json::optional(r.duration, [](double d) { return Json::number(d); }));
    out.append(", \"spotlightText\": ").append(Json::string(r.spotlightText));
    out.append('}');
    return out;
}

QString summary(const ScanResult &result, int limit)
{
    const QLocale locale;
    QString text = locale.toString(result.files.size()) + QStringLiteral(" files");
    if (result.skipped > 0)
        text += QStringLiteral(" \u00b7 %1 skipped").arg(result.skipped);
    if (result.errors > 0)
        text += QStringLiteral(" \u00b7 %1 inaccessible locations/items").arg(result.errors);
    if (result.truncated)
        text += QStringLiteral(" \u00b7 %1-file limit reached").arg(locale.toString(limit));
    return text;
}

} // namespace RecordFormat
