#pragma once

#include <QByteArray>

#include <vector>

// Reads the entries of an open directory with getdents64(2), in the file system's order,
// without "." and "..". The caller owns the descriptor.
class DirectoryReader
{
public:
    enum class EntryType { unknown, regular, directory, symbolicLink, other };

    struct Entry
    {
        QByteArray name;
        EntryType type = EntryType::unknown;
    };

    // Appends every entry to `entries`. Returns false when reading failed part-way (the entries
    // read so far are kept).
    static bool readAll(int directoryFd, std::vector<Entry> &entries);
};
