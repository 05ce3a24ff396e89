#include "generator/mediatemplates.h"

#include "generator/mediavariants.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

QString extension(Content format)
{
    switch (format) {
    case Content::mp3:
        return QStringLiteral("mp3");
    case Content::ogg:
        return QStringLiteral("ogg");
    case Content::m4a:
        return QStringLiteral("m4a");
    case Content::flac:
        return QStringLiteral("flac");
    case Content::mp4:
        return QStringLiteral("mp4");
    case Content::mkv:
        return QStringLiteral("mkv");
    case Content::webm:
        return QStringLiteral("webm");
    default:
        return QStringLiteral("mov");
    }
}

QString number(double value)
{
    return QString::number(value, 'f', 3);
}

} // namespace

QStringList MediaTemplates::arguments(Content format, int variant, const QString &output)
{
    const MediaVariant v = MediaVariants::of(format).value(variant);
    const QString tone = QStringLiteral("sine=frequency=%1:sample_rate=22050:duration=%2")
                             .arg(220 + 110 * variant + 30 * static_cast<int>(format))
                             .arg(number(v.duration));
    QStringList args { QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
        QStringLiteral("-nostdin"), QStringLiteral("-y") };
    if (v.width > 0) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc2=size=%1x%2:rate=25:duration=%3")
                    .arg(v.width)
                    .arg(v.height)
                    .arg(number(v.duration));
    }
    args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << tone;
    // Bit-exact output: no encoder versions, no times, no random identifiers.
    args << QStringLiteral("-fflags") << QStringLiteral("+bitexact") << QStringLiteral("-flags")
         << QStringLiteral("+bitexact") << QStringLiteral("-map_metadata") << QStringLiteral("-1")
         << QStringLiteral("-threads") << QStringLiteral("1") << QStringLiteral("-ac") << QStringLiteral("1");

    const QStringList h264 { QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
        QStringLiteral("veryfast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-b:v"),
        QStringLiteral("300k") };
    const QStringList aac { QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
        QStringLiteral("48k") };
    const QStringList vorbis { QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-q:a"),
        QStringLiteral("1") };
    switch (format) {
    case Content::mp3:
        args << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a")
             << QStringLiteral("48k") << QStringLiteral("-id3v2_version") << QStringLiteral("0");
        break;
    case Content::ogg:
        args << vorbis;
        break;
    case Content::m4a:
        args << aac;
        break;
    case Content::flac:
        args << QStringLiteral("-c:a") << QStringLiteral("flac");
        break;
    case Content::mkv:
        args << h264 << vorbis;
        break;
    case Content::webm:
        // Not the realtime deadline: it adapts its effort to the clock and so varies from run to run.
        args << QStringLiteral("-c:v") << QStringLiteral("libvpx") << QStringLiteral("-deadline")
             << QStringLiteral("good") << QStringLiteral("-cpu-used") << QStringLiteral("5") << QStringLiteral("-b:v")
             << QStringLiteral("300k") << vorbis;
        break;
    default: // mp4 and mov
        args << h264 << aac;
        if (!v.camera.isEmpty()) {
            const bool apple = format == Content::mov;
            const QString prefix = apple ? QStringLiteral("com.apple.quicktime.") : QStringLiteral("com.android.");
            args << QStringLiteral("-movflags") << QStringLiteral("use_metadata_tags") << QStringLiteral("-metadata")
                 << prefix + (apple ? QStringLiteral("make=") : QStringLiteral("manufacturer=")) + v.make
                 << QStringLiteral("-metadata") << prefix + QStringLiteral("model=") + v.camera;
        }
        break;
    }
    args << QStringLiteral("-shortest") << output;
    return args;
}

MediaTemplates MediaTemplates::make(const QList<PlannedFile> &files, int jobs, const QString &ffmpeg)
{
    QList<std::pair<Content, int>> needed;
    for (const PlannedFile &file : files) {
        if (MediaVariants::isTemplated(file.content) && !needed.contains(std::pair { file.content, file.mediaVariant }))
            needed.append({ file.content, file.mediaVariant });
    }
    MediaTemplates templates;
    QTemporaryDir folder;
    if (!folder.isValid())
        throw std::runtime_error("cannot make a temporary folder for the recordings");

    std::atomic<qsizetype> next = 0;
    std::mutex mutex;
    QString failure;
    const auto work = [&] {
        for (qsizetype i = next++; i < needed.size(); i = next++) {
            const auto [format, variant] = needed.at(i);
            const QString output
                = folder.filePath(QStringLiteral("%1-%2.%3").arg(int(format)).arg(variant).arg(extension(format)));
            const QStringList args = arguments(format, variant, output);
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(ffmpeg, args);
            const bool ran = process.waitForFinished(120'000) && process.exitStatus() == QProcess::NormalExit
                && process.exitCode() == 0;
            QFile recorded(output);
            const std::lock_guard lock(mutex);
            if (!ran || !recorded.open(QIODevice::ReadOnly)) {
                if (failure.isEmpty())
                    failure = ffmpeg + u' ' + args.join(u' ') + u": " + process.errorString();
                continue;
            }
            templates.m_recordings.insert(key(format, variant), recorded.readAll());
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < std::max(1, jobs); ++i)
        threads.emplace_back(work);
    for (std::thread &t : threads)
        t.join();
    if (!failure.isEmpty())
        throw std::runtime_error("cannot record media: " + failure.toStdString());
    return templates;
}

QByteArray MediaTemplates::recording(Content format, int variant) const
{
    return m_recordings.value(key(format, variant));
}
