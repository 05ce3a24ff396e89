#include "cli/arguments.h"

std::optional<Arguments> Arguments::parse(const QByteArrayList &arguments, const Grammar &grammar, QString *error)
{
    Arguments result;
    bool onlyPositional = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments[i];
        if (onlyPositional || !argument.startsWith('-') || argument == "-") {
            result.m_positional.append(argument);
            continue;
        }
        if (argument == "--") {
            onlyPositional = true;
            continue;
        }
        const qsizetype equals = argument.indexOf('=');
        const QByteArray name = equals < 0 ? argument : argument.left(equals);
        if (grammar.flags.contains(name) && equals < 0) {
            result.m_flags.insert(name);
        } else if (grammar.options.contains(name)) {
            if (equals >= 0) {
                result.m_values.insert(name, argument.mid(equals + 1));
            } else if (i + 1 < arguments.size()) {
                result.m_values.insert(name, arguments[++i]);
            } else {
                *error = QStringLiteral("option %1 needs a value").arg(QString::fromUtf8(name));
                return std::nullopt;
            }
        } else {
            *error = QStringLiteral("unknown option %1").arg(QString::fromUtf8(argument));
            return std::nullopt;
        }
    }
    return result;
}

std::optional<QByteArray> Arguments::value(const QByteArray &option) const
{
    const auto it = m_values.constFind(option);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}
