#pragma once

#include <QString>

// Names and messages of the org.tessary.Tessary.Actions interface, shared by the running
// instance that serves it and the command-line front that calls it.
namespace ActionsProtocol {

inline QString serviceName()
{
    return QStringLiteral("org.tessary.Tessary");
}
inline QString objectPath()
{
    return QStringLiteral("/org/tessary/Tessary");
}
inline QString interfaceName()
{
    return QStringLiteral("org.tessary.Tessary.Actions");
}

inline QString noDownloadsError()
{
    return QStringLiteral("org.tessary.Tessary.Error.NoDownloads");
}
inline QString stillScanningError()
{
    return QStringLiteral("org.tessary.Tessary.Error.StillScanning");
}

inline QString noDownloadsMessage()
{
    return QStringLiteral("No local downloads found. Add your Downloads folder in Tessary first.");
}
inline QString stillScanningMessage()
{
    return QStringLiteral("Tessary is still indexing your folders. Try again shortly.");
}

// Find Files returns at most this many files.
constexpr int kMaxFoundFiles = 100;

} // namespace ActionsProtocol
