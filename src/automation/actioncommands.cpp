#include "automation/actioncommands.h"

#include "automation/actionclient.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace ActionCommands {

namespace {

const char *const kStartOptions = "\n"
                                  "Options:\n"
                                  "  --demo     if Tessary must be started, start it on the folder named by\n"
                                  "             TESSARY_DEMO_PATH and remember nothing\n"
                                  "  -h, --help show this help\n"
                                  "\n"
                                  "Tessary is started when it is not running. While it is scanning, or\n"
                                  "reading changes it has just noticed in your folders, the answer waits\n"
                                  "for it for up to 30 seconds.\n";

const char *const kFindHelp = "Usage: tessary find [--demo] QUERY...\n"
                              "\n"
                              "Prints the paths of the running library's files that match the search\n"
                              "QUERY (the words joined by spaces), newest first, one per line, at most\n"
                              "100. Files stored only in the cloud and application bundles are left out.\n";

const char *const kLatestHelp = "Usage: tessary latest-download [--demo]\n"
                                "\n"
                                "Prints the path of the newest download in the library that is stored on\n"
                                "this computer, looking at the ten newest downloads.\n";

const char *const kSearchHelp = "Usage: tessary search [--demo] [QUERY...]\n"
                                "\n"
                                "Shows the Tessary window searching for QUERY (the words joined by\n"
                                "spaces); without QUERY it clears the search.\n";

struct Parsed
{
    bool help = false;
    bool demo = false;
    QStringList words;
    QByteArray unknownOption;
};

Parsed parse(const QByteArrayList &arguments)
{
    Parsed parsed;
    bool options = true;
    for (const QByteArray &argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            parsed.help = true;
        } else if (options && argument == "--demo") {
            parsed.demo = true;
        } else if (options && argument.startsWith("--")) {
            parsed.unknownOption = argument;
            return parsed;
        } else {
            parsed.words.append(QString::fromLocal8Bit(argument));
        }
    }
    return parsed;
}

// Starts this program as the application, detached, its output going nowhere: a terminal or a
// pipe that is waiting for our own output must not wait for the window's end too.
bool launch(bool demo)
{
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    if (demo)
        process.setArguments({ QStringLiteral("--demo") });
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

int usageError(const char *message, const QByteArray &detail, const char *help)
{
    std::fprintf(stderr, "tessary: %s%s\n\n%s", message, detail.constData(), help);
    return 2;
}

int perform(const char *help, const QByteArrayList &arguments, const QString &method, bool takesQuery, bool needsQuery)
{
    const Parsed parsed = parse(arguments);
    if (!parsed.unknownOption.isEmpty())
        return usageError("unknown option ", parsed.unknownOption, help);
    if (parsed.help) {
        std::fputs(help, stdout);
        std::fputs(kStartOptions, stdout);
        return 0;
    }
    if (!takesQuery && !parsed.words.isEmpty())
        return usageError("this command takes no query", QByteArray(), help);
    if (needsQuery && parsed.words.isEmpty())
        return usageError("a query is needed", QByteArray(), help);

    QVariantList callArguments;
    if (takesQuery)
        callArguments.append(parsed.words.join(u' '));
    ActionClient client(QDBusConnection::sessionBus(), [demo = parsed.demo] { return launch(demo); });
    ActionClient::Outcome outcome;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&client, &ActionClient::finished, &loop, [&](const ActionClient::Outcome &result) {
        outcome = result;
        done = true;
        loop.quit();
    });
    client.start(method, callArguments);
    // start() may have finished at once, before the loop runs.
    if (!done)
        loop.exec();
    std::fwrite(outcome.output.constData(), 1, size_t(outcome.output.size()), stdout);
    if (!outcome.error.isEmpty())
        std::fprintf(stderr, "%s\n", outcome.error.toLocal8Bit().constData());
    return outcome.status;
}

} // namespace

int find(const QByteArrayList &arguments)
{
    return perform(kFindHelp, arguments, QStringLiteral("FindFiles"), true, true);
}

int latestDownload(const QByteArrayList &arguments)
{
    return perform(kLatestHelp, arguments, QStringLiteral("LatestDownload"), false, false);
}

int search(const QByteArrayList &arguments)
{
    return perform(kSearchHelp, arguments, QStringLiteral("SearchInTessary"), true, false);
}

} // namespace ActionCommands
