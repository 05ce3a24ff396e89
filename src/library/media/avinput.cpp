#include "library/media/avinput.h"

#include "platform/regularfile.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kBufferBytes = 64 * 1024;
constexpr const char *kContainerFormats = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpeg,mpegts,mpegvideo,mp3,aac,"
                                          "wav,w64,aiff,flac,ogg,asf,flv,caf,amr,ape,wv,dsf,tta,rm,nut,ivf,mxf,dv,"
                                          "au,m4v,h264,hevc,opus";

} // namespace

// Reads by position (pread), so the descriptor's own offset, which copies of it share, is never
// moved.
struct AvInput::Source
{
    RegularFile file;
    int64_t position = 0;
    const Options *options = nullptr;

    explicit Source(const QByteArray &path)
        : file(path)
    { }

    static int read(void *opaque, uint8_t *buffer, int size)
    {
        auto *source = static_cast<Source *>(opaque);
        ssize_t n = 0;
        do {
            n = ::pread(source->file.fd(), buffer, size_t(size), source->position);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return AVERROR(errno);
        if (n == 0)
            return AVERROR_EOF;
        source->position += n;
        return int(n);
    }

    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto *source = static_cast<Source *>(opaque);
        struct stat status
        {
        };
        if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE || (whence & ~AVSEEK_FORCE) == SEEK_END) {
            if (::fstat(source->file.fd(), &status) != 0)
                return AVERROR(errno);
            if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE)
                return status.st_size;
        }
        int64_t target = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = source->position + offset;
            break;
        case SEEK_END:
            target = status.st_size + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (target < 0)
            return AVERROR(EINVAL);
        source->position = target;
        return target;
    }

    static int interrupted(void *opaque)
    {
        const auto *options = static_cast<const Options *>(opaque);
        return options->stop.stop_requested() || Clock::now() > options->deadline ? 1 : 0;
    }
};

AvInput::AvInput(const QByteArray &path, Options options)
    : m_options(std::move(options))
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    m_source = new Source(path);
    if (!m_source->file.isOpen())
        return;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferBytes));
    if (buffer == nullptr)
        return;
    m_io = avio_alloc_context(buffer, kBufferBytes, 0, m_source, &Source::read, nullptr, &Source::seek);
    if (m_io == nullptr) {
        av_free(buffer);
        return;
    }
    AVFormatContext *format = avformat_alloc_context();
    if (format == nullptr)
        return;
    format->pb = m_io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->interrupt_callback = AVIOInterruptCB { &Source::interrupted, &m_options };
    if (m_options.probeBytes > 0) {
        format->probesize = m_options.probeBytes;
        format->format_probesize = int(std::min<qint64>(m_options.probeBytes, INT_MAX));
    }
    format->format_whitelist = av_strdup(kContainerFormats);
    // No protocol at all: the accepted formats read only the file given, and nothing a
    // demuxer might still try to open (an external reference, a data URL) can be reached.
    format->protocol_whitelist = av_strdup("none");
    if (avformat_open_input(&format, "", nullptr, nullptr) < 0)
        return; // avformat_open_input frees the context on failure
    m_format = format;
}

AvInput::~AvInput()
{
    if (m_format != nullptr)
        avformat_close_input(&m_format);
    if (m_io != nullptr) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    delete m_source;
}

const char *AvInput::containerFormats()
{
    return kContainerFormats;
}
