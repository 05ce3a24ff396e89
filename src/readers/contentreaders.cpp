#include "readers/contentreaders.h"

#include "readers/readerpool.h"

namespace {

using Status = ReaderResponse::Status;

ReaderRequest fileRequest(ReaderTask task, const QByteArray &path, FileKind kind = FileKind::other, int edge = 0)
{
    ReaderRequest request;
    request.task = task;
    request.path = path;
    request.kind = kind;
    request.edge = edge;
    return request;
}

// Texts in one batch on `pool`: the interactive pool for a file someone is looking at, the shared
// one for the background index, so a preview never waits behind a long indexing run.
QList<std::optional<TextExtraction>> readTexts(ReaderPool &pool, const QList<FileRecord> &records, std::stop_token stop)
{
    QList<ReaderRequest> batch;
    batch.reserve(records.size());
    for (const FileRecord &record : records) {
        ReaderRequest request = fileRequest(ReaderTask::text, record.path, record.kind);
        request.size = record.size;
        request.cloudOnly = record.isCloudOnly;
        request.package = record.isPackage;
        request.capturedText = record.spotlightText;
        batch.append(request);
    }
    QList<std::optional<TextExtraction>> results;
    results.reserve(records.size());
    for (const ReaderResponse &response : pool.run(batch, std::move(stop))) {
        if (response.status == Status::done)
            results.append(TextExtraction { response.text, response.partial, response.error });
        else if (response.status == Status::cancelled)
            results.append(std::nullopt);
        else
            results.append(TextExtraction::failure(response.error.value_or(QStringLiteral("The file could not be read"))));
    }
    return results;
}

} // namespace

namespace ContentReaders {

TextExtraction extractText(const FileRecord &record, std::stop_token stop)
{
    return readTexts(ReaderPool::interactive(), { record }, std::move(stop))
        .constFirst()
        .value_or(TextExtraction::failure(QStringLiteral("Reading was cancelled")));
}

QList<std::optional<TextExtraction>> extractTexts(const QList<FileRecord> &records, std::stop_token stop)
{
    return readTexts(ReaderPool::shared(), records, std::move(stop));
}

Thumbnail thumbnail(const QByteArray &path, FileKind kind, int edge, std::stop_token stop, Need need)
{
    ReaderPool &pool = need == Need::shown ? ReaderPool::interactive() : ReaderPool::shared();
    const ReaderResponse response = pool.run(fileRequest(ReaderTask::thumbnail, path, kind, edge), stop);
    Thumbnail result;
    switch (response.status) {
    case Status::done:
        result.outcome = response.image.isNull() ? Thumbnail::Outcome::failed : Thumbnail::Outcome::made;
        result.image = response.image;
        break;
    case Status::unsupported:
        result.outcome = Thumbnail::Outcome::unsupported;
        break;
    case Status::cancelled:
        result.outcome = Thumbnail::Outcome::cancelled;
        break;
    case Status::unavailable:
        // Not this file's fault: nothing is recorded against it.
        result.outcome = Thumbnail::Outcome::unsupported;
        break;
    default:
        // A crash or overrun counts as a failure of this file in this state.
        result.outcome = stop.stop_requested() ? Thumbnail::Outcome::cancelled : Thumbnail::Outcome::failed;
        break;
    }
    return result;
}

std::optional<QImage> printImage(const QByteArray &path, int longestSide, std::stop_token stop)
{
    const ReaderResponse response
        = ReaderPool::shared().run(fileRequest(ReaderTask::print, path, FileKind::images, longestSide), std::move(stop));
    if (response.status != Status::done || response.image.isNull())
        return std::nullopt;
    return response.image;
}

QList<MediaFacts> mediaFacts(const QList<std::pair<QByteArray, FileKind>> &files, std::stop_token stop)
{
    QList<ReaderRequest> batch;
    batch.reserve(files.size());
    for (const auto &[path, kind] : files)
        batch.append(fileRequest(ReaderTask::media, path, kind));
    // Beside the index, not in the way of what is on screen (a scan reads these for every new
    // picture and recording, from several threads at once), but ahead of the index's batches:
    // new files wait for these before they are shown.
    const QList<ReaderResponse> responses
        = ReaderPool::shared().run(batch, std::move(stop), ReaderPool::Precedence::ahead);
    QList<MediaFacts> facts;
    facts.reserve(responses.size());
    for (const ReaderResponse &response : responses)
        facts.append(response.status == Status::done ? response.facts : MediaFacts());
    return facts;
}

std::optional<QList<QSizeF>> pdfPageSizes(const QByteArray &path)
{
    const ReaderResponse response = ReaderPool::interactive().run(fileRequest(ReaderTask::pdfPages, path, FileKind::documents));
    if (response.status != Status::done)
        return std::nullopt;
    return response.pageSizes;
}

QImage pdfPage(const QByteArray &path, int index, int width)
{
    ReaderRequest request = fileRequest(ReaderTask::pdfPage, path, FileKind::documents, width);
    request.page = index;
    const ReaderResponse response = ReaderPool::interactive().run(request);
    return response.status == Status::done ? response.image : QImage();
}

PreviewFrames previewFrames(const QByteArray &path, int edge, int first, std::stop_token stop)
{
    ReaderRequest request = fileRequest(ReaderTask::image, path, FileKind::images, edge);
    request.page = first;
    ReaderResponse response = ReaderPool::interactive().run(request, std::move(stop));
    if (response.status != Status::done)
        return {};
    return { std::move(response.frames), response.partial };
}

bool playable(const QByteArray &path, std::stop_token stop)
{
    return ReaderPool::interactive().run(fileRequest(ReaderTask::playable, path), std::move(stop)).status
        == Status::done;
}

QString protections()
{
    ReaderRequest request;
    request.task = ReaderTask::protections;
    const ReaderResponse response = ReaderPool::shared().run(request);
    return response.status == Status::done ? response.text : response.error.value_or(QString());
}

QString confinementSummary()
{
    const SandboxProtections offered = SandboxSupport::available();
    for (const ReaderPool *pool : { &ReaderPool::interactive(), &ReaderPool::shared() }) {
        if (pool->health() == ReaderPool::Health::failing)
            return QStringLiteral("File contents are not read: the file reader stops before it can answer");
    }
    const bool unconfined = ReaderPool::interactive().health() == ReaderPool::Health::unconfined
        || ReaderPool::shared().health() == ReaderPool::Health::unconfined;
    if (unconfined || !offered.seccomp || !offered.noNewPrivileges)
        return QStringLiteral("File contents are not read: this system cannot confine the readers");
    QString summary
        = QStringLiteral("File contents are read in separate processes confined by: %1").arg(offered.describe());
    if (offered.landlockAbi == 0)
        summary
            += QStringLiteral(" (Landlock absent: a reader taken over by a hostile file could read any of your files)");
    return summary;
}

} // namespace ContentReaders
