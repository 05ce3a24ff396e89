#pragma once

#include "platform/timestamp.h"

#include <QByteArrayList>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The user's settings: one JSON object in a file that keeps each value's type.
//
// Booleans, numbers, strings and lists are stored as their JSON counterparts; a date as
// {"date": "<ISO 8601, nanoseconds>"} and a data blob as {"data": "<base64>"}. The file is read
// once, by the constructor. Every setter updates the value in memory and then rewrites the whole
// file atomically (a new file with mode 0600 in the same folder, flushed to disk, renamed over
// the old one), so a crash leaves either the old or the new file, never a mix. Keys this class
// does not know are kept on rewrite.
//
// A missing, unreadable or corrupt file gives no values and is left untouched until the first
// setter replaces it. A failed write returns false and keeps the reason in lastError(); the value
// still holds in memory for the life of the object.
//
// Not thread-safe: use one instance from one thread.
class DefaultsFile
{
public:
    // Reads the file at `path`.
    explicit DefaultsFile(QString path = defaultPath());

    // $XDG_CONFIG_HOME/tessary/defaults.json
    static QString defaultPath();
    QString path() const { return m_path; }

    bool contains(const QString &key) const { return m_values.contains(key); }

    // Typed reads: absent when the key is missing or holds a value of another type.
    std::optional<bool> boolean(const QString &key) const;
    std::optional<double> number(const QString &key) const;
    // A number with no fractional part that fits in 64 bits.
    std::optional<qint64> integer(const QString &key) const;
    std::optional<QString> string(const QString &key) const;
    // Absent unless every element is a string.
    std::optional<QStringList> stringList(const QString &key) const;
    std::optional<Timestamp> date(const QString &key) const;
    // Absent unless every element is a data blob.
    std::optional<QByteArrayList> dataList(const QString &key) const;

    // The lenient read for settings that default to false: a Boolean as stored, a non-zero
    // number, or the string "true", "yes" or "1" in any case gives true; anything else false.
    bool plainBoolean(const QString &key) const;

    bool setBoolean(const QString &key, bool value);
    // A value that is not finite (JSON has no form for it) is refused and not stored.
    bool setNumber(const QString &key, double value);
    bool setInteger(const QString &key, qint64 value);
    bool setString(const QString &key, const QString &value);
    bool setStringList(const QString &key, const QStringList &value);
    bool setDate(const QString &key, const Timestamp &value);
    bool setDataList(const QString &key, const QByteArrayList &value);

    // Why the last failed setter failed, as a sentence; empty after a successful one.
    QString lastError() const { return m_lastError; }

private:
    bool store(const QString &key, const QJsonValue &value);

    QString m_path;
    QJsonObject m_values;
    QString m_lastError;
};
