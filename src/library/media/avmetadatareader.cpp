#include "library/media/avmetadatareader.h"

#include "library/media/avinput.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <chrono>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

// No single file may hold a scan up for long, whatever its demuxer does.
constexpr auto kTimeLimit = std::chrono::seconds(3);
constexpr int64_t kProbeBytes = 1 << 20;

std::optional<double> seconds(int64_t value, AVRational timeBase)
{
    if (value == AV_NOPTS_VALUE || value <= 0 || timeBase.den == 0)
        return std::nullopt;
    const double s = static_cast<double>(value) * av_q2d(timeBase);
    return std::isfinite(s) && s > 0 ? std::optional<double>(s) : std::nullopt;
}

std::optional<double> durationOf(const AVFormatContext *ctx)
{
    if (const auto whole = seconds(ctx->duration, AVRational{1, AV_TIME_BASE}))
        return whole;
    std::optional<double> longest;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const auto s = seconds(ctx->streams[i]->duration, ctx->streams[i]->time_base);
        if (s && (!longest || *s > *longest))
            longest = s;
    }
    return longest;
}

const AVStream *videoStream(const AVFormatContext *ctx)
{
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream *stream = ctx->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return stream;
    }
    return nullptr;
}

std::optional<QString> cameraOf(const AVFormatContext *ctx)
{
    for (const char *key : {"com.apple.quicktime.model", "com.android.model", "model"}) {
        const AVDictionaryEntry *entry = av_dict_get(ctx->metadata, key, nullptr, 0);
        if (entry != nullptr && entry->value != nullptr) {
            const QString text = QString::fromUtf8(entry->value).trimmed();
            if (!text.isEmpty())
                return text;
        }
    }
    return std::nullopt;
}

std::optional<QString> dimensionsOf(const AVStream *stream)
{
    qint64 width = stream->codecpar->width;
    qint64 height = stream->codecpar->height;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    // Phones record portrait video in landscape with a rotation for the player.
    if (const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
        const double rotation = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
        if (std::isfinite(rotation) && std::lround(std::fabs(rotation)) % 180 == 90)
            std::swap(width, height);
    }
    return MediaFacts::formatDimensions(width, height);
}

} // namespace

namespace AvMetadataReader {

MediaFacts read(const QByteArray &path)
{
    AvInput::Options options;
    options.deadline = Clock::now() + kTimeLimit;
    options.probeBytes = kProbeBytes;
    const AvInput input(path, options);
    AVFormatContext *context = input.format();
    if (context == nullptr)
        return {};
    context->max_analyze_duration = 2 * AV_TIME_BASE;

    // Most containers state their length and picture size in the header; the rest need a
    // short look at the first packets.
    const AVStream *video = videoStream(context);
    const bool needsProbe
        = !durationOf(context) || (video != nullptr && (video->codecpar->width <= 0 || video->codecpar->height <= 0));
    if (needsProbe && avformat_find_stream_info(context, nullptr) < 0 && !durationOf(context))
        return {};

    MediaFacts facts;
    facts.duration = durationOf(context);
    video = videoStream(context);
    if (video != nullptr) {
        facts.dimensions = dimensionsOf(video);
        facts.camera = cameraOf(context);
    }
    return facts;
}

} // namespace AvMetadataReader
