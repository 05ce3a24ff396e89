// libFuzzer target: what a helper sends the application. The first byte picks the request the
// answer is matched against; the rest goes through the framing (as one stream over a socket
// pair, read with that request's cap) and each message through the reply decoder and the bounds
// check. Nothing may crash, no message may exceed its cap, and whatever decodes must encode and
// decode again to the same bytes.
#include "readers/readerchannel.h"
#include "readers/readercodec.h"
#include "readers/readerreplylimits.h"

#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr ReaderTask kTasks[] = { ReaderTask::text, ReaderTask::thumbnail, ReaderTask::print, ReaderTask::media,
    ReaderTask::pdfPages, ReaderTask::pdfPage, ReaderTask::image, ReaderTask::playable };

void check(const ReaderRequest &request, QByteArrayView payload)
{
    const std::optional<ReaderCodec::Response> decoded = ReaderCodec::decodeResponse(payload);
    if (!decoded)
        return;
    ReaderReplyLimits::accepts(request, decoded->response);
    const QByteArray once = ReaderCodec::encode(decoded->id, decoded->response);
    const std::optional<ReaderCodec::Response> again = ReaderCodec::decodeResponse(once);
    if (!again || ReaderCodec::encode(again->id, again->response) != once)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    ReaderRequest request;
    request.task = kTasks[data[0] % std::size(kTasks)];
    request.edge = 1 + data[0] / std::size(kTasks);
    const QByteArrayView stream(data + 1, qsizetype(size - 1));
    check(request, stream);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    // The whole stream, then the end: the reader sees every message and then the close.
    if (::send(pair[1], stream.data(), size_t(stream.size()), MSG_DONTWAIT) == stream.size()) {
        ::close(pair[1]);
        ReaderChannel channel(pair[0]);
        const quint32 cap = ReaderReplyLimits::payloadCap(request);
        for (;;) {
            QByteArray payload;
            if (channel.receive(&payload, ReaderChannel::Clock::now(), cap) != ReaderChannel::Outcome::message)
                break;
            if (quint32(payload.size()) > cap)
                std::abort();
            check(request, payload);
        }
    } else {
        ::close(pair[1]);
    }
    ::close(pair[0]);
    return 0;
}
