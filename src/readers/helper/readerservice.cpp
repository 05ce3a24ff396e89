#include "readers/helper/readerservice.h"

#include "analysis/similar/thumbnailloader.h"
#include "analysis/text/contentreader.h"
#include "analysis/thumbnails/imagethumbnailer.h"
#include "analysis/thumbnails/thumbnailgenerator.h"
#include "library/media/avmetadatareader.h"
#include "library/media/imagemetadatareader.h"
#include "readers/helper/pdfpages.h"
#include "readers/readerchannel.h"
#include "readers/readercodec.h"

#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using Status = ReaderResponse::Status;

namespace {

ReaderResponse withImage(const QImage &image)
{
    ReaderResponse response = ReaderResponse::withStatus(image.isNull() ? Status::failed : Status::done);
    response.image = image;
    return response;
}

ReaderResponse readText(const ReaderRequest &request, std::stop_token stop)
{
    FileRecord record;
    record.path = request.path;
    record.kind = request.kind;
    record.size = request.size;
    record.isCloudOnly = request.cloudOnly;
    record.isPackage = request.package;
    record.spotlightText = request.capturedText;
    const TextExtraction extraction = ContentReader::extract(record, stop);
    ReaderResponse response = ReaderResponse::withStatus(stop.stop_requested() ? Status::cancelled : Status::done);
    response.text = extraction.text;
    response.partial = extraction.partial;
    response.error = extraction.error;
    return response;
}

ReaderResponse makeThumbnail(const ReaderRequest &request, std::stop_token stop)
{
    ThumbnailGenerator::Result made = ThumbnailGenerator::make(request.path, request.kind, request.edge, stop);
    switch (made.outcome) {
    case ThumbnailGenerator::Outcome::made:
        return withImage(made.image);
    case ThumbnailGenerator::Outcome::failed:
        return ReaderResponse::withStatus(Status::failed);
    case ThumbnailGenerator::Outcome::cancelled:
        return ReaderResponse::withStatus(Status::cancelled);
    case ThumbnailGenerator::Outcome::unsupported:
        break;
    }
    return ReaderResponse::withStatus(Status::unsupported);
}

ReaderResponse readMedia(const ReaderRequest &request)
{
    ReaderResponse response = ReaderResponse::withStatus(Status::done);
    switch (request.kind) {
    case FileKind::images:
        response.facts = ImageMetadataReader::read(request.path);
        break;
    case FileKind::videos:
    case FileKind::music:
        response.facts = AvMetadataReader::read(request.path);
        break;
    default:
        response.status = Status::unsupported;
        break;
    }
    return response;
}

// What the sandbox lets through, for tests: each attempt as "name:ok" or "name:refused".
ReaderResponse probe(const ReaderRequest &request)
{
    QStringList outcomes;
    const int written = ::open(request.path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    outcomes << (written >= 0 ? QStringLiteral("write:ok") : QStringLiteral("write:refused"));
    if (written >= 0)
        ::close(written);
    const int unixSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int inetSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    outcomes << (unixSocket >= 0 || inetSocket >= 0 ? QStringLiteral("socket:ok") : QStringLiteral("socket:refused"));
    for (const int fd : { unixSocket, inetSocket }) {
        if (fd >= 0)
            ::close(fd);
    }
    const int read = ::open(request.capturedText.toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    outcomes << (read >= 0 ? QStringLiteral("read:ok") : QStringLiteral("read:refused"));
    if (read >= 0)
        ::close(read);
    ReaderResponse response = ReaderResponse::withStatus(Status::done);
    response.text = outcomes.join(u' ');
    return response;
}

} // namespace

ReaderService::ReaderService(int socket, bool testing, QString protections)
    : m_socket(socket), m_testing(testing), m_protections(std::move(protections))
{ }

int ReaderService::run()
{
    std::thread receiver([this] { receive(); });
    ReaderChannel channel(m_socket);
    bool writable = true;
    while (const std::optional<Queued> queued = next()) {
        const ReaderResponse response = handle(queued->request, m_currentStop.get_token());
        {
            std::lock_guard lock(m_mutex);
            m_current = 0;
        }
        if (writable && !channel.send(ReaderCodec::encode(queued->id, response)))
            writable = false;
    }
    receiver.join();
    return 0;
}

void ReaderService::receive()
{
    ReaderChannel channel(m_socket);
    for (;;) {
        QByteArray payload;
        const ReaderChannel::Outcome outcome = channel.receive(&payload);
        std::optional<ReaderCodec::Request> decoded;
        if (outcome == ReaderChannel::Outcome::message)
            decoded = ReaderCodec::decodeRequest(payload);
        std::lock_guard lock(m_mutex);
        if (!decoded) {
            // Closed, broken or garbled: nothing more can be trusted to come.
            m_closed = true;
            m_currentStop.request_stop();
            m_arrived.notify_all();
            return;
        }
        if (decoded->request.task == ReaderTask::cancel) {
            const quint32 id = quint32(decoded->request.page);
            if (id == m_current)
                m_currentStop.request_stop();
            else
                m_cancelled.insert(id);
            continue;
        }
        m_queue.push_back(Queued { decoded->id, std::move(decoded->request) });
        m_arrived.notify_all();
    }
}

std::optional<ReaderService::Queued> ReaderService::next()
{
    std::unique_lock lock(m_mutex);
    m_arrived.wait(lock, [this] { return !m_queue.empty() || m_closed; });
    if (m_closed)
        return std::nullopt;
    Queued queued = std::move(m_queue.front());
    m_queue.pop_front();
    m_currentStop = std::stop_source();
    m_current = queued.id;
    if (m_cancelled.erase(queued.id) > 0)
        m_currentStop.request_stop();
    return queued;
}

ReaderResponse ReaderService::handle(const ReaderRequest &request, std::stop_token stop) const
{
    if (stop.stop_requested())
        return ReaderResponse::withStatus(Status::cancelled);
    switch (request.task) {
    case ReaderTask::text:
        return readText(request, stop);
    case ReaderTask::thumbnail:
        return makeThumbnail(request, stop);
    case ReaderTask::print: {
        const std::optional<QImage> image = ThumbnailLoader::load(request.path, request.edge);
        return withImage(image.value_or(QImage()));
    }
    case ReaderTask::media:
        return readMedia(request);
    case ReaderTask::pdfPages: {
        const std::optional<QList<QSizeF>> sizes = PdfPages::sizes(request.path);
        ReaderResponse response = ReaderResponse::withStatus(sizes ? Status::done : Status::failed);
        response.pageSizes = sizes.value_or(QList<QSizeF>());
        return response;
    }
    case ReaderTask::pdfPage:
        return withImage(PdfPages::render(request.path, request.page, request.edge));
    case ReaderTask::image:
        return withImage(ImageThumbnailer::make(request.path, request.edge));
    case ReaderTask::protections: {
        ReaderResponse response = ReaderResponse::withStatus(Status::done);
        response.text = m_protections;
        return response;
    }
    case ReaderTask::cancel:
        break;
    case ReaderTask::testCrash:
    case ReaderTask::testHang:
    case ReaderTask::testProbe:
        if (m_testing)
            return handleTest(request);
        break;
    }
    return ReaderResponse::withStatus(Status::unsupported);
}

ReaderResponse ReaderService::handleTest(const ReaderRequest &request) const
{
    switch (request.task) {
    case ReaderTask::testCrash:
        __builtin_trap();
    case ReaderTask::testHang:
        for (;;)
            QThread::sleep(1);
    case ReaderTask::testProbe:
        return probe(request);
    default:
        return ReaderResponse::withStatus(Status::unsupported);
    }
}
