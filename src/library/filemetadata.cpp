#include "library/filemetadata.h"

#include "library/filekind.h"
#include "library/localfileaccess.h"
#include "library/metadatareader.h"

FileMetadata FileMetadata::read(const QByteArray &path, const MediaContentsReader &readContents)
{
    const MetadataReader reader = MetadataReader::load();
    const MetadataReader::Attributes attributes = reader.readAttributes(path);

    FileMetadata metadata;
    metadata.source = attributes.source;
    metadata.lastUsed = reader.lastUsed(path);
    if (readContents && LocalFileAccess::canReadContents(path)) {
        const MediaFacts facts
            = readContents({ { path, FileKind::classify(QByteArrayView(path)) } }, std::stop_token()).value(0);
        metadata.camera = facts.camera;
        metadata.dimensions = facts.dimensions;
        metadata.duration = facts.duration;
    }
    return metadata;
}
