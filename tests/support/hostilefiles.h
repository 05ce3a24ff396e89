#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

// Files crafted to trouble a reader, each named after its trouble, plus a few good files whose
// contents are known. Written by the tests themselves so every file's trouble is known.
namespace HostileFiles {

constexpr int ImageKind = 0;
constexpr int DocumentKind = 1;
constexpr int VideoKind = 2;

struct File
{
    QByteArray name; // e.g. "page-tree-loop.pdf"
    QByteArray contents;
    int kind; // ImageKind, DocumentKind or VideoKind (the caller maps it)
};

// page-tree-loop.pdf, deeply-nested-object.pdf, huge-dimensions.png, huge-dimensions.jpg,
// decompression-bomb.docx (word/document.xml inflates to 256 MiB), entity-bomb.odt,
// truncated.mp4 and broken-directory.tif. Each is well formed up to its trouble, so a reader
// gets past the signature and meets it.
QList<File> hostile();

// good-text.pdf (one page reading "Quiet harbour evening" in Helvetica), good-picture.png
// (64 x 48 gradient), good-notes.txt ("plain words for the index") and good-letter.docx
// (word/document.xml holds <w:t>Dear reader</w:t>).
QList<File> good();

// A streaming playlist (to be named playlist-as-mp4.mp4) whose one segment is the file at
// `segment`: a demuxer that follows it shows another file's picture.
QByteArray playlist(const QByteArray &segment);

// An RGB PNG claiming `width` x `height` pixels over a few rows of zeros: tiny on disk, enormous
// once decoded.
QByteArray claimingPng(quint32 width, quint32 height);

enum class ZipMethod { stored, deflated };

// A well-formed zip archive of `members` (name, contents), for tests of the formats built on zip.
QByteArray zip(const QList<std::pair<QByteArray, QByteArray>> &members, ZipMethod method = ZipMethod::deflated);

} // namespace HostileFiles
