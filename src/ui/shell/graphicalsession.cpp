#include "ui/shell/graphicalsession.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

QtMessageHandler previousHandler = nullptr;

void printUnavailableAndExit()
{
    const QByteArray line = GraphicalSession::unavailableMessage().toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    // Leave without running destructors or atexit handlers: Qt is half started and about to
    // abort, and nothing of Tessary's own needs saving yet.
    _exit(1);
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // While the platform plugin starts, its complaints about the display are replaced by the one
    // line above; every other message keeps Qt's behaviour.
    const bool platformMessage = (context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0)
        || message.contains(u"platform plugin") || message.contains(u"connect to display");
    if (type == QtFatalMsg && platformMessage)
        printUnavailableAndExit();
    if (type != QtFatalMsg && platformMessage)
        return;
    if (previousHandler != nullptr)
        previousHandler(type, context, message);
    else if (type == QtFatalMsg)
        std::abort();
}

} // namespace

namespace GraphicalSession {

QString unavailableMessage()
{
    return QStringLiteral("tessary: Tessary needs a graphical session (X11 or Wayland) and none could be opened; "
                          "run it on your desktop or under xvfb-run (xvfb-run tessary), or use one of its "
                          "commands, such as tessary scan (see tessary --help)");
}

bool environmentNamesDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void installFailureHandler()
{
    previousHandler = qInstallMessageHandler(handleMessage);
}

void removeFailureHandler()
{
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

} // namespace GraphicalSession
