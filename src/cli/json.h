#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Pieces of JSON text for output written as a stream (a 50,000-record scan is never built as
// one document in memory).
namespace Json {

QByteArray string(const QString &text);
QByteArray number(double value);
QByteArray number(qint64 value);
QByteArray boolean(bool value);
QByteArray strings(const QStringList &list);
// ISO-8601 UTC with nine fraction digits.
QByteArray date(const Timestamp &timestamp);

template<typename T, typename Encode>
QByteArray optional(const std::optional<T> &value, Encode encode)
{
    return value ? encode(*value) : QByteArray("null");
}

} // namespace Json
