#pragma once

#include "library/filekind.h"
#include "library/media/mediafacts.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>

#include <optional>

// The work a reader helper does for one file. The task decides which fields count.
enum class ReaderTask : quint8 {
    text = 1,      // path, kind, size, cloudOnly, package, capturedText
    thumbnail = 2, // path, kind, edge
    print = 3,     // path, edge: a small decode for look-alike prints
    media = 4,     // path, kind: camera, pixel size, duration
    pdfPages = 5,  // path: the page sizes
    pdfPage = 6,   // path, page, edge (the width in pixels)
    image = 7,     // path, edge: a still picture for the preview
    protections = 8,
    cancel = 9,    // stops the request whose id is `page`
    // Accepted only by a helper started for tests.
    testCrash = 100,
    testHang = 101,
    testProbe = 102, // tries to write `path`, open a socket and read `capturedText` as a path
};

struct ReaderRequest
{
    ReaderTask task = ReaderTask::text;
    QByteArray path;
    FileKind kind = FileKind::other;
    qint64 size = 0;
    bool cloudOnly = false;
    bool package = false;
    QString capturedText;
    int edge = 0;
    int page = 0;

    bool operator==(const ReaderRequest &) const = default;
};

struct ReaderResponse
{
    enum class Status : quint8 {
        done,
        failed,      // the file could not be read (`error` may say why)
        unsupported, // nothing reads this kind of file
        cancelled,
        crashed,     // the helper died on this file
        timedOut,    // the helper passed the file's time budget and was stopped
        refused,     // the file made a helper fail twice and is not tried again until it changes
        unavailable, // no helper could be started: nothing is known about the file
    };

    Status status = Status::failed;
    QString text;
    bool partial = false;
    std::optional<QString> error;
    QImage image;
    MediaFacts facts;
    QList<QSizeF> pageSizes;

    static ReaderResponse withStatus(Status status, const std::optional<QString> &error = {})
    {
        ReaderResponse response;
        response.status = status;
        response.error = error;
        return response;
    }
};
