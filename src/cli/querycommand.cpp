#include "cli/querycommand.h"

#include "cli/arguments.h"
#include "cli/json.h"
#include "cli/output.h"
#include "query/filequery.h"

#include <QLocale>

#include <algorithm>
#include <cstdio>

namespace QueryCommand {

const char *const kUsage
    = "Usage: tessary query [--now ISO-8601] [--first-weekday 1-7] [--json] [--remove-chip N] TEXT...\n"
      "\n"
      "Parses a search line (the words of TEXT joined by blanks) the way the search field does and\n"
      "prints its chips joined by \" \xc2\xb7 \".\n"
      "\n"
      "  --now T            measure relative dates from T, e.g. 2025-01-15T12:00:00+01:00 (default:\n"
      "                     now); the time zone is the one TZ names\n"
      "  --first-weekday D  weeks start on day D, 1 = Monday ... 7 = Sunday (default: the locale's,\n"
      "                     from LC_ALL, LC_TIME or LANG)\n"
      "  --json             print one JSON object: kinds (in kind order), extensions (sorted),\n"
      "                     minSize, maxSize, after, before (ISO-8601 with the zone offset),\n"
      "                     screenshots, source, camera, words, chips, tokens; absent values null\n"
      "  --remove-chip N    print TEXT without the phrase of chip N (counted from 0) instead\n"
      "\n"
      "Exit status: 0, or 2 on a usage error.\n";

namespace {

int usageError(const char *message)
{
    std::fprintf(stderr, "tessary query: %s\n%s", message, kUsage);
    return 2;
}

QByteArray json(const FileQuery &query, const Calendar &calendar)
{
    QStringList kinds;
    for (const FileKind kind : query.kinds.toList())
        kinds << kind.rawValue();
    QStringList extensions = query.extensions;
    std::sort(extensions.begin(), extensions.end());
    const auto size = [](qint64 bytes) { return Json::number(bytes); };
    const auto date = [&calendar](const Timestamp &t) { return Json::string(calendar.isoString(t)); };
    const auto text = [](const QString &s) { return Json::string(s); };

    QByteArray out("{");
    out.append("\"kinds\": ").append(Json::strings(kinds));
    out.append(", \"extensions\": ").append(Json::strings(extensions));
    out.append(", \"minSize\": ").append(Json::optional(query.minSize, size));
    out.append(", \"maxSize\": ").append(Json::optional(query.maxSize, size));
    out.append(", \"after\": ").append(Json::optional(query.after, date));
    out.append(", \"before\": ").append(Json::optional(query.before, date));
    out.append(", \"screenshots\": ").append(Json::boolean(query.screenshots));
    out.append(", \"source\": ").append(Json::optional(query.source, text));
    out.append(", \"camera\": ").append(Json::optional(query.camera, text));
    out.append(", \"words\": ").append(Json::strings(query.words));
    out.append(", \"chips\": ").append(Json::strings(query.chips));
    out.append(", \"tokens\": ").append(Json::strings(query.tokens));
    out.append("}\n");
    return out;
}

} // namespace

int run(const QByteArrayList &arguments)
{
    QString error;
    const auto args = Arguments::parse(
        arguments, { { "--json", "--help" }, { "--now", "--first-weekday", "--remove-chip" } }, &error);
    if (!args)
        return usageError(qPrintable(error));
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args->positional().isEmpty())
        return usageError("no search text given");

    Timestamp now = Timestamp::now();
    if (const auto value = args->value("--now")) {
        const auto parsed = Timestamp::fromIsoString(QString::fromUtf8(*value));
        if (!parsed)
            return usageError("--now needs a time like 2025-01-15T12:00:00+01:00");
        now = *parsed;
    }
    Qt::DayOfWeek firstWeekday = QLocale::system().firstDayOfWeek();
    if (const auto value = args->value("--first-weekday")) {
        bool ok = false;
        const int day = value->toInt(&ok);
        if (!ok || day < Qt::Monday || day > Qt::Sunday)
            return usageError("--first-weekday needs a day from 1 (Monday) to 7 (Sunday)");
        firstWeekday = Qt::DayOfWeek(day);
    }
    std::optional<qsizetype> removeChip;
    if (const auto value = args->value("--remove-chip")) {
        bool ok = false;
        removeChip = value->toLongLong(&ok);
        if (!ok)
            return usageError("--remove-chip needs a whole number");
    }

    QStringList words;
    for (const QByteArray &word : args->positional())
        words << QString::fromUtf8(word);
    const QString text = words.join(QLatin1Char(' '));
    const Calendar calendar(Calendar::systemTimeZone(), firstWeekday);
    const FileQuery query(text, now, calendar);

    Output out(stdout);
    if (removeChip)
        out << query.removingChip(*removeChip, text) << "\n";
    else if (args->has("--json"))
        out << json(query, calendar);
    else
        out << query.chips.join(QStringLiteral(" \u00b7 ")) << "\n";
    return 0;
}

} // namespace QueryCommand
