#include "analysis/text/textrecognizer.h"

#include <QCoreApplication>

#include <cstdlib>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <unistd.h>
#include <vector>

namespace {

// Locale language codes (ISO 639-1) and Tesseract's model names (ISO 639-2/T, with script).
struct LanguageModel
{
    const char *locale;
    const char *model;
};

constexpr LanguageModel kModels[] = {
    { "ar", "ara" },
    { "bg", "bul" },
    { "ca", "cat" },
    { "cs", "ces" },
    { "da", "dan" },
    { "de", "deu" },
    { "el", "ell" },
    { "es", "spa" },
    { "et", "est" },
    { "fi", "fin" },
    { "fr", "fra" },
    { "he", "heb" },
    { "hi", "hin" },
    { "hr", "hrv" },
    { "hu", "hun" },
    { "id", "ind" },
    { "it", "ita" },
    { "ja", "jpn" },
    { "ko", "kor" },
    { "lt", "lit" },
    { "lv", "lav" },
    { "nb", "nor" },
    { "nl", "nld" },
    { "nn", "nor" },
    { "no", "nor" },
    { "pl", "pol" },
    { "pt", "por" },
    { "ro", "ron" },
    { "ru", "rus" },
    { "sk", "slk" },
    { "sl", "slv" },
    { "sr", "srp" },
    { "sv", "swe" },
    { "th", "tha" },
    { "tr", "tur" },
    { "uk", "ukr" },
    { "vi", "vie" },
    { "zh_TW", "chi_tra" },
    { "zh", "chi_sim" },
};

QString modelFor(const QString &locale)
{
    for (const LanguageModel &entry : kModels) {
        if (locale.startsWith(QLatin1String(entry.locale)))
            return QLatin1String(entry.model);
    }
    return {};
}

bool cancelled(void *stop, int)
{
    return static_cast<std::stop_token *>(stop)->stop_requested();
}

// The folder holding the English model: $TESSDATA_PREFIX (or its tessdata folder) when set,
// else where Debian's package installs it. Empty when the model is not there.
QByteArray modelFolder()
{
    QByteArray prefix = qgetenv("TESSDATA_PREFIX");
    if (prefix.isEmpty())
        prefix = QByteArrayLiteral("/usr/share/tesseract-ocr/5/tessdata");
    if (!prefix.endsWith('/'))
        prefix += '/';
    for (const QByteArray &folder : QByteArrayList { prefix, prefix + "tessdata/" }) {
        if (::access(QByteArray(folder + "eng.traineddata").constData(), R_OK) == 0)
            return folder;
    }
    return {};
}

} // namespace

TextRecognizer::TextRecognizer()
    : m_api(std::make_unique<tesseract::TessBaseAPI>())
{
    std::vector<std::string> installed;
    QStringList names;
    // Tesseract parallelises inside one page with OpenMP; the workers already use every core,
    // so each recogniser computes on its own thread only.
    omp_set_max_active_levels(0);
    // Without the English model Tesseract would explain on standard error, in several lines, why
    // it cannot start; one line saying what to install is all the user needs.
    const QByteArray folder = modelFolder();
    if (folder.isEmpty()) {
        m_startError = QCoreApplication::translate("TextRecognizer",
            "Text recognition is not available: install the tesseract-ocr-eng package for its English model");
        m_api.reset();
        return;
    }
    if (m_api->Init(folder.constData(), "eng", tesseract::OEM_LSTM_ONLY) != 0) {
        m_startError = QCoreApplication::translate("TextRecognizer", "Text recognition is not available");
        m_api.reset();
        return;
    }
    m_api->GetAvailableLanguagesAsVector(&installed);
    for (const std::string &name : installed)
        names.append(QString::fromStdString(name));
    const QStringList wanted = languages(names);
    if (wanted.size() > 1)
        m_api->Init(folder.constData(), wanted.join(QLatin1Char('+')).toUtf8().constData(), tesseract::OEM_LSTM_ONLY);
    m_api->SetVariable("debug_file", "/dev/null");
}

TextRecognizer::~TextRecognizer()
{
    if (m_api)
        m_api->End();
}

TextRecognizer &TextRecognizer::forThisThread()
{
    thread_local TextRecognizer recognizer;
    return recognizer;
}

QStringList TextRecognizer::languages(const QStringList &installed)
{
    QStringList result { QStringLiteral("eng") };
    QStringList locales;
    for (const char *variable : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const QString value = QString::fromLocal8Bit(qgetenv(variable));
        if (!value.isEmpty())
            locales += value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    }
    for (const QString &locale : locales) {
        const QString model = modelFor(locale);
        if (!model.isEmpty() && installed.contains(model) && !result.contains(model))
            result.append(model);
    }
    return result;
}

TextExtraction TextRecognizer::recognize(const QImage &image, std::stop_token stop)
{
    if (!m_api)
        return TextExtraction::failure(m_startError);
    if (image.isNull())
        return TextExtraction::failure(QCoreApplication::translate("TextRecognizer", "The image is empty"));
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    m_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, static_cast<int>(gray.bytesPerLine()));
    m_api->SetSourceResolution(300);

    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelled;
    monitor.cancel_this = &stop;
    const int status = m_api->Recognize(&monitor);
    if (stop.stop_requested()) {
        m_api->Clear();
        return TextExtraction::failure(QCoreApplication::translate("TextRecognizer", "Cancelled"));
    }
    if (status != 0) {
        m_api->Clear();
        return TextExtraction::failure(QCoreApplication::translate("TextRecognizer", "Text recognition failed"));
    }

    QStringList lines;
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (it && !it->Empty(tesseract::RIL_TEXTLINE)) {
        do {
            std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
            if (!text)
                continue;
            const QString line = QString::fromUtf8(text.get()).trimmed();
            if (!line.isEmpty())
                lines.append(line);
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    m_api->Clear();
    return { lines.join(QLatin1Char('\n')), false, std::nullopt };
}
