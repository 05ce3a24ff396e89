#include "library/filerecord.h"

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
    const QString n = name();
    return n.contains(u"screenshot", Qt::CaseInsensitive) || n.contains(u"screen shot", Qt::CaseInsensitive);
}

QString FileRecord::formattedSize() const
{
    return ByteCountFormatter::fileStyle(size);
}
