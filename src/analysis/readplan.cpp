#include "analysis/readplan.h"

#include <algorithm>
#include <tuple>

namespace ReadPlan {

bool readsBefore(const FileLocation &a, const FileLocation &b)
{
    return std::tuple(!a.offset.has_value(), a.offset.value_or(0), a.inode)
        < std::tuple(!b.offset.has_value(), b.offset.value_or(0), b.inode);
}

std::vector<ReadLane> lanes(
    const std::vector<FileLocation> &locations, const RotationQuery &isRotational, int solidStateReaders)
{
    std::vector<ReadLane> result;
    for (qsizetype i = 0; i < qsizetype(locations.size()); ++i) {
        const dev_t device = locations[std::size_t(i)].device;
        auto lane = std::find_if(result.begin(), result.end(), [&](const ReadLane &l) { return l.device == device; });
        if (lane == result.end()) {
            result.push_back({ device, 1, {} });
            lane = result.end() - 1;
        }
        lane->items.push_back(i);
    }
    for (ReadLane &lane : result) {
        std::stable_sort(lane.items.begin(), lane.items.end(), [&](qsizetype a, qsizetype b) {
            return readsBefore(locations[std::size_t(a)], locations[std::size_t(b)]);
        });
        const bool rotating = isRotational ? isRotational(lane.device).value_or(false) : false;
        lane.readers = rotating ? 1 : std::clamp(int(lane.items.size()), 1, std::max(solidStateReaders, 1));
    }
    return result;
}

} // namespace ReadPlan
