#include "generator/planbuilder.h"

#include "generator/mediavariants.h"
#include "generator/prose.h"

#include <QTimeZone>
#include <QUrl>

#include <array>

namespace {

constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 24 * kHour;

enum class NameStyle { apple, canon, pixel, samsung };

struct Camera
{
    const char16_t *make;
    const char16_t *model;
    NameStyle style;
};

constexpr std::array<Camera, PlanBuilder::kCameraCount> kCameras { {
    { u"Apple", u"iPhone 13 Pro", NameStyle::apple },
    { u"Apple", u"iPhone 15", NameStyle::apple },
    { u"Apple", u"iPhone 12 mini", NameStyle::apple },
    { u"Canon", u"Canon EOS R6", NameStyle::canon },
    { u"Canon", u"Canon EOS 80D", NameStyle::canon },
    { u"Google", u"Pixel 7", NameStyle::pixel },
    { u"Google", u"Pixel 8 Pro", NameStyle::pixel },
    { u"samsung", u"SM-S918B", NameStyle::samsung },
    { u"samsung", u"SM-A536B", NameStyle::samsung },
} };

struct Size
{
    int width;
    int height;
};

// Phones take 4:3 pictures, the cameras 3:2. Kept small so that a large library stays quick
// to make; the metadata reader does not care about the pixel count.
constexpr std::array kPhoneSizes { Size { 640, 480 }, Size { 800, 600 }, Size { 800, 600 }, Size { 1024, 768 },
    Size { 1024, 768 }, Size { 1280, 960 }, Size { 1600, 1200 } };
constexpr std::array kCameraSizes { Size { 900, 600 }, Size { 1200, 800 }, Size { 1500, 1000 } };
constexpr std::array kScreenSizes { Size { 1920, 1080 }, Size { 1920, 1080 }, Size { 1366, 768 }, Size { 1280, 800 },
    Size { 2560, 1440 } };

constexpr std::array kMonths { u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August",
    u"September", u"October", u"November", u"December" };

constexpr std::array kArtistWords { u"Paper", u"Midnight", u"Velvet", u"Northern", u"Silver", u"Hollow", u"Golden",
    u"Quiet", u"Electric", u"Wandering", u"Amber", u"Crystal" };
constexpr std::array kArtistNouns { u"Lanterns", u"Orchards", u"Foxes", u"Harbours", u"Pilots", u"Rivers", u"Engines",
    u"Satellites", u"Gardens", u"Tides" };
constexpr std::array kTrackWords { u"Slow", u"Bright", u"Falling", u"Distant", u"Open", u"Broken", u"Summer", u"Lonely",
    u"Endless", u"Little", u"Neon", u"Winter" };
constexpr std::array kTrackNouns { u"Light", u"Roads", u"Heart", u"Morning", u"Signals", u"Water", u"Stars", u"Window",
    u"Ocean", u"Letters", u"Fire", u"Streets" };
constexpr std::array kBundleNames { u"Scratchpad", u"Sketchbook Pro", u"Tempo", u"Mosaic", u"Ledger", u"Lighthouse",
    u"Pocket Terminal" };
constexpr std::array kRepositories { u"nimbus-labs/cloudsync", u"kestrel-dev/kestrel", u"orchard/orchard-cli",
    u"meridian-team/mapkit", u"helios-org/helios" };

struct Installer
{
    Content format;
    const char16_t *fileName;
    const char16_t *package; // the name the package manager knows
    const char16_t *version;
};

// Some of these packages are installed on a Debian system (zip, unzip), as a downloaded
// installer often is after it has been run.
constexpr std::array kInstallers {
    Installer { Content::deb, u"obsidian_1.4.16_amd64.deb", u"obsidian", u"1.4.16" },
    Installer { Content::deb, u"code_1.86.0-1706698139_amd64.deb", u"code", u"1.86.0-1706698139" },
    Installer { Content::deb, u"slack-desktop-4.36.140-amd64.deb", u"slack-desktop", u"4.36.140" },
    Installer { Content::deb, u"zoom_amd64.deb", u"zoom", u"5.17.5.2543" },
    Installer { Content::deb, u"discord-0.0.43.deb", u"discord", u"0.0.43" },
    Installer { Content::deb, u"zip_3.0-13_amd64.deb", u"zip", u"3.0-13" },
    Installer { Content::deb, u"unzip_6.0-28_amd64.deb", u"unzip", u"6.0-28" },
    Installer { Content::rpm, u"obsidian-1.4.16.x86_64.rpm", u"obsidian", u"1.4.16" },
    Installer { Content::rpm, u"code-1.86.0-1706698139.el8.x86_64.rpm", u"code", u"1.86.0" },
    Installer { Content::rpm, u"slack-4.36.140-0.1.el8.x86_64.rpm", u"slack", u"4.36.140" },
    Installer { Content::dmg, u"Obsidian-1.4.16.dmg", u"Obsidian", u"1.4.16" },
    Installer { Content::dmg, u"Slack-4.36.140-macOS.dmg", u"Slack", u"4.36.140" },
    Installer { Content::dmg, u"Firefox 124.0.dmg", u"Firefox", u"124.0" },
    Installer { Content::appImage, u"Obsidian-1.4.16.AppImage", u"Obsidian", u"1.4.16" },
    Installer { Content::appImage, u"Krita-5.2.2-x86_64.appimage", u"Krita", u"5.2.2" },
    Installer { Content::appImage, u"Joplin-2.14.17.AppImage", u"Joplin", u"2.14.17" },
    Installer { Content::flatpakRef, u"org.videolan.VLC.flatpakref", u"org.videolan.VLC", u"stable" },
    Installer { Content::flatpakRef, u"com.spotify.Client.flatpakref", u"com.spotify.Client", u"stable" },
};

QString str(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString lowerDashed(const QString &text)
{
    return text.toLower().replace(u' ', u'-');
}

QByteArray encoded(const QString &name)
{
    return QUrl::toPercentEncoding(name);
}

} // namespace

PlanBuilder::PlanBuilder(quint64 seed)
    : m_seed(seed)
    , m_random(SeededRandom::derive(seed, 0x706c616e))
{
    m_imageNumber = m_random.between(1000, 8000);
    m_invoiceNumber = m_random.between(10, 400);
}

QDateTime PlanBuilder::utc(Timestamp time)
{
    return QDateTime::fromSecsSinceEpoch(time.unixSeconds(), QTimeZone::utc());
}

Timestamp PlanBuilder::time(Age age)
{
    qint64 ageSeconds = 0;
    switch (age) {
    case Age::recent:
        ageSeconds = m_random.between(2 * kHour, 21 * kDay);
        break;
    case Age::old:
        ageSeconds = m_random.between(120 * kDay, 1000 * kDay);
        break;
    case Age::any:
        ageSeconds
            = m_random.chance(0.12) ? m_random.between(kHour, 30 * kDay) : m_random.between(30 * kDay, 3 * 365 * kDay);
        break;
    }
    return Timestamp::fromUnix(LibraryPlan::kReferenceUnixSeconds - ageSeconds, m_random.between(0, 999'999'999));
}

QByteArray PlanBuilder::uniquePath(const QByteArray &folder, const QString &name)
{
    const QByteArray base = folder.isEmpty() ? name.toUtf8() : folder + '/' + name.toUtf8();
    if (!m_paths.contains(base)) {
        m_paths.insert(base);
        return base;
    }
    // "report.pdf" becomes "report (2).pdf", "a.tar.gz" becomes "a (2).tar.gz".
    qsizetype dot = base.lastIndexOf('.');
    if (base.endsWith(".tar.gz"))
        dot = base.size() - 7;
    if (dot <= base.lastIndexOf('/'))
        dot = base.size();
    for (int n = 2;; ++n) {
        const QByteArray candidate = base.left(dot) + " (" + QByteArray::number(n) + ')' + base.mid(dot);
        if (!m_paths.contains(candidate)) {
            m_paths.insert(candidate);
            return candidate;
        }
    }
}

PlannedFile &PlanBuilder::add(const QByteArray &folder, const QString &name, Content content, Timestamp modified)
{
    PlannedFile file;
    file.path = uniquePath(folder, name);
    file.content = content;
    file.modified = modified;
    file.seed = SeededRandom::derive(m_seed, static_cast<quint64>(m_plan.files.size()) + 1);
    m_plan.files.append(file);
    ++m_listed;
    return m_plan.files.last();
}

QByteArray PlanBuilder::projectFolder()
{
    return "Documents/Projects/" + Prose::projectName(m_random).toUtf8();
}

int PlanBuilder::photo(int camera, int orientation)
{
    const Camera &c = camera >= 0 ? kCameras[static_cast<std::size_t>(camera)] : m_random.pick(kCameras);
    const Timestamp when = time();
    const QDateTime t = utc(when);
    m_imageNumber = m_imageNumber % 9999 + 1;
    const QString number = QStringLiteral("%1").arg(m_imageNumber, 4, 10, QLatin1Char('0'));
    QString name;
    switch (c.style) {
    case NameStyle::apple:
        name = u"IMG_" + number + u".JPG";
        break;
    case NameStyle::canon:
        name = QString::fromUtf16(m_random.chance(0.3) ? u"_MG_" : u"IMG_") + number + u".JPG";
        break;
    case NameStyle::pixel:
        name = u"PXL_" + t.toString(QStringLiteral("yyyyMMdd_HHmmss"))
            + QStringLiteral("%1").arg(when.nanoseconds() / 1'000'000, 3, 10, QLatin1Char('0')) + u".jpg";
        break;
    case NameStyle::samsung:
        name = t.toString(QStringLiteral("yyyyMMdd_HHmmss")) + u".jpg";
        break;
    }
    QByteArray folder;
    const double place = m_random.unit();
    if (place < 0.9)
        folder = "Pictures/" + QByteArray::number(t.date().year()) + '/' + twoDigits(t.date().month()).toUtf8() + ' '
            + str(kMonths[static_cast<std::size_t>(t.date().month() - 1)]).toUtf8();
    else if (place < 0.95)
        folder = "Desktop";
    else
        folder = "Pictures/Favourites";

    const bool isCamera = c.style == NameStyle::canon;
    const Size size = isCamera ? m_random.pick(kCameraSizes) : m_random.pick(kPhoneSizes);
    if (orientation == 0)
        orientation = m_random.chance(isCamera ? 0.15 : 0.3) ? (isCamera ? 8 : 6) : 1;

    PlannedFile &file = add(folder, name, Content::photo, when);
    file.make = str(c.make);
    file.camera = str(c.model);
    file.width = size.width;
    file.height = size.height;
    file.orientation = orientation;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::lookAlikeSet(int variants)
{
    // Phones only, upright: a look-alike without Exif must look the same as the original.
    constexpr std::array kPhones { 0, 1, 2, 5, 6, 7, 8 };
    const int base = photo(m_random.pick(kPhones), 1);
    const PlannedFile original = m_plan.files.at(base);
    const QString stem = QString::fromUtf8(original.path.mid(original.path.lastIndexOf('/') + 1)).section(u'.', 0, 0);
    const QDateTime t = utc(original.modified);
    for (int i = 0; i < variants; ++i) {
        const Timestamp later
            = Timestamp::fromUnix(std::min(original.modified.unixSeconds() + m_random.between(kHour, 20 * kDay),
                                      LibraryPlan::kReferenceUnixSeconds - kHour),
                m_random.between(0, 999'999'999));
        PlannedFile *file = nullptr;
        switch (i % 3) {
        case 0:
            file = &add("Desktop", stem + u"-small.jpg", Content::photoResized, later);
            file->width = original.width / 2;
            file->height = original.height / 2;
            break;
        case 1:
            // Messaging apps re-encode and rename what they pass on.
            file = &add("Pictures/WhatsApp Images",
                u"IMG-" + t.toString(QStringLiteral("yyyyMMdd")) + u"-WA"
                    + QStringLiteral("%1").arg(m_random.between(0, 9999), 4, 10, QLatin1Char('0')) + u".jpg",
                Content::photoRecompressed, later);
            file->width = original.width;
            file->height = original.height;
            break;
        default:
            file = &add(original.path.left(original.path.lastIndexOf('/')), stem + u"-edited.jpg",
                Content::photoBrightened, later);
            file->width = original.width;
            file->height = original.height;
            file->make = original.make;
            file->camera = original.camera;
            break;
        }
        file->origin = base;
    }
    return base;
}

int PlanBuilder::screenshot(bool gnomeStyle)
{
    const Timestamp when = time();
    const QDateTime t = utc(when);
    const QString name = gnomeStyle
        ? QString(u"Screenshot from " + t.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + u".png")
        : QString(u"Screenshot_" + t.toString(QStringLiteral("yyyyMMdd_HHmmss")) + u".png");
    const Size size = m_random.pick(kScreenSizes);
    PlannedFile &file = add(m_random.chance(0.8) ? "Pictures/Screenshots" : "Desktop", name, Content::screenshot, when);
    file.width = size.width;
    file.height = size.height;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::image(Content format, Place place, Site site)
{
    QByteArray folder;
    QString name;
    Size size { 800, 600 };
    const QString n = QString::number(m_random.between(1, 999));
    switch (format) {
    case Content::gif:
        folder = "Pictures/GIFs";
        name = m_random.chance(0.5) ? QString(u"reaction-" + n + u".gif")
                                    : QString(u"animation-" + Prose::topic(m_random) + u".gif");
        size = m_random.chance(0.5) ? Size { 320, 240 } : Size { 480, 270 };
        break;
    case Content::webp:
        folder = "Pictures/Web";
        name = Prose::topic(m_random) + u'-' + n + u".webp";
        size = m_random.chance(0.5) ? Size { 800, 600 } : Size { 1200, 800 };
        break;
    default:
        if (m_random.chance(0.5)) {
            folder = projectFolder() + "/assets";
            name = u"diagram-" + Prose::topic(m_random) + u".png";
            size = m_random.chance(0.5) ? Size { 800, 600 } : Size { 1200, 900 };
        } else {
            folder = "Pictures/Wallpapers";
            name = u"wallpaper-" + n + u".png";
            size = { 1920, 1080 };
        }
        break;
    }
    PlannedFile &file = add(place == Place::downloads ? QByteArray("Downloads") : folder, name, format, time());
    file.width = size.width;
    file.height = size.height;
    if (place == Place::downloads)
        markDownload(file, site);
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::document(Content format, Place place, Site site)
{
    const Timestamp when = time();
    const QDateTime t = utc(when);
    const QString title = Prose::title(m_random);
    const QString year = QString::number(t.date().year());
    QByteArray folder;
    QString name;
    switch (format) {
    case Content::textPdf: {
        const double which = m_random.unit();
        if (which < 0.35) {
            folder = "Documents/Receipts";
            name = u"Invoice-" + year + u'-' + QStringLiteral("%1").arg(++m_invoiceNumber, 4, 10, QLatin1Char('0'))
                + u".pdf";
        } else if (which < 0.7) {
            folder = "Documents/Work";
            name = title + u".pdf";
        } else {
            folder = "Documents/Manuals";
            name = Prose::projectName(m_random) + u" User Manual.pdf";
        }
        break;
    }
    case Content::scannedPdf:
        folder = "Documents/Scans";
        name = u"Scan " + t.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + u".pdf";
        break;
    case Content::plainText:
        folder = "Documents/Notes";
        name = title + u".txt";
        break;
    case Content::markdown:
        folder = projectFolder();
        name = m_random.chance(0.3) ? QStringLiteral("README.md") : lowerDashed(title) + u".md";
        break;
    case Content::csv:
        folder = m_random.chance(0.5) ? projectFolder() + "/data" : QByteArray("Documents/Finance");
        name = Prose::topic(m_random) + u'-' + year + u".csv";
        break;
    case Content::json:
        folder = projectFolder() + (m_random.chance(0.5) ? "/data" : "");
        name = m_random.chance(0.3) ? QStringLiteral("config.json") : Prose::topic(m_random) + u".json";
        break;
    case Content::docx:
        folder = "Documents/Work";
        name = title + u".docx";
        break;
    case Content::xlsx: {
        QString topic = Prose::topic(m_random);
        topic[0] = topic[0].toUpper();
        folder = "Documents/Finance";
        name = topic + u' ' + year + u".xlsx";
        break;
    }
    default:
        folder = "Documents/Letters";
        name = title + u".odt";
        break;
    }
    PlannedFile &file = add(place == Place::downloads ? QByteArray("Downloads") : folder, name, format, when);
    file.title = title;
    if (place == Place::downloads)
        markDownload(file, site);
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::music(Content format)
{
    if (m_track == 0 || m_track >= m_albumLength) {
        if (m_artist.isEmpty() || m_random.chance(0.6)) {
            m_artist = m_random.chance(0.5)
                ? Prose::personName(m_random)
                : u"The " + str(m_random.pick(kArtistWords)) + u' ' + str(m_random.pick(kArtistNouns));
        }
        m_album = str(m_random.pick(kTrackWords)) + u' ' + str(m_random.pick(kTrackNouns));
        m_track = 0;
        m_albumLength = m_random.between(8, 14);
    }
    ++m_track;
    const QString title = str(m_random.pick(kTrackWords)) + u' ' + str(m_random.pick(kTrackNouns));
    const char *extension = format == Content::mp3 ? ".mp3"
        : format == Content::ogg                   ? ".ogg"
        : format == Content::m4a                   ? ".m4a"
                                                   : ".flac";
    const QList<MediaVariant> variants = MediaVariants::of(format);
    const int variant = m_random.between(0, static_cast<int>(variants.size()) - 1);
    PlannedFile &file = add("Music/" + m_artist.toUtf8() + '/' + m_album.toUtf8(),
        twoDigits(m_track) + u' ' + title + QString::fromLatin1(extension), format, time());
    file.title = title;
    file.text = m_artist.toUtf8() + '\n' + m_album.toUtf8() + '\n' + QByteArray::number(m_track);
    file.mediaVariant = variant;
    file.duration = variants.at(variant).duration;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::voiceMemo()
{
    const Timestamp when = time();
    constexpr int kRate = 22050;
    PlannedFile &file = add("Documents/Recordings",
        u"Recording " + utc(when).toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + u".wav", Content::wav, when);
    file.duration = static_cast<double>(m_random.between(2 * kRate, 6 * kRate)) / kRate;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::video(Content format)
{
    const QList<MediaVariant> variants = MediaVariants::of(format);
    const int variant = m_random.between(0, static_cast<int>(variants.size()) - 1);
    const MediaVariant &v = variants.at(variant);
    const Timestamp when = time();
    const QDateTime t = utc(when);
    QByteArray folder = "Videos";
    QString name;
    if (!v.camera.isEmpty()) {
        folder = "Pictures/" + QByteArray::number(t.date().year()) + '/' + twoDigits(t.date().month()).toUtf8() + ' '
            + str(kMonths[static_cast<std::size_t>(t.date().month() - 1)]).toUtf8();
        m_imageNumber = m_imageNumber % 9999 + 1;
        name = format == Content::mov ? QStringLiteral("IMG_%1.MOV").arg(m_imageNumber, 4, 10, QLatin1Char('0'))
                                      : u"PXL_" + t.toString(QStringLiteral("yyyyMMdd_HHmmss")) + u"000.mp4";
    } else if (format == Content::webm) {
        folder = "Videos/Screencasts";
        name = u"Screencast from " + t.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + u".webm";
    } else if (format == Content::mkv) {
        folder = "Videos/Lectures";
        name = u"Lecture " + twoDigits(m_random.between(1, 24)) + u" - " + Prose::title(m_random) + u".mkv";
    } else {
        name = Prose::title(m_random) + (format == Content::mov ? u".mov" : u".mp4");
    }
    PlannedFile &file = add(folder, name, format, when);
    file.mediaVariant = variant;
    file.duration = v.duration;
    file.width = v.width;
    file.height = v.height;
    file.make = v.make;
    file.camera = v.camera;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::archive(Content format, Place place, Site site)
{
    const Timestamp when = time();
    const QString year = QString::number(utc(when).date().year());
    QString name;
    const QString project = lowerDashed(Prose::projectName(m_random));
    const double which = m_random.unit();
    if (format == Content::zip) {
        if (which < 0.3)
            name = project + u"-main.zip";
        else if (which < 0.6)
            name = u"photos-" + year + u".zip";
        else if (which < 0.8)
            name = u"invoices-Q" + QString::number(m_random.between(1, 4)) + u'-' + year + u".zip";
        else
            name = Prose::topic(m_random) + u"-export.zip";
    } else {
        if (which < 0.6)
            name = project + QStringLiteral("-1.%1.%2.tar.gz").arg(m_random.between(0, 9)).arg(m_random.between(0, 20));
        else
            name = u"backup-" + utc(when).toString(QStringLiteral("yyyy-MM-dd")) + u".tar.gz";
    }
    PlannedFile &file = add(
        place == Place::downloads ? QByteArray("Downloads") : QByteArray("Documents/Archive"), name, format, when);
    file.title = project;
    if (place == Place::downloads)
        markDownload(file, site);
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::installer(Content format, Age age, Site site)
{
    QList<const Installer *> candidates;
    for (const Installer &i : kInstallers) {
        if (i.format == format)
            candidates.append(&i);
    }
    const Installer &chosen = *m_random.pick(candidates);
    PlannedFile &file = add("Downloads", str(chosen.fileName), format, time(age));
    file.title = str(chosen.package);
    file.text = str(chosen.version).toUtf8();
    markDownload(file, site);
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::data()
{
    const QString n = QString::number(m_random.between(1, 9999));
    if (m_random.chance(0.5))
        add("Documents/Backups", u"backup-" + n + u".dat", Content::data, time());
    else
        add(projectFolder(), u"firmware-" + n + u".bin", Content::data, time());
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::bundle()
{
    const QString name = m_plan.files.isEmpty() ? str(kBundleNames[0]) : str(m_random.pick(kBundleNames));
    PlannedFile &file = add("Applications", name + u".app", Content::bundle, time(Age::old));
    file.title = name;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::copy(int origin)
{
    while (m_plan.files.at(origin).origin >= 0 && m_plan.files.at(origin).content == Content::copy)
        origin = m_plan.files.at(origin).origin;
    const PlannedFile source = m_plan.files.at(origin);
    const QString name = QString::fromUtf8(source.path.mid(source.path.lastIndexOf('/') + 1));
    const double where = m_random.unit();
    QByteArray folder;
    QString copyName = name;
    if (where < 0.35) {
        folder = "Desktop";
    } else if (where < 0.7) {
        folder = "Documents/Backup";
    } else {
        // A second download of the same file: the browser adds a number.
        folder = "Downloads";
        const qsizetype dot = name.lastIndexOf(u'.');
        copyName = dot > 0 ? QString(name.left(dot) + u" (1)" + name.mid(dot)) : QString(name + u" (1)");
    }
    PlannedFile &file = add(folder, copyName, Content::copy, time());
    const Timestamp modified = file.modified;
    const QByteArray path = file.path;
    const quint64 seed = file.seed;
    file = source;
    file.path = path;
    file.seed = seed;
    file.modified = modified;
    file.content = Content::copy;
    file.origin = origin;
    file.originUrl.clear();
    file.referrerUrl.clear();
    file.tags.clear();
    if (folder == "Downloads")
        markDownload(file, m_random.chance(0.25) ? Site::none : siteFor(source.content));
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::hidden(const QByteArray &path, Content content, const QByteArray &text)
{
    const qsizetype slash = path.lastIndexOf('/');
    PlannedFile &file = add(
        path.left(std::max<qsizetype>(slash, 0)), QString::fromUtf8(path.mid(slash + 1)), content, time(Age::old));
    file.listed = false;
    file.text = text;
    --m_listed;
    return static_cast<int>(m_plan.files.size()) - 1;
}

int PlanBuilder::odd(const QByteArray &path, Content content)
{
    m_paths.insert(path);
    PlannedFile file;
    file.path = path;
    file.content = content;
    file.modified = time();
    file.seed = SeededRandom::derive(m_seed, static_cast<quint64>(m_plan.files.size()) + 1);
    file.title = QStringLiteral("Café menu");
    m_plan.files.append(file);
    ++m_listed;
    return static_cast<int>(m_plan.files.size()) - 1;
}

void PlanBuilder::link(const QByteArray &path, const QByteArray &target)
{
    m_paths.insert(path);
    m_plan.links.append(PlannedLink { path, target, time() });
}

PlanBuilder::Site PlanBuilder::siteFor(Content content)
{
    switch (content) {
    case Content::deb:
    case Content::rpm:
    case Content::appImage:
    case Content::tarGz:
        return m_random.pick(std::array { Site::github, Site::github, Site::vendor, Site::example, Site::rawGithub });
    case Content::dmg:
    case Content::flatpakRef:
        return m_random.pick(std::array { Site::vendor, Site::example });
    case Content::zip:
        return m_random.pick(std::array { Site::github, Site::drive, Site::gmail, Site::example });
    case Content::photo:
    case Content::gif:
    case Content::webp:
    case Content::drawing:
    case Content::screenshot:
        return m_random.pick(
            std::array { Site::whatsapp, Site::twimg, Site::pinterest, Site::canva, Site::discord, Site::slack });
    default:
        return m_random.pick(std::array { Site::gmail, Site::gmail, Site::slack, Site::drive, Site::chatgpt,
            Site::arxiv, Site::example, Site::discord });
    }
}

void PlanBuilder::markDownload(PlannedFile &file, Site site)
{
    if (site == Site::random)
        site = m_random.chance(0.25) ? Site::none : siteFor(file.content);
    const QByteArray name = encoded(QString::fromUtf8(file.path.mid(file.path.lastIndexOf('/') + 1)));
    const QByteArray id = QByteArray::number(m_random.next() % 1'000'000'000'000ULL);
    const QByteArray repository = str(m_random.pick(kRepositories)).toUtf8();
    switch (site) {
    case Site::random:
    case Site::none:
        return;
    case Site::gmail:
        file.originUrl = "https://mail.google.com/mail/u/0/?ui=2&ik=4f1c2a9e&attid=0.1&permmsgid=msg-f:" + id
            + "&disp=safe&realattid=f_" + id;
        file.referrerUrl = "https://mail.google.com/";
        return;
    case Site::slack:
        file.originUrl = "https://files.slack.com/files-pri/T02AB3CD4-F" + id + "/download/" + name;
        file.referrerUrl = "https://app.slack.com/";
        return;
    case Site::drive:
        file.originUrl = "https://drive.google.com/uc?id=1" + id + "&export=download";
        return;
    case Site::chatgpt:
        file.originUrl = "https://chatgpt.com/backend-api/estuary/content?id=file-" + id;
        file.referrerUrl = "https://chatgpt.com/";
        return;
    case Site::canva:
        file.originUrl = "https://export-download.canva.com/" + id + '/' + name;
        file.referrerUrl = "https://www.canva.com/";
        return;
    case Site::github:
        file.originUrl = "https://github.com/" + repository + "/releases/download/v1.4.2/" + name;
        file.referrerUrl = "https://github.com/" + repository + "/releases";
        return;
    case Site::rawGithub:
        file.originUrl = "https://raw.githubusercontent.com/" + repository + "/main/dist/" + name;
        return;
    case Site::discord:
        file.originUrl = "https://cdn.discordapp.com/attachments/10" + id + "/11" + id + '/' + name;
        return;
    case Site::whatsapp:
        // WhatsApp Web hands out blob addresses, which have no host: the referrer names the site.
        file.originUrl = "blob:https://web.whatsapp.com/9f3c" + id;
        file.referrerUrl = "https://web.whatsapp.com/";
        return;
    case Site::twimg:
        file.originUrl = "https://pbs.twimg.com/media/G" + id + "?format=jpg&name=large";
        file.referrerUrl = "https://x.com/";
        return;
    case Site::pinterest:
        file.originUrl = "https://i.pinimg.com/originals/" + id + ".jpg";
        file.referrerUrl = "https://www.pinterest.com/";
        return;
    case Site::arxiv:
        file.originUrl = "https://arxiv.org/pdf/2403." + id.right(5);
        return;
    case Site::example:
        file.originUrl = "https://www.example.org/files/" + name;
        file.referrerUrl = "https://www.example.org/downloads";
        return;
    case Site::vendor:
        file.originUrl = "https://downloads.example.com/stable/" + name;
        return;
    }
}
