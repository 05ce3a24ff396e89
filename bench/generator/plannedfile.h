#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
#include <QString>

// What a generated file holds. Each value has one writer; the facts a reader should find in
// the file (camera, pixel size, playing time) are recorded in the PlannedFile beside it.
enum class Content : quint8 {
    photo, // JPEG with Exif make, model and orientation
    photoResized, // look-alikes of the photo `origin` points at
    photoRecompressed,
    photoBrightened,
    screenshot, // PNG of a desktop with windows
    drawing, // PNG diagram
    gif,
    webp,
    textPdf, // a PDF with a text layer
    scannedPdf, // a PDF whose pages are only pictures of text
    plainText,
    markdown,
    csv,
    json,
    docx,
    xlsx,
    odt,
    wav,
    mp3,
    ogg,
    m4a,
    flac,
    mp4,
    mkv,
    webm,
    mov,
    zip,
    tarGz,
    deb,
    rpm,
    dmg,
    appImage,
    flatpakRef,
    data, // opaque binary data (kind "Other")
    bundle, // a folder NAME.app with a few files inside
    verbatim, // exactly `text` (a folder's ".hidden" list)
    copy, // the same bytes as the file `origin` points at
};

// One file of a generated library. Paths are relative to the library folder, in exact bytes.
struct PlannedFile
{
    QByteArray path;
    Content content = Content::data;
    quint64 seed = 0; // drives the contents; independent of every other file
    Timestamp modified;
    bool listed = true; // false for hidden files, which a scan must not list
    int origin = -1; // index of the file a copy or look-alike is made from

    // Extended attributes; empty ones are not written.
    QByteArray originUrl;
    QByteArray referrerUrl;
    QByteArray tags;

    // Facts the file carries for a metadata reader.
    QString make;
    QString camera;
    int width = 0; // pixels as stored, before any Exif orientation
    int height = 0;
    int orientation = 1; // Exif orientation; 6 and 8 turn the picture by a quarter
    int mediaVariant = -1; // the media template the file is made from
    double duration = 0; // seconds

    QString title; // a human title for documents and tracks
    QByteArray text; // the contents of a verbatim file
};

// A symbolic link of the library; `target` is written as given (relative to the link's folder).
struct PlannedLink
{
    QByteArray path;
    QByteArray target;
    Timestamp modified;
};
