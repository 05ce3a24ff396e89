// Hostile files among good ones, through every kind of reading the helpers do: the test
// process survives, every good file in the same batch is still read, and no hostile file
// yields a picture it does not hold.

#include "analysis/thumbnails/videothumbnailer.h"
#include "readers/contentreaders.h"
#include "readers/readerpool.h"
#include "support/hostilefiles.h"
#include "support/testtree.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using Status = ReaderResponse::Status;

namespace {

FileKind kindOf(int kind)
{
    switch (kind) {
    case HostileFiles::ImageKind:
        return FileKind::images;
    case HostileFiles::VideoKind:
        return FileKind::videos;
    default:
        return FileKind::documents;
    }
}

} // namespace

class HostileCorpusTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_cache;
    TestTree m_tree;
    QList<ReaderRequest> m_files; // hostile and good, interleaved
    QList<bool> m_good;

    ReaderResponse goodOne(const QList<ReaderResponse> &responses, const QByteArray &name) const
    {
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            if (m_files[i].path.endsWith(QByteArray("/" + name)))
                return responses[i];
        }
        return {};
    }

    QList<ReaderResponse> runAll(ReaderTask task, int edge = 0)
    {
        QList<ReaderRequest> batch = m_files;
        for (ReaderRequest &request : batch) {
            request.task = task;
            request.edge = edge;
        }
        return ReaderPool::shared().run(batch);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The pools remember faulty files in the cache folder.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        const QList<HostileFiles::File> hostile = HostileFiles::hostile();
        const QList<HostileFiles::File> good = HostileFiles::good();
        for (qsizetype i = 0; i < std::max(hostile.size(), good.size()); ++i) {
            for (const auto &[list, isGood] : { std::pair(&hostile, false), std::pair(&good, true) }) {
                if (i >= list->size())
                    continue;
                const HostileFiles::File &file = list->at(i);
                ReaderRequest request;
                request.path = m_tree.file(file.name, file.contents);
                request.kind = kindOf(file.kind);
                request.size = file.contents.size();
                m_files.append(request);
                m_good.append(isGood);
            }
        }
    }

    void text()
    {
        const QList<ReaderResponse> responses = runAll(ReaderTask::text);
        QCOMPARE(responses.size(), m_files.size());
        QVERIFY(goodOne(responses, "good-text.pdf").text.contains(QStringLiteral("Quiet harbour evening")));
        QCOMPARE(goodOne(responses, "good-notes.txt").text.trimmed(), QStringLiteral("plain words for the index"));
        QVERIFY(goodOne(responses, "good-letter.docx").text.contains(QStringLiteral("Dear reader")));
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            // A bomb must not come back as a gigabyte of text.
            QVERIFY2(responses[i].text.size() <= 1'000'000, m_files[i].path.constData());
        }
    }

    void thumbnailsAndPictures_data()
    {
        QTest::addColumn<int>("task");
        QTest::newRow("thumbnail") << int(ReaderTask::thumbnail);
        QTest::newRow("look-alike print") << int(ReaderTask::print);
        QTest::newRow("preview picture") << int(ReaderTask::image);
    }
    void thumbnailsAndPictures()
    {
        QFETCH(int, task);
        const QList<ReaderResponse> responses = runAll(ReaderTask(task), 256);
        // The preview's pictures come as frames, the others as one image.
        const auto picture = [](const ReaderResponse &response) {
            return response.frames.isEmpty() ? response.image : response.frames.constFirst().image;
        };
        QCOMPARE(goodOne(responses, "good-picture.png").status, Status::done);
        QCOMPARE(picture(goodOne(responses, "good-picture.png")).size(), QSize(64, 48));
        if (ReaderTask(task) == ReaderTask::thumbnail)
            QVERIFY(!goodOne(responses, "good-text.pdf").image.isNull());
        for (const char *name : { "huge-dimensions.png", "huge-dimensions.jpg", "broken-directory.tif" }) {
            const ReaderResponse response = goodOne(responses, name);
            QVERIFY2(response.status != Status::done || picture(response).width() <= 256, name);
        }
    }

    // A playlist named like a video makes no thumbnail of the video it points at, in the helper
    // or here: its format is not among those read.
    void playlistPosingAsVideo()
    {
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty())
            QSKIP("ffmpeg is not installed");
        const QByteArray segment = m_tree.path("elsewhere/segment.ts");
        m_tree.folder("elsewhere");
        QProcess encoder;
        encoder.start(ffmpeg,
            { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                QStringLiteral("-i"), QStringLiteral("testsrc=size=64x48:rate=10:duration=1"), QStringLiteral("-c:v"),
                QStringLiteral("mpeg2video"), QStringLiteral("-f"), QStringLiteral("mpegts"),
                QFile::decodeName(segment) });
        QVERIFY(encoder.waitForFinished(60'000));
        QCOMPARE(encoder.exitCode(), 0);
        const QByteArray playlist = m_tree.file("playlist-as-mp4.mp4", HostileFiles::playlist(segment));

        QCOMPARE(
            ContentReaders::thumbnail(segment, FileKind::videos, 64).outcome, ContentReaders::Thumbnail::Outcome::made);
        QCOMPARE(ContentReaders::thumbnail(playlist, FileKind::videos, 64).outcome,
            ContentReaders::Thumbnail::Outcome::failed);
        QVERIFY(!ContentReaders::playable(playlist));
        QVERIFY(VideoThumbnailer::make(playlist, 64).isNull());
    }

    void mediaFactsAndPages()
    {
        const QList<ReaderResponse> media = runAll(ReaderTask::media);
        QCOMPARE(goodOne(media, "good-picture.png").facts.dimensions, std::optional(QStringLiteral("64 \u00d7 48")));
        const QList<ReaderResponse> pages = runAll(ReaderTask::pdfPages);
        QCOMPARE(goodOne(pages, "good-text.pdf").pageSizes.size(), 1);
        const QList<ReaderResponse> looping = { goodOne(pages, "page-tree-loop.pdf") };
        QVERIFY(looping[0].pageSizes.size() < 1000);
    }

    // The calls the application makes: the same answers through the shared pool.
    void applicationCalls()
    {
        FileRecord record;
        record.path = m_tree.path("good-notes.txt");
        record.kind = FileKind::documents;
        QCOMPARE(ContentReaders::extractText(record).text.trimmed(), QStringLiteral("plain words for the index"));
        QCOMPARE(ContentReaders::thumbnail(m_tree.path("huge-dimensions.png"), FileKind::images, 128).outcome,
            ContentReaders::Thumbnail::Outcome::failed);
        QVERIFY(ContentReaders::printImage(m_tree.path("good-picture.png"), 64).has_value());
        QVERIFY(!ContentReaders::pdfPage(m_tree.path("good-text.pdf"), 0, 300).isNull());
        QCOMPARE(ContentReaders::previewFrames(m_tree.path("good-picture.png"), 32).frames.size(), 1);
        QVERIFY(!ContentReaders::pdfPageSizes(m_tree.path("good-notes.txt")));
        QVERIFY(ContentReaders::protections().contains(QStringLiteral("seccomp"))
            || ContentReaders::protections() == QStringLiteral("none"));
    }
};

QTEST_GUILESS_MAIN(HostileCorpusTest)
#include "hostilecorpustest.moc"
