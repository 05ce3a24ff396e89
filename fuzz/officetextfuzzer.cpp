// libFuzzer target: the office readers (zip container, XML parts, RTF) on arbitrary bytes.
// The first byte picks the format; the rest is the file.
#include "analysis/text/officetextreader.h"
#include "analysis/text/rtftextreader.h"

#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList formats { QStringLiteral("docx"), QStringLiteral("xlsx"), QStringLiteral("pptx"),
        QStringLiteral("odt"), QStringLiteral("epub"), QStringLiteral("rtf") };
    if (size == 0)
        return 0;
    const QString &format = formats[data[0] % formats.size()];
    const QByteArrayView file(data + 1, static_cast<qsizetype>(size - 1));
    if (format == QLatin1String("rtf"))
        RtfTextReader::readData(file);
    else
        OfficeTextReader::readData(file, format);
    return 0;
}
