#include "cli/textcommand.h"

#include "cli/arguments.h"
#include "cli/json.h"
#include "cli/output.h"
#include "cli/recordformat.h"
#include "library/libraryscanner.h"
#include "platform/filestatus.h"
#include "readers/contentreaders.h"

#include <QCoreApplication>

#include <cstdio>

namespace TextCommand {

const char *const kUsage
    = "Usage: tessary text [--json] FILE...\n"
      "\n"
      "Prints the text Tessary reads from each file: recognised text of images, the text layer of\n"
      "PDFs (recognised text for scanned pages; at most 200 pages), the first 1,000,000 bytes of\n"
      "plain-text files (txt, md, csv, json, html, xml, log, swift, js, ts, py, css), and the text\n"
      "of docx, xlsx, pptx, odt, ods, odp, rtf and epub documents. At most 250,000 characters per\n"
      "file. With several files, each text follows a line \"==> FILE <==\".\n"
      "\n"
      "  --json  print one JSON list: [{\"path\": text, \"url\": lossless file URL, \"text\": text,\n"
      "          \"partial\": true when a page, byte or character limit cut the text,\n"
      "          \"error\": null or the reason the file could not be read}, ...]\n"
      "\n"
      "Exit status: 0 when every file was read, 1 when one could not, 2 on a usage error.\n";

namespace {

FileRecord recordFor(const QByteArray &argument)
{
    FileRecord record;
    record.path = LibraryScanner::standardizedPath(argument);
    record.kind = FileKind::classify(QByteArrayView(record.path));
    if (const auto status = FileStatus::read(record.path)) {
        record.size = status->size;
        record.modified = status->modified;
    }
    return record;
}

} // namespace

int run(const QByteArrayList &arguments)
{
    QString error;
    const auto args = Arguments::parse(arguments, { { "--json", "--help" }, {} }, &error);
    if (!args || (!args->has("--help") && args->positional().isEmpty())) {
        std::fprintf(stderr, "tessary text: %s\n%s", args ? "no file given" : qPrintable(error), kUsage);
        return 2;
    }
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    const bool json = args->has("--json");
    const bool several = args->positional().size() > 1;
    bool allRead = true;
    Output out(stdout);
    if (json)
        out << "[";
    for (qsizetype i = 0; i < args->positional().size(); ++i) {
        const FileRecord record = recordFor(args->positional()[i]);
        const TextExtraction result = ContentReaders::extractText(record);
        allRead = allRead && !result.error;
        if (json) {
            out << (i == 0 ? "\n  " : ",\n  ") << "{\"path\": " << Json::string(record.displayPath())
                << ", \"url\": " << Json::string(QString::fromLatin1(RecordFormat::fileUrl(record.path)))
                << ", \"text\": " << Json::string(result.text) << ", \"partial\": " << Json::boolean(result.partial)
                << ", \"error\": " << (result.error ? Json::string(*result.error) : QByteArray("null")) << "}";
            continue;
        }
        if (several)
            out << (i == 0 ? "" : "\n") << "==> " << args->positional()[i] << " <==\n";
        if (result.error) {
            out.flush();
            std::fprintf(
                stderr, "tessary text: %s: %s\n", args->positional()[i].constData(), qPrintable(*result.error));
            continue;
        }
        out << result.text;
        if (!result.text.isEmpty() && !result.text.endsWith(QLatin1Char('\n')))
            out << "\n";
    }
    if (json)
        out << (args->positional().isEmpty() ? "]\n" : "\n]\n");
    return allRead ? 0 : 1;
}

} // namespace TextCommand
