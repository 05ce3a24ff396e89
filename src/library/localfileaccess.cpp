#include "library/localfileaccess.h"

#include "platform/extendedattributes.h"
#include "platform/filestatus.h"
#include "platform/openvfsplaceholder.h"

namespace {

constexpr QByteArrayView kSuffixes[] = {".nextcloud", ".owncloud"};

} // namespace

bool LocalFileAccess::canReadContents(const QByteArray &path)
{
    const auto status = FileStatus::read(path);
    if (!status || !status->isRegular())
        return false;
    return !cloudState(path, ExtendedAttributes::names(path)).isCloudOnly;
}

LocalFileAccess::CloudState LocalFileAccess::cloudState(const QByteArray &path, const QByteArrayList &attributeNames)
{
    CloudState state;
    if (attributeNames.contains(QByteArrayView(OpenVfsPlaceholder::kAttributeName))) {
        const auto data = ExtendedAttributes::value(path, OpenVfsPlaceholder::kAttributeName);
        const auto placeholder = data ? OpenVfsPlaceholder::parse(*data) : std::nullopt;
        if (placeholder && placeholder->isDehydrated()) {
            state.isCloudOnly = true;
            if (placeholder->size && *placeholder->size <= quint64(std::numeric_limits<qint64>::max()))
                state.logicalSize = static_cast<qint64>(*placeholder->size);
            return state;
        }
    }
    if (const auto target = placeholderTarget(path)) {
        // The placeholder stands for a file that is not here; once it is downloaded the real
        // file sits beside it.
        state.isCloudOnly = !FileStatus::read(*target).has_value();
    }
    return state;
}

std::optional<QByteArray> LocalFileAccess::placeholderTarget(const QByteArray &path)
{
    for (const QByteArrayView suffix : kSuffixes) {
        const qsizetype nameStart = path.lastIndexOf('/') + 1;
        if (path.size() - nameStart > suffix.size() && path.endsWith(suffix))
            return path.first(path.size() - suffix.size());
    }
    return std::nullopt;
}
