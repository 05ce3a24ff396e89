#pragma once

#include "readers/readerrequest.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The helper's wire format: each message is a little-endian 32-bit length followed by that many
// bytes of payload. A payload starts with the request id; strings and byte strings are a 32-bit
// length and their bytes (paths exactly as the file system gave them), images their size,
// format and packed rows. A request that reads a file says so, and the file's descriptor comes
// with the message. Decoding checks every length against what is left, so a short or forged
// message is refused rather than read past. The helper's first message, before any request, is
// a response with id 0 that reports its confinement.
namespace ReaderCodec {

inline constexpr quint32 kMaxPayload = 256u * 1024 * 1024;
// The largest side of an image that crosses the socket.
inline constexpr int kMaxImageSide = 16'384;

struct Request
{
    quint32 id = 0;
    ReaderRequest request;
    // A descriptor of the file to read comes with the message.
    bool withFile = false;
};

struct Response
{
    quint32 id = 0;
    ReaderResponse response;
};

QByteArray encode(quint32 id, const ReaderRequest &request, bool withFile = false);
QByteArray encode(quint32 id, const ReaderResponse &response);
std::optional<Request> decodeRequest(QByteArrayView payload);
std::optional<Response> decodeResponse(QByteArrayView payload);

// The length prefix of a message whose payload is `payloadSize` bytes.
QByteArray frameHeader(quint32 payloadSize);
// The payload length announced by a 4-byte header; absent when it exceeds kMaxPayload.
std::optional<quint32> payloadSize(QByteArrayView header);

} // namespace ReaderCodec
