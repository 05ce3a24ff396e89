// Recall and false-pair rate of the look-alike prints on a labelled set built from photographs.
//
// Usage: tessary-similar-evaluate [--threshold T] [--dump] WORKDIR PHOTO...
//        tessary-similar-evaluate --write-thumbnails DIR
//
// For every photograph it writes the original (as JPEG, quality 92) and eight variants into
// WORKDIR: resized to 50% and 25%, re-encoded at quality 50, brightness +10% and -10%, cropped
// by 5% (2.5% from each side), stored turned with an Exif orientation tag, and converted to
// PNG. It also writes the left and right 45% of each photograph, two different pictures of one
// scene. Look-alike pairs are (original, variant); different pairs are every pair of distinct
// originals plus each left/right pair. A pair counts as grouped when the distance of its prints
// is at most the threshold.
//
// Every pair is judged three times: with both prints made from the files, with both made from
// the kind of thumbnail a desktop's thumbnailer caches (the whole image with its orientation
// applied, scaled smoothly to fit 256 pixels, stored as PNG), and with one print of each kind,
// as when only some files have a cached thumbnail. Each must reach the same recall and false
// pairs.
//
// --write-thumbnails stores a large thumbnail of every image under DIR in the desktop's
// thumbnail cache ($XDG_CACHE_HOME/thumbnails), for timing look-alike searches that find them.
#include "analysis/similar/featureprint.h"
#include "analysis/similar/similarityfinder.h"
#include "analysis/similar/thumbnailloader.h"
#include "library/filekind.h"
#include "platform/thumbnails/thumbnailstore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace {

struct Variant
{
    const char *name;
    const char *suffix;
};

const Variant kVariants[] = {
    {"resized-50", "jpg"},  {"resized-25", "jpg"},      {"quality-50", "jpg"}, {"brighter-10", "jpg"},
    {"darker-10", "jpg"},   {"cropped-5", "jpg"},       {"exif-turned", "jpg"}, {"png", "png"},
};

QImage brightness(const QImage &source, double factor)
{
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const auto scale = [factor](int c) { return std::clamp(int(c * factor + 0.5), 0, 255); };
            line[x] = qRgb(scale(qRed(line[x])), scale(qGreen(line[x])), scale(qBlue(line[x])));
        }
    }
    return image;
}

bool save(const QImage &image, const QString &path, int quality = 92)
{
    QImageWriter writer(path);
    writer.setQuality(quality);
    return writer.write(image);
}

// Stores the picture turned a quarter to the left and tags it "rotate 90 clockwise to show"
// (orientation 6), so a reader that honours the tag shows the original.
bool saveTurned(const QImage &image, const QString &path)
{
    if (!save(image.transformed(QTransform().rotate(-90)), path))
        return false;
    const int status = QProcess::execute(QStringLiteral("exiftool"),
                                         {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                          QStringLiteral("-n"), QStringLiteral("-Orientation=6"), path});
    return status == 0;
}

bool writeSet(const QString &photo, const QString &dir, const QString &stem)
{
    QImageReader reader(photo);
    reader.setAutoTransform(true);
    const QImage original = reader.read().convertToFormat(QImage::Format_RGB32);
    if (original.isNull())
        return false;
    const int w = original.width();
    const int h = original.height();
    const auto at = [&](const QString &name, const char *suffix) -> QString {
        return dir + QLatin1Char('/') + stem + QLatin1Char('.') + name + QLatin1Char('.') + QLatin1String(suffix);
    };
    bool ok = save(original, at(QStringLiteral("original"), "jpg"));
    ok = ok && save(original.scaled(w / 2, h / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                    at(QStringLiteral("resized-50"), "jpg"));
    ok = ok && save(original.scaled(w / 4, h / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                    at(QStringLiteral("resized-25"), "jpg"));
    ok = ok && save(original, at(QStringLiteral("quality-50"), "jpg"), 50);
    ok = ok && save(brightness(original, 1.1), at(QStringLiteral("brighter-10"), "jpg"));
    ok = ok && save(brightness(original, 0.9), at(QStringLiteral("darker-10"), "jpg"));
    ok = ok && save(original.copy(w / 40, h / 40, w - w / 20, h - h / 20), at(QStringLiteral("cropped-5"), "jpg"));
    ok = ok && saveTurned(original, at(QStringLiteral("exif-turned"), "jpg"));
    ok = ok && save(original, at(QStringLiteral("png"), "png"));
    const int part = w * 45 / 100;
    ok = ok && save(original.copy(0, 0, part, h), at(QStringLiteral("left"), "jpg"));
    ok = ok && save(original.copy(w - part, 0, part, h), at(QStringLiteral("right"), "jpg"));
    return ok;
}

std::optional<FeaturePrint> printFile(const QString &path)
{
    const auto thumbnail
        = ThumbnailLoader::loadReduced(QFile::encodeName(path), SimilarityFinder::kThumbnailSide, FeaturePrint::kSourceSide);
    return thumbnail ? FeaturePrint::make(*thumbnail) : std::nullopt;
}

// The print of the thumbnail a desktop thumbnailer would cache for the file.
std::optional<FeaturePrint> printCachedThumbnail(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage full = reader.read();
    if (full.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    full.scaled(256, 256, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(&buffer, "PNG");
    return FeaturePrint::make(QImage::fromData(png, "PNG"));
}

int writeThumbnails(const QString &dir)
{
    QStringList paths;
    // The cache is keyed by the file's absolute URI.
    QDirIterator it(QDir(dir).absolutePath(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    std::atomic<qsizetype> next = 0;
    std::atomic<int> failed = 0;
    const auto work = [&] {
        for (qsizetype i = next++; i < paths.size(); i = next++) {
            const QByteArray path = QFile::encodeName(paths[i]);
            struct stat st = {};
            const auto image = ThumbnailLoader::load(path, 256);
            if (::stat(path.constData(), &st) != 0 || !image
                || !ThumbnailStore::write(path, Timestamp::fromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec), *image,
                                          ThumbnailStore::Size::large))
                ++failed;
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < std::max(QThread::idealThreadCount(), 1); ++i)
        threads.emplace_back(work);
    work();
    for (std::thread &thread : threads)
        thread.join();
    std::printf("thumbnails cached: %lld, failed: %d\n", static_cast<long long>(paths.size() - failed), int(failed));
    return failed == 0 ? 0 : 1;
}

struct Tally
{
    int pairs = 0;
    int grouped = 0;
    double rate() const { return pairs == 0 ? 0.0 : 100.0 * grouped / pairs; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments().mid(1);
    float threshold = SimilarityFinder::kDefaultThreshold;
    bool dump = false;
    if (args.size() == 2 && args.first() == QLatin1String("--write-thumbnails"))
        return writeThumbnails(args.last());
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--dump"))
            dump = true;
        else if (option == QLatin1String("--threshold") && !args.isEmpty())
            threshold = args.takeFirst().toFloat();
    }
    if (args.size() < 3) {
        std::fputs("Usage: tessary-similar-evaluate [--threshold T] [--dump] WORKDIR PHOTO...\n", stderr);
        return 2;
    }
    const QString dir = args.takeFirst();
    QDir().mkpath(dir);

    QStringList stems;
    for (const QString &photo : std::as_const(args)) {
        const QString stem = QFileInfo(photo).completeBaseName();
        const QString stamp = dir + QLatin1Char('/') + stem + QLatin1String(".complete");
        if (!QFileInfo::exists(stamp)) {
            if (!writeSet(photo, dir, stem)) {
                std::fprintf(stderr, "cannot build the variants of %s\n", qPrintable(photo));
                continue;
            }
            QFile(stamp).open(QIODevice::WriteOnly);
        }
        stems.append(stem);
    }

    // Prints by path, from the file (0) and from its cached-thumbnail stand-in (1).
    std::map<QString, FeaturePrint> prints[2];
    int unreadable = 0;
    const auto printOf = [&](int source, const QString &stem, const QString &name,
                             const char *suffix) -> const FeaturePrint * {
        const QString path = dir + QLatin1Char('/') + stem + QLatin1Char('.') + name + QLatin1Char('.') + QLatin1String(suffix);
        auto it = prints[source].find(path);
        if (it == prints[source].end()) {
            const auto print = source == 0 ? printFile(path) : printCachedThumbnail(path);
            if (!print) {
                ++unreadable;
                return nullptr;
            }
            it = prints[source].emplace(path, *print).first;
        }
        return &it->second;
    };

    struct Mode
    {
        const char *name;
        int first; // source of the first image of each pair
        int second;
    };
    bool allMet = true;
    for (const Mode mode : {Mode{"files", 0, 0}, Mode{"cached thumbnails", 1, 1}, Mode{"file and thumbnail", 0, 1}}) {
        std::map<QString, Tally> byVariant;
        Tally lookAlike;
        Tally different;
        Tally sameScene;
        const auto note = [&](const char *kind, const QString &a, const QString &b, const FeaturePrint *pa,
                              const FeaturePrint *pb, Tally &tally, Tally *also) {
            const float d = pa && pb ? FeaturePrint::distance(*pa, *pb) : 1.0f;
            const bool grouped = pa && pb && d <= threshold;
            tally.pairs++;
            tally.grouped += grouped;
            if (also) {
                also->pairs++;
                also->grouped += grouped;
            }
            if (dump && pa && pb)
                std::printf("%s\t%s\t%.4f\t%.4f\t%.4f\t%s\t%s\n", mode.name, kind, double(d),
                            double(FeaturePrint::shapeDistance(*pa, *pb)),
                            double(FeaturePrint::colourDistance(*pa, *pb)), qPrintable(a), qPrintable(b));
        };

        for (const QString &stem : std::as_const(stems)) {
            const FeaturePrint *original = printOf(mode.first, stem, QStringLiteral("original"), "jpg");
            for (const Variant &variant : kVariants) {
                const QString name = QLatin1String(variant.name);
                note("variant", stem, name, original, printOf(mode.second, stem, name, variant.suffix),
                     byVariant[name], &lookAlike);
            }
            if (mode.first != mode.second) // the thumbnail of the original itself
                note("variant", stem, QStringLiteral("original"), original,
                     printOf(mode.second, stem, QStringLiteral("original"), "jpg"), byVariant[QStringLiteral("original")],
                     &lookAlike);
            note("scene", stem, QStringLiteral("left-right"), printOf(mode.first, stem, QStringLiteral("left"), "jpg"),
                 printOf(mode.second, stem, QStringLiteral("right"), "jpg"), sameScene, &different);
        }
        for (qsizetype i = 0; i < stems.size(); ++i) {
            for (qsizetype j = 0; j < stems.size(); ++j) {
                if (i == j || (mode.first == mode.second && j < i))
                    continue;
                note("different", stems[i], stems[j], printOf(mode.first, stems[i], QStringLiteral("original"), "jpg"),
                     printOf(mode.second, stems[j], QStringLiteral("original"), "jpg"), different, nullptr);
            }
        }

        std::printf("-- prints from %s\n", mode.name);
        for (const auto &[name, tally] : byVariant)
            std::printf("  %-12s %3d/%3d grouped with the original\n", qPrintable(name), tally.grouped, tally.pairs);
        std::printf("recall (variant pairs within the threshold): %d/%d = %.2f%%\n", lookAlike.grouped,
                    lookAlike.pairs, lookAlike.rate());
        std::printf("false pairs (different photographs within the threshold): %d/%d = %.2f%%"
                    " (of which same-scene halves: %d/%d)\n",
                    different.grouped, different.pairs, different.rate(), sameScene.grouped, sameScene.pairs);
        allMet = allMet && lookAlike.rate() >= 95.0 && different.rate() <= 1.0;
    }
    std::printf("photographs: %lld, threshold %.2f, images that could not be printed: %d\n",
                static_cast<long long>(stems.size()), double(threshold), unreadable);
    return allMet ? 0 : 1;
}
