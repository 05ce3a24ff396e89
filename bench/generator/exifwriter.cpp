#include "generator/exifwriter.h"

#include <QDateTime>
#include <QTimeZone>

// Exiv2 0.27's handles are std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <stdexcept>

namespace ExifWriter {

QByteArray withExif(const QByteArray &jpeg, const Fields &fields)
{
    // Exiv2 0.27 keeps some registries in globals; writing is rare enough to serialise.
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte *>(jpeg.constData()), static_cast<long>(jpeg.size()));
        if (image.get() == nullptr)
            throw std::runtime_error("not an image");
        image->readMetadata();
        const std::string when = QDateTime::fromSecsSinceEpoch(fields.taken.unixSeconds(), QTimeZone::utc())
                                     .toString(QStringLiteral("yyyy:MM:dd HH:mm:ss"))
                                     .toStdString();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = fields.make.toStdString();
        exif["Exif.Image.Model"] = fields.model.toStdString();
        exif["Exif.Image.Orientation"] = static_cast<uint16_t>(fields.orientation);
        exif["Exif.Image.DateTime"] = when;
        exif["Exif.Photo.DateTimeOriginal"] = when;
        exif["Exif.Photo.SubSecTimeOriginal"] = std::to_string(fields.taken.nanoseconds() / 10'000'000);
        exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(fields.width);
        exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(fields.height);
        image->setExifData(exif);
        image->writeMetadata();

        Exiv2::BasicIo &io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf data = io.read(static_cast<long>(io.size()));
        return QByteArray(reinterpret_cast<const char *>(data.pData_), data.size_);
    } catch (const Exiv2::AnyError &error) {
        throw std::runtime_error(std::string("Exif: ") + error.what());
    }
}

} // namespace ExifWriter
#pragma GCC diagnostic pop
