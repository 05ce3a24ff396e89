#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

// Command-line arguments of a sub-command, kept as the exact bytes the shell passed, so a
// folder whose name is not valid UTF-8 reaches the scanner unchanged.
//
// Accepts "--flag", "--option VALUE", "--option=VALUE", and "--" before positional arguments
// that begin with a dash.
class Arguments
{
public:
    struct Grammar
    {
        QSet<QByteArray> flags;   // e.g. "--json"
        QSet<QByteArray> options; // take a value, e.g. "--limit"
    };

    // `error` names the fault when the arguments do not follow the grammar.
    static std::optional<Arguments> parse(const QByteArrayList &arguments, const Grammar &grammar, QString *error);

    bool has(const QByteArray &flag) const { return m_flags.contains(flag); }
    std::optional<QByteArray> value(const QByteArray &option) const;
    const QByteArrayList &positional() const { return m_positional; }

private:
    QSet<QByteArray> m_flags;
    QHash<QByteArray, QByteArray> m_values;
    QByteArrayList m_positional;
};
