// Recall and false-pair rate of the look-alike prints on a labelled set built from photographs.
//
// Usage: tessary-similar-evaluate [--threshold T] [--dump] WORKDIR PHOTO...
//
// For every photograph it writes the original (as JPEG, quality 92) and eight variants into
// WORKDIR: resized to 50% and 25%, re-encoded at quality 50, brightness +10% and -10%, cropped
// by 5% (2.5% from each side), stored turned with an Exif orientation tag, and converted to
// PNG. It also writes the left and right 45% of each photograph, two different pictures of one
// scene. Look-alike pairs are (original, variant); different pairs are every pair of distinct
// originals plus each left/right pair. A pair counts as grouped when the distance of its prints
// is at most the threshold.
#include "analysis/similar/featureprint.h"
#include "analysis/similar/similarityfinder.h"
#include "analysis/similar/thumbnailloader.h"
#include "library/filekind.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

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
    const auto thumbnail = ThumbnailLoader::load(QFile::encodeName(path), SimilarityFinder::kThumbnailSide);
    return thumbnail ? FeaturePrint::make(*thumbnail) : std::nullopt;
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

    std::map<QString, FeaturePrint> prints;
    int unreadable = 0;
    const auto printOf = [&](const QString &stem, const QString &name, const char *suffix) -> const FeaturePrint * {
        const QString path = dir + QLatin1Char('/') + stem + QLatin1Char('.') + name + QLatin1Char('.') + QLatin1String(suffix);
        auto it = prints.find(path);
        if (it == prints.end()) {
            const auto print = printFile(path);
            if (!print) {
                ++unreadable;
                return nullptr;
            }
            it = prints.emplace(path, *print).first;
        }
        return &it->second;
    };

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
            std::printf("%s\t%.4f\t%.4f\t%.4f\t%s\t%s\n", kind, double(d), double(FeaturePrint::shapeDistance(*pa, *pb)),
                        double(FeaturePrint::colourDistance(*pa, *pb)), qPrintable(a), qPrintable(b));
    };

    for (const QString &stem : std::as_const(stems)) {
        const FeaturePrint *original = printOf(stem, QStringLiteral("original"), "jpg");
        for (const Variant &variant : kVariants) {
            const QString name = QLatin1String(variant.name);
            note("variant", stem, name, original, printOf(stem, name, variant.suffix), byVariant[name], &lookAlike);
        }
        note("scene", stem, QStringLiteral("left-right"), printOf(stem, QStringLiteral("left"), "jpg"),
             printOf(stem, QStringLiteral("right"), "jpg"), sameScene, &different);
    }
    for (qsizetype i = 0; i < stems.size(); ++i) {
        for (qsizetype j = i + 1; j < stems.size(); ++j) {
            note("different", stems[i], stems[j], printOf(stems[i], QStringLiteral("original"), "jpg"),
                 printOf(stems[j], QStringLiteral("original"), "jpg"), different, nullptr);
        }
    }

    std::printf("photographs: %lld, threshold %.2f, images that could not be printed: %d\n",
                static_cast<long long>(stems.size()), double(threshold), unreadable);
    for (const auto &[name, tally] : byVariant)
        std::printf("  %-12s %3d/%3d grouped with the original\n", qPrintable(name), tally.grouped, tally.pairs);
    std::printf("recall (variant pairs within the threshold): %d/%d = %.2f%%\n", lookAlike.grouped, lookAlike.pairs,
                lookAlike.rate());
    std::printf("false pairs (different photographs within the threshold): %d/%d = %.2f%%"
                " (of which same-scene halves: %d/%d)\n",
                different.grouped, different.pairs, different.rate(), sameScene.grouped, sameScene.pairs);
    return lookAlike.rate() >= 95.0 && different.rate() <= 1.0 ? 0 : 1;
}
