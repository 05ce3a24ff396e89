#include "cli/commandline.h"

#include "automation/actioncommands.h"
#include "cli/dupescommand.h"
#include "cli/indexcommand.h"
#include "cli/querycommand.h"
#include "cli/scancommand.h"
#include "cli/similarcommand.h"
#include "cli/textcommand.h"
#include "readers/contentreaders.h"

#include <QByteArrayList>
#include <QCoreApplication>

#include <array>
#include <cstdio>
#include <cstring>

namespace CommandLine {

namespace {

struct Command
{
    const char *name;
    const char *summary;
    int (*run)(const QByteArrayList &arguments);
};

constexpr std::array kCommands{
    Command{"scan", "scan folders and print the records and counts", &ScanCommand::run},
    Command{"query", "parse a search line and print its filter, chips and tokens", &QueryCommand::run},
    Command{"dupes", "scan folders and print the groups of identical files", &DupesCommand::run},
    Command{"text", "print the text read from files", &TextCommand::run},
    Command{"index", "build or update the text index of folders", &IndexCommand::run},
    Command{"similar", "scan folders and print the groups of look-alike images", &SimilarCommand::run},
    Command{"find", "print the running library's files that match a search", &ActionCommands::find},
    Command{"latest-download", "print the newest local download of the running library", &ActionCommands::latestDownload},
    Command{"search", "show the Tessary window searching for a query", &ActionCommands::search},
};

const char *const kUsage = "Usage: tessary [--demo] [--quick-search]\n"
                           "       tessary COMMAND [OPTIONS]\n"
                           "\n"
                           "Without a command, opens the Tessary window, or brings the running one forward.\n"
                           "  --demo          open the folder named by TESSARY_DEMO_PATH and remember nothing\n"
                           "  --quick-search  show or hide the quick search panel of the running Tessary\n"
                           "\n"
                           "Commands:\n";

void printUsage(FILE *stream)
{
    std::fputs(kUsage, stream);
    for (const Command &command : kCommands)
        std::fprintf(stream, "  %-15s %s\n", command.name, command.summary);
    std::fputs("\nRun `tessary COMMAND --help` for a command's options. `tessary --version` prints the version\n"
               "and the protections that confine the helper processes reading file contents.\n",
        stream);
}

const Command *find(const char *name)
{
    for (const Command &command : kCommands) {
        if (std::strcmp(command.name, name) == 0)
            return &command;
    }
    return nullptr;
}

} // namespace

bool handles(int argc, char **argv)
{
    if (argc < 2)
        return false;
    const char *first = argv[1];
    return find(first) != nullptr || std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0
        || std::strcmp(first, "--version") == 0 || first[0] != '-';
}

int run(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessary"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));

    const char *first = argv[1];
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) {
        printUsage(stdout);
        return 0;
    }
    if (std::strcmp(first, "--version") == 0) {
        std::printf("tessary %s\n", TESSARY_VERSION);
        // The helpers apply exactly what this kernel offers, and read nothing without seccomp.
        std::printf("%s\n", qPrintable(ContentReaders::confinementSummary()));
        return 0;
    }
    const Command *command = find(first);
    if (command == nullptr) {
        std::fprintf(stderr, "tessary: unknown command \"%s\"\n\n", first);
        printUsage(stderr);
        return 2;
    }
    QByteArrayList arguments;
    for (int i = 2; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return command->run(arguments);
}

} // namespace CommandLine
