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
    for (const QByteArray &component : path.split('/')) {
        if (component.size() == 9 && QString::fromUtf8(component).toLower() == u"downloads")
            return true;
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
