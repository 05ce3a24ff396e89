// tessary-reader: reads file contents for Tessary in a process of its own. It serves requests on
// the socket it inherits as descriptor 3, confined before the first one to reading the folders
// it is given (and the data its libraries need), with no way to write, connect or run anything.

#include "platform/sandboxsupport.h"
#include "readers/helper/readerservice.h"
#include "readers/helper/sandbox.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

struct Arguments
{
    int socket = -1;
    bool testing = false;
    QByteArrayList readable;
};

bool parse(int argc, char **argv, Arguments *arguments)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--testing") == 0) {
            arguments->testing = true;
        } else if (std::strcmp(argv[i], "--socket") == 0 && i + 1 < argc) {
            arguments->socket = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--read") == 0 && i + 1 < argc) {
            arguments->readable.append(QByteArray(argv[++i]));
        } else {
            return false;
        }
    }
    return arguments->socket >= 0;
}

} // namespace

int main(int argc, char **argv)
{
    Arguments arguments;
    if (!parse(argc, argv, &arguments)) {
        std::fputs("tessary-reader is started by Tessary: tessary-reader --socket FD [--read FOLDER]...\n", stderr);
        return 2;
    }
    // Nothing but the socket and the standard streams stays open in here.
    if (arguments.socket > 3)
        ::close_range(3, unsigned(arguments.socket) - 1, 0);
    ::close_range(unsigned(arguments.socket) + 1, ~0U, 0);

    // The image, PDF and SVG code draws through Qt's painting and fonts, which need a GUI
    // application; no display is ever opened.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Whatever the libraries say about a damaged file is no news to the user: a file that cannot
    // be read is reported through the answer.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) { });
    QGuiApplication application(argc, argv);

    Sandbox::Policy policy;
    policy.readable = arguments.readable + Sandbox::libraryDataPaths();
    policy.executable = { QByteArrayLiteral("/usr"), QByteArrayLiteral("/lib"), QByteArrayLiteral("/lib64") };
    policy.addressSpaceBytes = 6ULL << 30;
    const SandboxProtections protections = Sandbox::confine(policy);

    ReaderService service(arguments.socket, arguments.testing, protections.describe());
    const int status = service.run();
    // Straight out: no destructors of libraries that may be in an unknown state after a
    // hostile file, and no leak checker wanting calls the filter refuses.
    std::fflush(stderr);
    ::_exit(status);
}
