#include "generator/mediavariants.h"

namespace {

MediaVariant clip(
    double duration, int width = 0, int height = 0, const char *make = nullptr, const char *camera = nullptr)
{
    MediaVariant v;
    v.duration = duration;
    v.width = width;
    v.height = height;
    v.make = QString::fromLatin1(make);
    v.camera = QString::fromLatin1(camera);
    return v;
}

} // namespace

namespace MediaVariants {

bool isTemplated(Content format)
{
    switch (format) {
    case Content::mp3:
    case Content::ogg:
    case Content::m4a:
    case Content::flac:
    case Content::mp4:
    case Content::mkv:
    case Content::webm:
    case Content::mov:
        return true;
    default:
        return false;
    }
}

QList<MediaVariant> of(Content format)
{
    switch (format) {
    case Content::mp3:
    case Content::ogg:
    case Content::m4a:
    case Content::flac:
        // Short clips keep a 50,000-file library small; AAC adds about 0.07 s of priming, which
        // is why no clip is shorter than three seconds.
        return { clip(3.0), clip(5.0), clip(8.0) };
    case Content::mov:
        return { clip(3.0, 640, 360, "Apple", "iPhone 13 Pro"), clip(4.0, 1280, 720, "Apple", "iPhone 15") };
    case Content::mp4:
        return { clip(3.0, 640, 360, "Google", "Pixel 7"), clip(4.0, 1280, 720), clip(5.0, 320, 240) };
    case Content::mkv:
    case Content::webm:
        return { clip(3.0, 640, 360), clip(5.0, 320, 240) };
    default:
        return {};
    }
}

} // namespace MediaVariants
