#include "analysis/thumbnails/videothumbnailer.h"

#include "library/media/avinput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <QTransform>

#include <chrono>
#include <cmath>

namespace VideoThumbnailer {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTimeLimit = std::chrono::seconds(5);
constexpr int kMaxPackets = 2000;
constexpr int kMaxFrameEdge = 16384;

struct Resources
{
    AVCodecContext *codec = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    ~Resources()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
    }
};

// Clockwise rotation in degrees (0, 90, 180 or 270) that shows the frame upright.
int rotationOf(const AVStream *stream)
{
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix == nullptr)
        return 0;
    const double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (!std::isfinite(counterClockwise))
        return 0;
    const long clockwise = std::lround(-counterClockwise / 90.0) * 90;
    return static_cast<int>(((clockwise % 360) + 360) % 360);
}

QImage converted(const AVFrame *frame, AVRational sampleAspect, int maxEdge)
{
    if (frame->width <= 0 || frame->height <= 0 || frame->width > kMaxFrameEdge || frame->height > kMaxFrameEdge)
        return {};
    double displayWidth = frame->width;
    if (sampleAspect.num > 0 && sampleAspect.den > 0)
        displayWidth *= av_q2d(sampleAspect);
    const QSize target = QSize(std::max(1, static_cast<int>(std::lround(displayWidth))), frame->height)
                             .scaled(maxEdge, maxEdge, Qt::KeepAspectRatio)
                             .boundedTo(QSize(std::max(1, static_cast<int>(std::lround(displayWidth))), frame->height))
                             .expandedTo(QSize(1, 1));
    SwsContext *scaler = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
        target.width(), target.height(), AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr)
        return {};
    QImage image(target, QImage::Format_RGB888);
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const int rows = sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scaler);
    return rows > 0 ? image : QImage();
}

} // namespace

QImage make(const QByteArray &path, int maxEdge, std::stop_token stop)
{
    AvInput::Options options;
    options.deadline = Clock::now() + kTimeLimit;
    options.stop = stop;
    const AvInput input(path, options);
    Resources r;
    AVFormatContext *format = input.format();
    if (format == nullptr || avformat_find_stream_info(format, nullptr) < 0)
        return {};

    const AVCodec *decoder = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index < 0 || decoder == nullptr)
        return {};
    AVStream *stream = format->streams[index];
    r.codec = avcodec_alloc_context3(decoder);
    if (r.codec == nullptr || avcodec_parameters_to_context(r.codec, stream->codecpar) < 0)
        return {};
    // The caller's pool bounds the parallelism; one decoding thread per thumbnail.
    r.codec->thread_count = 1;
    if (avcodec_open2(r.codec, decoder, nullptr) < 0)
        return {};

    // A tenth into the video skips black openings and title cards; a cover picture has no time.
    if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        const int64_t target = format->duration > 0 ? format->duration / 10 : AV_TIME_BASE;
        if (av_seek_frame(format, -1, target, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(format, -1, 0, AVSEEK_FLAG_BACKWARD);
    }

    r.packet = av_packet_alloc();
    r.frame = av_frame_alloc();
    if (r.packet == nullptr || r.frame == nullptr)
        return {};
    bool draining = false;
    for (int packets = 0; packets < kMaxPackets && !stop.stop_requested();) {
        if (!draining) {
            const int read = av_read_frame(format, r.packet);
            if (read < 0) {
                draining = true;
                avcodec_send_packet(r.codec, nullptr);
            } else {
                ++packets;
                const bool ours = r.packet->stream_index == index;
                const int sent = ours ? avcodec_send_packet(r.codec, r.packet) : 0;
                av_packet_unref(r.packet);
                if (sent < 0 && sent != AVERROR(EAGAIN))
                    continue;
            }
        }
        const int received = avcodec_receive_frame(r.codec, r.frame);
        if (received == 0) {
            QImage image = converted(r.frame, r.frame->sample_aspect_ratio, maxEdge);
            if (image.isNull())
                return {};
            if (const int rotation = rotationOf(stream); rotation != 0)
                image = image.transformed(QTransform().rotate(rotation));
            return image;
        }
        if (received == AVERROR_EOF || (draining && received != AVERROR(EAGAIN)))
            break;
        if (draining && received == AVERROR(EAGAIN))
            break;
    }
    return {};
}

} // namespace VideoThumbnailer
