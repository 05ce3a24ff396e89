#include "platform/xdgpaths.h"

#include <QDir>

namespace {

// The base directory spec ignores relative values.
QString absoluteFromEnvironment(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return fallback;
}

} // namespace

namespace XdgPaths {

QString home()
{
    return QDir::homePath();
}

QString dataHome()
{
    return absoluteFromEnvironment("XDG_DATA_HOME", home() + QStringLiteral("/.local/share"));
}

QString configHome()
{
    return absoluteFromEnvironment("XDG_CONFIG_HOME", home() + QStringLiteral("/.config"));
}

QString cacheHome()
{
    return absoluteFromEnvironment("XDG_CACHE_HOME", home() + QStringLiteral("/.cache"));
}

QString applicationCache()
{
    return cacheHome() + QStringLiteral("/tessary");
}

} // namespace XdgPaths
