#include "library/media/avmetadatareader.h"

#include "platform/regularfile.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <chrono>
#include <cmath>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// No single file may hold a scan up for long, whatever its demuxer does.
constexpr auto kTimeLimit = std::chrono::seconds(3);
constexpr int64_t kProbeBytes = 1 << 20;
constexpr const char *kContainerFormats = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpeg,mpegts,mpegvideo,mp3,aac,"
                                          "wav,w64,aiff,flac,ogg,asf,flv,caf,amr,ape,wv,dsf,tta,rm,nut,ivf,mxf,dv,"
                                          "au,m4v,h264,hevc,opus";

int interruptWhenLate(void *opaque)
{
    return Clock::now() > *static_cast<Clock::time_point *>(opaque) ? 1 : 0;
}

struct FormatContext
{
    AVFormatContext *context = nullptr;
    ~FormatContext()
    {
        if (context != nullptr)
            avformat_close_input(&context);
    }
};

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
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    // Opened here so that a FIFO in a file's place is refused rather than waited on; the
    // demuxer then reads this very file through /proc.
    const RegularFile file(path);
    if (!file.isOpen())
        return {};

    Clock::time_point deadline = Clock::now() + kTimeLimit;
    FormatContext format;
    format.context = avformat_alloc_context();
    if (format.context == nullptr)
        return {};
    format.context->interrupt_callback = AVIOInterruptCB{interruptWhenLate, &deadline};
    format.context->probesize = kProbeBytes;
    format.context->max_analyze_duration = 2 * AV_TIME_BASE;
    format.context->format_probesize = kProbeBytes;

    // Only plain local files in self-contained formats: playlists and reference formats (HLS,
    // concat, DASH, image sequences) would open further files or addresses.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    format.context->format_whitelist = av_strdup(kContainerFormats);
    const int opened = avformat_open_input(&format.context, file.procPath().constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        format.context = nullptr; // freed by avformat_open_input on failure
        return {};
    }

    // Most containers state their length and picture size in the header; the rest need a
    // short look at the first packets.
    const AVStream *video = videoStream(format.context);
    const bool needsProbe = !durationOf(format.context)
        || (video != nullptr && (video->codecpar->width <= 0 || video->codecpar->height <= 0));
    if (needsProbe && avformat_find_stream_info(format.context, nullptr) < 0 && !durationOf(format.context))
        return {};

    MediaFacts facts;
    facts.duration = durationOf(format.context);
    video = videoStream(format.context);
    if (video != nullptr) {
        facts.dimensions = dimensionsOf(video);
        facts.camera = cameraOf(format.context);
    }
    return facts;
}

} // namespace AvMetadataReader
