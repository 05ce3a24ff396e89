// Text extraction benchmark.
//   tessary-text-bench generate DIR   writes the document set (and the true words of each image)
//   tessary-text-bench measure DIR    times Tessary's reader against pdftotext and tesseract on it
#include "analysis/text/textindexer.h"
#include "analysis/text/textindexfile.h"
#include "platform/filestatus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const char *const kWords[] = {
    "account",
    "address",
    "agreement",
    "amount",
    "annual",
    "answer",
    "article",
    "balance",
    "benefit",
    "budget",
    "business",
    "calendar",
    "capital",
    "chapter",
    "charge",
    "client",
    "company",
    "contract",
    "country",
    "customer",
    "delivery",
    "department",
    "deposit",
    "design",
    "detail",
    "document",
    "energy",
    "estimate",
    "evening",
    "example",
    "family",
    "feature",
    "finance",
    "garden",
    "general",
    "history",
    "holiday",
    "invoice",
    "journey",
    "kitchen",
    "language",
    "library",
    "machine",
    "manager",
    "market",
    "meeting",
    "member",
    "message",
    "minute",
    "morning",
    "mountain",
    "network",
    "number",
    "office",
    "order",
    "package",
    "payment",
    "picture",
    "planning",
    "policy",
    "project",
    "purchase",
    "quarter",
    "question",
    "receipt",
    "record",
    "report",
    "research",
    "river",
    "schedule",
    "science",
    "season",
    "service",
    "station",
    "student",
    "summary",
    "summer",
    "system",
    "teacher",
    "ticket",
    "total",
    "travel",
    "value",
    "vendor",
    "weather",
    "window",
    "winter",
    "yellow",
    "north",
    "simple",
};

QString words(QRandomGenerator &random, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QLatin1String(kWords[random.bounded(int(std::size(kWords)))]));
    return list.join(QLatin1Char(' '));
}

QImage textImage(const QStringList &lines, const QFont &font, int width)
{
    const QFontMetrics metrics(font);
    QImage image(width, 80 + lines.size() * metrics.lineSpacing() * 3 / 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(40, 40 + metrics.ascent() + i * metrics.lineSpacing() * 3 / 2, lines[i]);
    return image;
}

void generate(const QString &root)
{
    QRandomGenerator random(42);
    for (const char *folder : { "pdf", "scanned", "images", "plain", "truth" })
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(folder));
    const QStringList families { QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif"),
        QStringLiteral("DejaVu Sans Mono") };

    for (int n = 0; n < 200; ++n) {
        QPdfWriter writer(QStringLiteral("%1/pdf/doc%2.pdf").arg(root).arg(n, 3, 10, QLatin1Char('0')));
        writer.setResolution(72);
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(11);
        painter.setFont(font);
        for (int page = 0; page < 3; ++page) {
            if (page > 0)
                writer.newPage();
            for (int line = 0; line < 45; ++line)
                painter.drawText(40, 50 + line * 15, words(random, 9));
        }
    }
    for (int n = 0; n < 50; ++n) {
        QPdfWriter writer(QStringLiteral("%1/scanned/scan%2.pdf").arg(root).arg(n, 2, 10, QLatin1Char('0')));
        writer.setResolution(72);
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(34);
        QStringList lines;
        for (int line = 0; line < 20; ++line)
            lines.append(words(random, 5));
        const QImage page = textImage(lines, font, 1700);
        painter.drawImage(QRectF(0, 0, writer.width(), writer.width() * double(page.height()) / page.width()), page);
    }
    for (int n = 0; n < 200; ++n) {
        QFont font(families[n % families.size()]);
        font.setPixelSize(QList<int> { 22, 28, 36, 48 }[n / 3 % 4]);
        QStringList lines;
        for (int line = 0; line < 5; ++line)
            lines.append(words(random, 4));
        const QString name = QStringLiteral("image%1").arg(n, 3, 10, QLatin1Char('0'));
        textImage(lines, font, 1400)
            .save(QStringLiteral("%1/images/%2.%3").arg(root, name, QLatin1String(n % 2 ? "png" : "jpg")));
        QFile truth(QStringLiteral("%1/truth/%2.txt").arg(root, name));
        if (truth.open(QIODevice::WriteOnly))
            truth.write(lines.join(QLatin1Char('\n')).toUtf8());
    }
    for (int n = 0; n < 200; ++n) {
        QFile file(QStringLiteral("%1/plain/note%2.txt").arg(root).arg(n, 3, 10, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly))
            for (int line = 0; line < 300; ++line)
                file.write((words(random, 10) + QLatin1Char('\n')).toUtf8());
    }
}

QList<FileRecord> records(const QString &folder, FileKind kind)
{
    QList<FileRecord> result;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        FileRecord record;
        record.path = QFile::encodeName(dir.filePath(name));
        record.kind = kind;
        if (const auto status = FileStatus::read(record.path)) {
            record.size = status->size;
            record.modified = status->modified;
        }
        result.append(record);
    }
    return result;
}

double timeIndex(const QList<FileRecord> &files, TextIndexResult *result = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    TextIndexer::Options options;
    options.save = false;
    const TextIndexResult run = TextIndexer::run(files, {}, options);
    if (result)
        *result = run;
    return timer.nsecsElapsed() / 1e9;
}

// Runs `command` once per file, one process at a time.
double timeCommand(const QList<FileRecord> &files, const char *format)
{
    QElapsedTimer timer;
    timer.start();
    for (const FileRecord &file : files) {
        const QByteArray command = QByteArray(format).replace("%f", QByteArray("'" + file.path + "'"));
        if (std::system(command.constData()) != 0)
            std::fprintf(stderr, "failed: %s\n", command.constData());
    }
    return timer.nsecsElapsed() / 1e9;
}

// Share of the true words found in order in the recognised text (longest common subsequence).
std::pair<qint64, qint64> matchedWords(const QString &truth, const QString &recognized)
{
    const QStringList a = truth.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const QStringList b = recognized.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    std::vector<std::vector<int>> table(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (qsizetype i = 1; i <= a.size(); ++i)
        for (qsizetype j = 1; j <= b.size(); ++j)
            table[i][j] = a[i - 1] == b[j - 1] ? table[i - 1][j - 1] + 1 : std::max(table[i - 1][j], table[i][j - 1]);
    return { table[a.size()][b.size()], a.size() };
}

long peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The peaks of the reader helpers this process runs, added up (they read the files here).
long helperPeakMegabytes(int *helpers)
{
    long kilobytes = 0;
    *helpers = 0;
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (!line.contains("(tessary-reader)") || fields.size() < 2 || fields[1] != self)
            continue;
        QFile status(QStringLiteral("/proc/%1/status").arg(entry));
        status.open(QIODevice::ReadOnly);
        for (const QByteArray &row : status.readAll().split('\n')) {
            if (row.startsWith("VmHWM:")) {
                kilobytes += row.mid(6).trimmed().split(' ').value(0).toLong();
                ++*helpers;
            }
        }
    }
    return kilobytes / 1024;
}

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Saving and loading a 50,000-entry index of about 100 MB; wall and CPU time (the CPU time
// shows the cost when other work shares the machine).
void measureIndexFile(const QString &root)
{
    // A 50,000-entry index of about 100 MB.
    TextIndex index;
    QRandomGenerator random(7);
    for (int n = 0; n < 50'000; ++n) {
        QString text = words(random, 300).left(1950) + QString::fromUtf8(" Grüße \"q\"\n");
        index.insert(QStringLiteral("/home/user/Documents/folder%1/file%2.pdf").arg(n % 100).arg(n).toUtf8(),
            TextEntry { 7.5e8 + n * 0.001953125, 1000 + n, text, n % 7 == 0 });
    }
    const QString file = root + QStringLiteral("/index/text-index.json");
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    TextIndexFile::save(index, file);
    const double saveSeconds = timer.nsecsElapsed() / 1e9;
    const double saveCpu = cpuSeconds() - cpu;
    timer.restart();
    cpu = cpuSeconds();
    const TextIndex loaded = TextIndexFile::load(file);
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    const double loadCpu = cpuSeconds() - cpu;
    // Calibration on a shared machine: the CPU time of one plain copy of the file's bytes.
    QFile raw(file);
    raw.open(QIODevice::ReadOnly);
    const QByteArray bytes = raw.readAll();
    cpu = cpuSeconds();
    QByteArray copy(bytes.constData(), bytes.size());
    const double copyCpu = cpuSeconds() - cpu;
    std::printf("calibration: one copy of the %lld index bytes takes %.3f s of CPU here\n",
        static_cast<long long>(copy.size()), copyCpu);
    std::printf("index of %lld entries, %.1f MB: saved in %.3f s (CPU %.3f s; target <= 1), loaded in %.3f s (CPU %.3f "
                "s; target <= 0.5), %s\n",
        static_cast<long long>(index.size()), QFileInfo(file).size() / 1e6, saveSeconds, saveCpu, loadSeconds, loadCpu,
        loaded == index ? "read back equal" : "READ BACK DIFFERENT");
}

void measure(const QString &root)
{
    const QList<FileRecord> pdfs = records(root + QStringLiteral("/pdf"), FileKind::documents);
    const QList<FileRecord> scans = records(root + QStringLiteral("/scanned"), FileKind::documents);
    const QList<FileRecord> images = records(root + QStringLiteral("/images"), FileKind::images);
    const QList<FileRecord> plain = records(root + QStringLiteral("/plain"), FileKind::documents);

    // The whole set in one run first, so the peak resident size is that of indexing.
    QList<FileRecord> all = pdfs + scans + images + plain;
    TextIndexResult whole;
    const double wholeSeconds = timeIndex(all, &whole);
    int helpers = 0;
    const long helperPeak = helperPeakMegabytes(&helpers);
    std::printf("whole set: %lld files in %.2f s, %d failures; peak memory %ld MB here and %ld MB in %d reader helpers "
                "(target <= 500 together)\n",
        static_cast<long long>(all.size()), wholeSeconds, whole.failures, peakMegabytes(), helperPeak, helpers);

    const double ours = timeIndex(pdfs);
    const double peer = timeCommand(pdfs, "pdftotext %f /dev/null");
    std::printf("PDF text layer, %lld files: tessary %.2f s, pdftotext %.2f s -> %.2f x pdftotext (target >= 0.9)\n",
        static_cast<long long>(pdfs.size()), ours, peer, peer / ours);

    TextIndexResult recognized;
    const double oursOcr = timeIndex(images, &recognized);
    const double peerOcr = timeCommand(images, "tesseract %f stdout > /dev/null 2>&1");
    std::printf("recognition, %lld images: tessary %.2f s, tesseract %.2f s -> %.2f x tesseract (target >= 1.7)\n",
        static_cast<long long>(images.size()), oursOcr, peerOcr, peerOcr / oursOcr);
    qint64 found = 0, total = 0;
    for (const FileRecord &image : images) {
        const QString name = QFileInfo(QFile::decodeName(image.path)).completeBaseName();
        QFile truth(root + QStringLiteral("/truth/") + name + QStringLiteral(".txt"));
        if (!truth.open(QIODevice::ReadOnly))
            continue;
        const auto [matched, count]
            = matchedWords(QString::fromUtf8(truth.readAll()), recognized.entries.value(image.path).text);
        found += matched;
        total += count;
    }
    std::printf("word accuracy on images: %lld of %lld words = %.2f%% (target >= 95%%)\n",
        static_cast<long long>(found), static_cast<long long>(total),
        100.0 * double(found) / double(std::max<qint64>(total, 1)));

    std::printf("scanned PDFs, %lld files: tessary %.2f s\n", static_cast<long long>(scans.size()), timeIndex(scans));
    std::printf("plain text, %lld files: tessary %.2f s\n", static_cast<long long>(plain.size()), timeIndex(plain));

    measureIndexFile(root);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc != 3
        || (qstrcmp(argv[1], "generate") != 0 && qstrcmp(argv[1], "measure") != 0 && qstrcmp(argv[1], "index") != 0)) {
        std::fprintf(stderr, "usage: tessary-text-bench generate|measure|index DIR\n");
        return 2;
    }
    const QString root = QFile::decodeName(argv[2]);
    if (qstrcmp(argv[1], "generate") == 0)
        generate(root);
    else if (qstrcmp(argv[1], "index") == 0)
        measureIndexFile(root);
    else
        measure(root);
    return 0;
}
