#pragma once

#include <QByteArray>

#include <chrono>
#include <stop_token>

struct AVFormatContext;
struct AVIOContext;

// A media file opened for FFmpeg's demuxers through its descriptor, in the self-contained
// container formats only: playlists and reference formats (HLS, concat, DASH, image sequences)
// would open further files or addresses, so they are refused, and no protocol is available to
// open anything else. Reading gives up at the deadline or when `stop` is requested.
class AvInput
{
public:
    using Clock = std::chrono::steady_clock;

    struct Options
    {
        Clock::time_point deadline;
        std::stop_token stop;
        // Bytes the format probe and the stream analysis may read; 0 keeps FFmpeg's default.
        qint64 probeBytes = 0;
    };

    // Opens `path` (a regular file, never through a symbolic link).
    AvInput(const QByteArray &path, Options options);
    ~AvInput();
    AvInput(const AvInput &) = delete;
    AvInput &operator=(const AvInput &) = delete;

    // Null when the file could not be opened or is not in an accepted format.
    AVFormatContext *format() const { return m_format; }

    // The demuxer names accepted, as FFmpeg's format_whitelist takes them.
    static const char *containerFormats();

private:
    struct Source;

    Options m_options;
    Source *m_source = nullptr;
    AVIOContext *m_io = nullptr;
    AVFormatContext *m_format = nullptr;
};
