#pragma once

#include "library/textextraction.h"

#include <QImage>
#include <QStringList>

#include <memory>
#include <stop_token>

namespace tesseract {
class TessBaseAPI;
}

// Optical character recognition with Tesseract's LSTM engine, English plus the installed models
// of the user's languages.
//
// Not thread-safe: one instance per thread. `forThisThread` gives each thread its own, created on
// first use and limited to one computing thread, so two workers recognise on two cores without
// sharing anything.
class TextRecognizer
{
public:
    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer &) = delete;
    TextRecognizer &operator=(const TextRecognizer &) = delete;

    static TextRecognizer &forThisThread();

    // The recognised lines in reading order, joined by line feeds. `error` is set when the engine
    // could not be started or the recognition failed or was cancelled through `stop`.
    TextExtraction recognize(const QImage &image, std::stop_token stop = {});

    // The Tesseract model names to load: "eng" and the installed models of the languages in
    // LANGUAGE, LC_ALL, LC_MESSAGES and LANG, in that order, without repeats.
    static QStringList languages(const QStringList &installed);

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_startError;
};
