#include "library/media/imagemetadatareader.h"

// Exiv2 0.27's handles are std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/bmffimage.hpp>
#include <exiv2/exiv2.hpp>

#include <mutex>

namespace {

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

} // namespace

namespace ImageMetadataReader {

MediaFacts read(const QByteArray &path)
{
    initializeExiv2();
    MediaFacts facts;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.toStdString(), false);
        if (image.get() == nullptr)
            return facts;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();

        facts.camera = exifText(exif, "Exif.Image.Model");

        long width = image->pixelWidth();
        long height = image->pixelHeight();
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
    } catch (...) {
        // Exiv2 reports unreadable and corrupt files by throwing: they simply have no facts.
        return {};
    }
    return facts;
}

} // namespace ImageMetadataReader
#pragma GCC diagnostic pop
