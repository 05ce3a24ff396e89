#include "cli/indexcommand.h"

#include "analysis/text/textindexer.h"
#include "cli/arguments.h"
#include "library/libraryscanner.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace IndexCommand {

const char *const kUsage
    = "Usage: tessary index [--file PATH] DIR...\n"
      "\n"
      "Scans the folders as `tessary scan` does, reads the text of their images and documents (see\n"
      "`tessary text --help`) and writes the text index, replacing it atomically. Files whose path,\n"
      "modification date and size are unchanged since the index was written are not read again;\n"
      "files that are gone or no longer readable leave the index. Music, videos, archives, apps and\n"
      "files that are only in the cloud are never indexed.\n"
      "\n"
      "  --file PATH  the index file (default ~/.local/share/Quillon/text-index.json, or under\n"
      "               $XDG_DATA_HOME); created with mode 0600, its folder 0700\n"
      "\n"
      "Shows \"Reading text: N of M\" on standard error while it works, then prints\n"
      "\"N files indexed · P partially indexed · F unreadable\".\n"
      "\n"
      "Exit status: 0 when the index was written, 1 when a folder or the index file could not be\n"
      "read or written, 2 on a usage error.\n";

int run(const QByteArrayList &arguments)
{
    QString error;
    const auto args = Arguments::parse(arguments, { { "--help" }, { "--file" } }, &error);
    if (!args || (!args->has("--help") && args->positional().isEmpty())) {
        std::fprintf(stderr, "tessary index: %s\n%s", args ? "no folder given" : qPrintable(error), kUsage);
        return 2;
    }
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    TextIndexer::Options options;
    options.file
        = args->value("--file") ? QFile::decodeName(*args->value("--file")) : TextIndexer::cacheURL().toLocalFile();
    const ScanResult scan = LibraryScanner::scan(args->positional());
    const TextIndex existing = TextIndexer::load(options.file);

    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    const TextIndexResult result = TextIndexer::run(scan.files, existing, options, [terminal](int done, int total) {
        std::fprintf(stderr, terminal ? "\rReading text: %d of %d" : "Reading text: %d of %d\n", done, total);
        std::fflush(stderr);
    });
    if (terminal)
        std::fputs("\n", stderr);
    std::printf("%s\n",
        qPrintable(QStringLiteral("%1 files indexed · %2 partially indexed · %3 unreadable")
                       .arg(result.entries.size())
                       .arg(result.partial)
                       .arg(result.failures)));

    // The indexer ignores a failed write, as the application does; the command reports it.
    const bool written = result.saved;
    if (!written)
        std::fprintf(stderr, "tessary index: could not write %s\n", qPrintable(options.file));
    return scan.errors == 0 && written ? 0 : 1;
}

} // namespace IndexCommand
