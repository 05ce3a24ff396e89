#include "cli/arguments.h"
#include "generator/libraryplan.h"
#include "generator/librarywriter.h"

#include <QGuiApplication>
#include <QHashFunctions>
#include <QLocale>
#include <QThread>

#include <cstdio>
#include <exception>

namespace {

// Raised whenever the same seed and count would give different bytes than before, so that
// cached libraries made by an older generator are made again.
constexpr int kOutputVersion = 1;

const char *const kUsage = "Usage: tessary-generate-library [--files N] [--seed S] [--jobs J] DIR\n"
                           "\n"
                           "Writes a sample home folder into DIR (which must not exist or be empty): photos with\n"
                           "camera data, screenshots, PDFs, office documents, music, videos, archives, installers,\n"
                           "downloads with their origin addresses, tagged files, duplicates, look-alike pictures,\n"
                           "hidden files, a symbolic link, an application bundle and a name that is not UTF-8.\n"
                           "The same seed and count always give the same names, contents and times.\n"
                           "\n"
                           "  --files N  number of files a scan of DIR lists (default 300, at least 44); hidden\n"
                           "             files and the files inside bundles come on top\n"
                           "  --seed S   seed of every choice (default 1)\n"
                           "  --jobs J   worker threads (default: one per processor)\n"
                           "  --version  print the output version (it changes when the output for a seed changes)\n"
                           "\n"
                           "Needs the ffmpeg command for the audio and video files.\n";

} // namespace

int main(int argc, char **argv)
{
    // Qt's PDF writer lists fonts in hash order: a fixed seed makes that order, and so the
    // bytes of every PDF, the same in every run.
    QHashSeed::setDeterministicGlobalSeed();

    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QString error;
    const auto args
        = Arguments::parse(arguments, { { "--help", "--version" }, { "--files", "--seed", "--jobs" } }, &error);
    if (!args) {
        std::fprintf(stderr, "tessary-generate-library: %s\n%s", qPrintable(error), kUsage);
        return 2;
    }
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args->has("--version")) {
        std::printf("tessary-generate-library %d\n", kOutputVersion);
        return 0;
    }

    bool filesOk = true;
    bool seedOk = true;
    bool jobsOk = true;
    const int files = args->value("--files").value_or("300").toInt(&filesOk);
    const quint64 seed = args->value("--seed").value_or("1").toULongLong(&seedOk);
    const int jobs = args->value("--jobs").value_or(QByteArray::number(QThread::idealThreadCount())).toInt(&jobsOk);
    if (!filesOk || files < LibraryPlan::kMinimumListed || !seedOk || !jobsOk || jobs < 1
        || args->positional().size() != 1) {
        std::fprintf(stderr, "tessary-generate-library: %s\n%s",
            args->positional().size() != 1 ? "give exactly one folder"
                : !filesOk || files < LibraryPlan::kMinimumListed
                ? "--files needs a whole number of at least 44"
                : "--seed and --jobs need whole numbers (jobs at least 1)",
            kUsage);
        return 2;
    }

    // Drawing and font rendering need a GUI application but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    const QByteArray root = args->positional().constFirst();
    try {
        const LibraryPlan plan = LibraryPlan::make(seed, files);
        const LibraryWriter::Summary summary = LibraryWriter::write(plan, root, { jobs, QStringLiteral("ffmpeg") });
        if (summary.attributesRefused)
            std::fputs("tessary-generate-library: the file system refuses user extended attributes; downloads carry "
                       "no origin addresses and no file has tags\n",
                stderr);
        std::printf("tessary-generate-library: %d files a scan lists (+%d hidden or inside bundles), %d link, %s bytes "
                    "in %s\n",
            summary.listed, summary.unlisted, summary.links, qPrintable(QLocale::c().toString(summary.bytes)),
            root.constData());
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "tessary-generate-library: %s\n", failure.what());
        return 1;
    }
    return 0;
}
