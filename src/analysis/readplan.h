#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

// Where the contents of one file begin on its storage.
struct FileLocation
{
    dev_t device = 0;
    // The offset of the first byte on the device, where the file system tells it.
    std::optional<quint64> offset;
    // Orders the files the file system does not place: on most file systems inode numbers grow
    // with the position of the inode, and the data is kept near it.
    quint64 inode = 0;
};

// One storage device's share of a read: its files in the order the device holds them and how
// many threads read them side by side.
struct ReadLane
{
    dev_t device = 0;
    int readers = 1;
    std::vector<qsizetype> items; // indices into the locations given to ReadPlan::lanes
};

// Spreads the reading of many files over their devices. A pure function of its arguments.
namespace ReadPlan {

// Threads that read one solid-state (or unknown) device: a short queue keeps it busier than one
// request at a time, where a second reader of a rotating disk only makes its head seek between
// the two.
constexpr int kSolidStateReaders = 4;

using RotationQuery = std::function<std::optional<bool>(dev_t)>;

// The order of two files of one device within its lane.
bool readsBefore(const FileLocation &a, const FileLocation &b);

// One lane per device, in the order the devices first appear in `locations`. Within a lane the
// files with an offset come first, by offset, then the others by inode (readsBefore); ties keep
// the order of `locations`. A rotating device gets one reader; any other min(solidStateReaders, its files).
std::vector<ReadLane> lanes(
    const std::vector<FileLocation> &locations, const RotationQuery &isRotational, int solidStateReaders);

} // namespace ReadPlan
