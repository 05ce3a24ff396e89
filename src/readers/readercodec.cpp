#include "readers/readercodec.h"

#include <QtEndian>

#include <climits>
#include <cstring>

namespace {

class Writer
{
public:
    void u8(quint8 value) { m_bytes.append(char(value)); }
    void u32(quint32 value)
    {
        char raw[4];
        qToLittleEndian(value, raw);
        m_bytes.append(raw, 4);
    }
    void i64(qint64 value)
    {
        char raw[8];
        qToLittleEndian(value, raw);
        m_bytes.append(raw, 8);
    }
    void f64(double value)
    {
        qint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        i64(bits);
    }
    void bytes(QByteArrayView value)
    {
        u32(quint32(value.size()));
        m_bytes.append(value.data(), value.size());
    }
    void string(const QString &value) { bytes(value.toUtf8()); }
    void optionalString(const std::optional<QString> &value)
    {
        u8(value ? 1 : 0);
        if (value)
            string(*value);
    }
    void image(const QImage &value)
    {
        if (value.isNull()) {
            u32(0);
            u32(0);
            return;
        }
        const QImage packed = value.format() == QImage::Format_Grayscale8 || value.format() == QImage::Format_RGB32
                || value.format() == QImage::Format_ARGB32_Premultiplied
            ? value
            : value.convertToFormat(value.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        u32(quint32(packed.width()));
        u32(quint32(packed.height()));
        u8(quint8(packed.format()));
        const qsizetype rowBytes = qsizetype(packed.width()) * (packed.depth() / 8);
        for (int y = 0; y < packed.height(); ++y)
            m_bytes.append(reinterpret_cast<const char *>(packed.constScanLine(y)), rowBytes);
    }
    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) { }

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_bytes.size(); }

    quint8 u8()
    {
        const QByteArrayView raw = take(1);
        return raw.isEmpty() ? 0 : quint8(raw[0]);
    }
    quint32 u32()
    {
        const QByteArrayView raw = take(4);
        return raw.size() == 4 ? qFromLittleEndian<quint32>(raw.data()) : 0;
    }
    qint64 i64()
    {
        const QByteArrayView raw = take(8);
        return raw.size() == 8 ? qFromLittleEndian<qint64>(raw.data()) : 0;
    }
    double f64()
    {
        const qint64 bits = i64();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    QByteArray bytes() { return take(u32()).toByteArray(); }
    QString string() { return QString::fromUtf8(take(u32())); }
    std::optional<QString> optionalString()
    {
        if (u8() == 0)
            return std::nullopt;
        return string();
    }
    QImage image()
    {
        const quint32 width = u32();
        const quint32 height = u32();
        if (width == 0 || height == 0)
            return QImage();
        // Compared as a number: a byte outside the enumeration is no QImage::Format value.
        const quint8 formatByte = u8();
        if (width > quint32(ReaderCodec::kMaxImageSide) || height > quint32(ReaderCodec::kMaxImageSide)
            || (formatByte != QImage::Format_Grayscale8 && formatByte != QImage::Format_RGB32
                && formatByte != QImage::Format_ARGB32_Premultiplied)) {
            m_ok = false;
            return QImage();
        }
        const auto format = QImage::Format(formatByte);
        const int depth = format == QImage::Format_Grayscale8 ? 1 : 4;
        // Checked before allocating: a forged size must not cost the memory it claims.
        if (qint64(width) * depth * height > m_bytes.size() - m_at) {
            m_ok = false;
            return QImage();
        }
        QImage image(int(width), int(height), format);
        if (image.isNull()) {
            m_ok = false;
            return QImage();
        }
        const qsizetype rowBytes = qsizetype(width) * depth;
        for (int y = 0; y < image.height(); ++y) {
            const QByteArrayView row = take(rowBytes);
            std::memcpy(image.scanLine(y), row.data(), size_t(rowBytes));
        }
        return image;
    }

private:
    QByteArrayView take(qsizetype count)
    {
        if (!m_ok || count < 0 || count > m_bytes.size() - m_at) {
            m_ok = false;
            return {};
        }
        const QByteArrayView part = m_bytes.sliced(m_at, count);
        m_at += count;
        return part;
    }

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

bool isKnownTask(quint8 task)
{
    return (task >= quint8(ReaderTask::text) && task <= quint8(ReaderTask::playable))
        || (task >= quint8(ReaderTask::testCrash) && task <= quint8(ReaderTask::testForbidden));
}

constexpr quint8 kCloudOnly = 1;
constexpr quint8 kPackage = 2;
constexpr quint8 kWithFile = 4;

// Confinement in two bytes: the Landlock ABI and one bit per other protection.
constexpr quint8 kSeccomp = 1;
constexpr quint8 kNoNewPrivileges = 2;
constexpr quint8 kResourceLimits = 4;

} // namespace

namespace ReaderCodec {

QByteArray encode(quint32 id, const ReaderRequest &request, bool withFile)
{
    Writer out;
    out.u32(id);
    out.u8(quint8(request.task));
    out.bytes(request.path);
    out.u8(quint8(FileKind::Value(request.kind)));
    out.i64(request.size);
    out.u8(
        quint8((request.cloudOnly ? kCloudOnly : 0) | (request.package ? kPackage : 0) | (withFile ? kWithFile : 0)));
    out.string(request.capturedText);
    out.u32(quint32(request.edge));
    out.u32(quint32(request.page));
    return out.take();
}

std::optional<Request> decodeRequest(QByteArrayView payload)
{
    Reader in(payload);
    Request decoded;
    decoded.id = in.u32();
    const quint8 task = in.u8();
    ReaderRequest &request = decoded.request;
    request.path = in.bytes();
    const quint8 kind = in.u8();
    request.size = in.i64();
    const quint8 flags = in.u8();
    request.capturedText = in.string();
    request.edge = int(in.u32());
    request.page = int(in.u32());
    if (!in.ok() || !in.atEnd() || !isKnownTask(task) || kind > quint8(FileKind::other) || request.edge < 0
        || request.page < 0)
        return std::nullopt;
    request.task = ReaderTask(task);
    request.kind = FileKind::Value(kind);
    request.cloudOnly = flags & kCloudOnly;
    request.package = flags & kPackage;
    decoded.withFile = flags & kWithFile;
    return decoded;
}

QByteArray encode(quint32 id, const ReaderResponse &response)
{
    Writer out;
    out.u32(id);
    out.u8(quint8(response.status));
    out.string(response.text);
    out.u8(response.partial ? 1 : 0);
    out.optionalString(response.error);
    out.image(response.image);
    out.optionalString(response.facts.camera);
    out.optionalString(response.facts.dimensions);
    out.u8(response.facts.duration ? 1 : 0);
    if (response.facts.duration)
        out.f64(*response.facts.duration);
    out.u32(quint32(response.pageSizes.size()));
    for (const QSizeF &size : response.pageSizes) {
        out.f64(size.width());
        out.f64(size.height());
    }
    out.u32(quint32(response.frames.size()));
    for (const AnimationFrame &frame : response.frames) {
        out.u32(quint32(frame.delayMs));
        out.image(frame.image);
    }
    const SandboxProtections &confinement = response.confinement;
    out.u8(quint8(confinement.landlockAbi));
    out.u8(quint8((confinement.seccomp ? kSeccomp : 0) | (confinement.noNewPrivileges ? kNoNewPrivileges : 0)
        | (confinement.resourceLimits ? kResourceLimits : 0)));
    return out.take();
}

std::optional<Response> decodeResponse(QByteArrayView payload)
{
    Reader in(payload);
    Response decoded;
    decoded.id = in.u32();
    const quint8 status = in.u8();
    ReaderResponse &response = decoded.response;
    response.text = in.string();
    response.partial = in.u8() != 0;
    response.error = in.optionalString();
    response.image = in.image();
    response.facts.camera = in.optionalString();
    response.facts.dimensions = in.optionalString();
    if (in.u8() != 0)
        response.facts.duration = in.f64();
    const quint32 pages = in.u32();
    // Each page takes 16 bytes, so a count beyond what is left is a forged one.
    if (!in.ok() || pages > payload.size() / 16)
        return std::nullopt;
    for (quint32 i = 0; i < pages; ++i) {
        const double width = in.f64();
        const double height = in.f64();
        response.pageSizes.append(QSizeF(width, height));
    }
    const quint32 frames = in.u32();
    // Each frame takes at least 12 bytes (delay, width, height).
    if (!in.ok() || frames > payload.size() / 12)
        return std::nullopt;
    for (quint32 i = 0; i < frames && in.ok(); ++i) {
        AnimationFrame frame;
        frame.delayMs = int(std::min<quint32>(in.u32(), INT_MAX));
        frame.image = in.image();
        response.frames.append(std::move(frame));
    }
    response.confinement.landlockAbi = in.u8();
    const quint8 protections = in.u8();
    response.confinement.seccomp = protections & kSeccomp;
    response.confinement.noNewPrivileges = protections & kNoNewPrivileges;
    response.confinement.resourceLimits = protections & kResourceLimits;
    if (!in.ok() || !in.atEnd() || status > quint8(ReaderResponse::Status::unavailable))
        return std::nullopt;
    response.status = ReaderResponse::Status(status);
    return decoded;
}

QByteArray frameHeader(quint32 payloadSize)
{
    char raw[4];
    qToLittleEndian(payloadSize, raw);
    return QByteArray(raw, 4);
}

std::optional<quint32> payloadSize(QByteArrayView header)
{
    if (header.size() != 4)
        return std::nullopt;
    const quint32 size = qFromLittleEndian<quint32>(header.data());
    if (size > kMaxPayload)
        return std::nullopt;
    return size;
}

} // namespace ReaderCodec
