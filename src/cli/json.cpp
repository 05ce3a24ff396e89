#include "cli/json.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace Json {

QByteArray string(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out.append('"');
    const bool plain = std::none_of(utf8.cbegin(), utf8.cend(), [](char c) {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
    if (plain)
        return out.append(utf8).append('"');
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (u < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", u);
                out.append(escape);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
    return out;
}

QByteArray number(double value)
{
    if (!std::isfinite(value))
        return "null";
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray boolean(bool value)
{
    return value ? "true" : "false";
}

QByteArray strings(const QStringList &list)
{
    QByteArray out("[");
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out.append(", ");
        out.append(string(list[i]));
    }
    out.append(']');
    return out;
}

QByteArray date(const Timestamp &timestamp)
{
    return string(timestamp.toIsoString());
}

} // namespace Json
