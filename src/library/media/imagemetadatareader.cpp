#include "library/media/imagemetadatareader.h"

#include "platform/regularfile.h"

// Exiv2 0.27's handles are std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/bmffimage.hpp>
#include <exiv2/exiv2.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

// Exif, XMP and the format header sit near the start of an image. Reading that much once and
// parsing it in memory spares the dozens of seeks Exiv2 makes on a file while it probes formats.
constexpr qint64 kPrefixBytes = 512 * 1024;

void initializeExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // The XMP toolkit must be set up before threads use it.
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

std::optional<long> exifNumber(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return std::nullopt;
    const long value = it->toLong();
    return it->value().ok() ? std::optional<long>(value) : std::nullopt;
}

std::optional<QString> exifText(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    const QString text = QString::fromUtf8(it->toString()).remove(QChar(u'\0')).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

MediaFacts factsOf(Exiv2::Image &image)
{
    MediaFacts facts;
    image.readMetadata();
    const Exiv2::ExifData &exif = image.exifData();

    facts.camera = exifText(exif, "Exif.Image.Model");

    long width = image.pixelWidth();
    long height = image.pixelHeight();
    if (width <= 0 || height <= 0) {
        width = exifNumber(exif, "Exif.Photo.PixelXDimension").value_or(0);
        height = exifNumber(exif, "Exif.Photo.PixelYDimension").value_or(0);
    }
    if (width > 0 && height > 0) {
        // Orientations 5 to 8 turn the picture by a quarter.
        const long orientation = exifNumber(exif, "Exif.Image.Orientation").value_or(1);
        if (orientation >= 5 && orientation <= 8)
            std::swap(width, height);
        facts.dimensions = MediaFacts::formatDimensions(width, height);
    }
    return facts;
}

} // namespace

namespace ImageMetadataReader {

MediaFacts read(const QByteArray &path)
{
    initializeExiv2();
    RegularFile file(path);
    if (!file.isOpen())
        return {};
    const QByteArray prefix = file.read(kPrefixBytes);
    const bool wholeFile = prefix.size() < kPrefixBytes;
    if (prefix.isEmpty())
        return {};

    try {
        const auto *bytes = reinterpret_cast<const Exiv2::byte *>(prefix.constData());
        if (Exiv2::ImageFactory::getType(bytes, static_cast<long>(prefix.size())) == Exiv2::ImageType::none)
            return {};
        try {
            Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(bytes, static_cast<long>(prefix.size()));
            if (image.get() != nullptr)
                return factsOf(*image);
        } catch (...) {
            // The metadata reaches past the prefix (or the file is corrupt): read the whole file.
            if (wholeFile)
                return {};
        }
        // The whole file, mapped rather than opened again by name: the descriptor is all there is.
        struct stat status {};
        if (::fstat(file.fd(), &status) != 0 || status.st_size <= 0)
            return {};
        const size_t length = size_t(status.st_size);
        void *mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.fd(), 0);
        if (mapped == MAP_FAILED)
            return {};
        const std::unique_ptr<void, std::function<void(void *)>> unmap(
            mapped, [length](void *address) { ::munmap(address, length); });
        Exiv2::Image::AutoPtr image
            = Exiv2::ImageFactory::open(static_cast<const Exiv2::byte *>(mapped), static_cast<long>(length));
        if (image.get() != nullptr)
            return factsOf(*image);
    } catch (...) {
        // Exiv2 reports unreadable and corrupt files by throwing: they simply have no facts.
    }
    return {};
}

} // namespace ImageMetadataReader
#pragma GCC diagnostic pop
