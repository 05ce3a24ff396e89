#include "readers/helper/mediaprobe.h"

#include "library/media/avinput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace MediaProbe {

bool playable(const QByteArray &path, std::stop_token stop)
{
    AvInput::Options options;
    options.deadline = AvInput::Clock::now() + std::chrono::seconds(5);
    options.stop = std::move(stop);
    options.probeBytes = 4 << 20;
    const AvInput input(path, options);
    AVFormatContext *format = input.format();
    if (format == nullptr || avformat_find_stream_info(format, nullptr) < 0)
        return false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters *stream = format->streams[i]->codecpar;
        const bool media = stream->codec_type == AVMEDIA_TYPE_AUDIO || stream->codec_type == AVMEDIA_TYPE_VIDEO;
        if (media && stream->codec_id != AV_CODEC_ID_NONE && avcodec_find_decoder(stream->codec_id) != nullptr)
            return true;
    }
    return false;
}

} // namespace MediaProbe
