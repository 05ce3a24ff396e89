#include "library/filerecord.h"

#include "library/asciibytes.h"
#include "library/bytecountformatter.h"
#include "library/sourcecatalog.h"

QString FileRecord::name() const
{
    const qsizetype slash = path.lastIndexOf('/');
    return QString::fromUtf8(path.mid(slash + 1));
}

bool FileRecord::isDownload() const
{
    if (source)
        return true;
    // No character outside ASCII lower-cases into a letter of "downloads", so an ASCII
    // comparison ignoring case is exact, and it needs no allocation.
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype end = path.indexOf('/', start);
        if (end < 0)
            end = path.size();
        if (end - start == 9 && qstrnicmp(path.constData() + start, "downloads", 9) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

std::optional<QString> FileRecord::sourceName() const
{
    if (!source)
        return std::nullopt;
    return SourceCatalog::name(*source);
}

bool FileRecord::isScreenshot() const
{
    if (kind != FileKind::images)
        return false;
    // A name of ASCII bytes is searched as bytes, ignoring ASCII case; another one through Qt's
    // case folding, under which a few letters beyond ASCII fold into these words' letters.
    const QByteArrayView bytes = QByteArrayView(path).sliced(path.lastIndexOf('/') + 1);
    if (AsciiBytes::isAscii(bytes)) {
        const auto holds = [bytes](const char *word) {
            const auto length = qsizetype(qstrlen(word));
            for (qsizetype at = 0; at + length <= bytes.size(); ++at)
                if (qstrnicmp(bytes.data() + at, word, size_t(length)) == 0)
                    return true;
            return false;
        };
        return holds("screenshot") || holds("screen shot");
    }
    const QString n = name();
    return n.contains(u"screenshot", Qt::CaseInsensitive) || n.contains(u"screen shot", Qt::CaseInsensitive);
}

QString FileRecord::formattedSize() const
{
    return ByteCountFormatter::fileStyle(size);
}
