#pragma once

#include "generator/plannedfile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The recordings a library's audio and video files are copied from, made once per run with
// the ffmpeg command in bit-exact mode (same input, same bytes) and held in memory.
//
// `make` runs ffmpeg, at most `jobs` at a time; reading `recording` afterwards is thread-safe.
class MediaTemplates
{
public:
    // Makes each (format, variant) pair the files use. Throws std::runtime_error naming the
    // failing command when ffmpeg is missing or fails.
    static MediaTemplates make(
        const QList<PlannedFile> &files, int jobs, const QString &ffmpeg = QStringLiteral("ffmpeg"));

    // Empty for a pair that was not made.
    QByteArray recording(Content format, int variant) const;
    int count() const { return static_cast<int>(m_recordings.size()); }

    // The ffmpeg arguments (after the program name) that record one variant into `output`.
    static QStringList arguments(Content format, int variant, const QString &output);

private:
    static int key(Content format, int variant) { return static_cast<int>(format) * 16 + variant; }

    QHash<int, QByteArray> m_recordings;
};
