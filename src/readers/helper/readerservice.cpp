#include "readers/helper/readerservice.h"

#include "analysis/similar/featureprint.h"
#include "analysis/similar/thumbnailloader.h"
#include "analysis/text/contentreader.h"
#include "analysis/thumbnails/thumbnailgenerator.h"
#include "library/media/avmetadatareader.h"
#include "library/media/imagemetadatareader.h"
#include "platform/lentfiles.h"
#include "platform/regularfile.h"
#include "readers/helper/mediaprobe.h"
#include "readers/helper/pdfpages.h"
#include "readers/helper/previewframes.h"
#include "readers/readerchannel.h"
#include "readers/readercodec.h"
#include "readers/readerreplylimits.h"

#include <QThread>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

extern char **environ;

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

// What a compromised reader could do with the file it was lent, for tests: each attempt as
// "name:ok" or "name:refused". Only attempts the sandbox answers with an error are made here;
// calls it refuses outright stop the helper (testForbidden).
ReaderResponse probe(const ReaderRequest &request)
{
    const auto outcome = [](const char *name, int fd) -> QString {
        if (fd >= 0)
            ::close(fd);
        return QString::fromLatin1(name) + (fd >= 0 ? QStringLiteral(":ok") : QStringLiteral(":refused"));
    };
    QStringList outcomes;
    outcomes << outcome("write", ::open(request.path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    const RegularFile lent(request.path);
    const QByteArray reopened = "/proc/self/fd/" + QByteArray::number(lent.fd());
    outcomes << outcome("truncate", ::open(reopened.constData(), O_RDONLY | O_TRUNC | O_CLOEXEC));
    outcomes << outcome("read-path", ::open(request.path.constData(), O_RDONLY | O_CLOEXEC));
    char byte = 0;
    outcomes << outcome("read-lent", lent.isOpen() && ::pread(lent.fd(), &byte, 1, 0) == 1 ? ::dup(lent.fd()) : -1);
    outcomes << outcome("read-other", ::open(request.capturedText.toUtf8().constData(), O_RDONLY | O_CLOEXEC));
    ReaderResponse response = ReaderResponse::withStatus(Status::done);
    response.text = outcomes.join(u' ');
    return response;
}

ReaderResponse oversized(const ReaderRequest &request)
{
    ReaderResponse response = ReaderResponse::withStatus(Status::done);
    if (request.capturedText == QLatin1String("text")) {
        response.text = QString(ReaderReplyLimits::kTextCharacters + 1, u'a');
    } else {
        response.image = QImage(request.edge * 2, request.edge * 2, QImage::Format_RGB32);
        response.image.fill(Qt::gray);
    }
    return response;
}

// "612x792 nan x0": one size per blank-separated pair, "nan" and "inf" as such.
ReaderResponse pageSizes(const ReaderRequest &request)
{
    ReaderResponse response = ReaderResponse::withStatus(Status::done);
    for (const QString &pair : request.capturedText.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList sides = pair.split(u'x');
        const auto side = [&](int at) { return at < sides.size() ? sides[at].toDouble() : 0.0; };
        const double width = sides.value(0) == QLatin1String("nan") ? std::nan("") : side(0);
        const double height = sides.value(1) == QLatin1String("inf") ? HUGE_VAL : side(1);
        response.pageSizes.append(QSizeF(width, height));
    }
    return response;
}

void forbidden(const QString &call)
{
    if (call == QLatin1String("execve")) {
        char *const arguments[] = { const_cast<char *>("true"), nullptr };
        ::execve("/bin/true", arguments, environ);
    } else if (call == QLatin1String("socket")) {
        ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    } else if (call == QLatin1String("ptrace")) {
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    } else if (call == QLatin1String("fork")) {
        if (::fork() == 0)
            ::_exit(0);
    }
}

} // namespace

ReaderService::ReaderService(int socket, bool testing, SandboxProtections confinement)
    : m_socket(socket)
    , m_testing(testing)
    , m_confinement(confinement)
{ }

int ReaderService::run()
{
    std::thread receiver([this] { receive(); });
    ReaderChannel channel(m_socket);
    bool writable = true;
    while (std::optional<Queued> queued = next()) {
        if (queued->file.isValid())
            LentFiles::lend(queued->request.path, queued->file.release());
        const ReaderResponse response = handle(queued->request, m_currentStop.get_token());
        LentFiles::returnAll();
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
    ReaderChannel channel(m_socket, ReaderChannel::Files::accepted);
    for (;;) {
        QByteArray payload;
        const ReaderChannel::Outcome outcome = channel.receive(&payload);
        std::optional<ReaderCodec::Request> decoded;
        UniqueFd file;
        if (outcome == ReaderChannel::Outcome::message)
            decoded = ReaderCodec::decodeRequest(payload);
        if (decoded && decoded->withFile) {
            file = channel.takeFile();
            if (!file.isValid())
                decoded.reset();
        }
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
        m_queue.push_back(Queued { decoded->id, std::move(decoded->request), std::move(file) });
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
        const std::optional<QImage> image
            = ThumbnailLoader::loadReduced(request.path, request.edge, FeaturePrint::kSourceSide);
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
    case ReaderTask::image: {
        std::optional<PreviewFrames::Chunk> chunk
            = PreviewFrames::read(request.path, request.edge, request.page, ReaderReplyLimits::kAnimationBytes, stop);
        ReaderResponse response = ReaderResponse::withStatus(chunk ? Status::done : Status::failed);
        if (chunk) {
            response.frames = std::move(chunk->frames);
            response.partial = chunk->more;
        }
        return response;
    }
    case ReaderTask::playable:
        return ReaderResponse::withStatus(MediaProbe::playable(request.path, stop) ? Status::done : Status::failed);
    case ReaderTask::protections: {
        ReaderResponse response = ReaderResponse::withStatus(Status::done);
        response.confinement = m_confinement;
        response.text = m_confinement.describe();
        return response;
    }
    case ReaderTask::cancel:
        break;
    case ReaderTask::testCrash:
    case ReaderTask::testHang:
    case ReaderTask::testProbe:
    case ReaderTask::testOversized:
    case ReaderTask::testPageSizes:
    case ReaderTask::testForbidden:
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
    case ReaderTask::testOversized:
        return oversized(request);
    case ReaderTask::testPageSizes:
        return pageSizes(request);
    case ReaderTask::testForbidden:
        forbidden(request.capturedText);
        return ReaderResponse::withStatus(Status::failed, QStringLiteral("The call was let through"));
    default:
        return ReaderResponse::withStatus(Status::unsupported);
    }
}
