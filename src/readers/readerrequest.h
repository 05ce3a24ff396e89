#pragma once

#include "library/filekind.h"
#include "library/media/mediafacts.h"
#include "platform/sandboxsupport.h"

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
    image = 7,     // path, edge, page: the preview's picture, its frames from frame `page` on
    protections = 8,
    cancel = 9,      // stops the request whose id is `page`
    playable = 10,   // path: whether the container and its streams may be played
    // Accepted only by a helper started for tests.
    testCrash = 100,
    testHang = 101,
    testProbe = 102,     // tries what a compromised reader would, with the file it was lent
    testOversized = 103, // answers past the bounds of a thumbnail of `edge` (`capturedText`: what)
    testPageSizes = 104, // answers the page sizes written in `capturedText` ("612x792 nan x0")
    testForbidden = 105, // makes the system call named in `capturedText` (execve, socket, fork)
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

// One picture of a moving image and how long it stays up.
struct AnimationFrame
{
    QImage image;
    int delayMs = 0;
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
    // Text: a limit cut it. Animation: more frames follow those sent.
    bool partial = false;
    std::optional<QString> error;
    QImage image;
    MediaFacts facts;
    QList<QSizeF> pageSizes;
    QList<AnimationFrame> frames;
    // What confines the helper (its first message, and the answer to `protections`).
    SandboxProtections confinement;

    static ReaderResponse withStatus(Status status, const std::optional<QString> &error = {})
    {
        ReaderResponse response;
        response.status = status;
        response.error = error;
        return response;
    }
};
