#pragma once

#include <QByteArray>

// A regular file opened for reading by its exact path bytes, never through a final symbolic
// link and never blocking: a FIFO or device put in a file's place is refused instead of
// hanging the reader. Closed on destruction.
class RegularFile
{
public:
    explicit RegularFile(const QByteArray &path);
    ~RegularFile();
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // "/proc/self/fd/N": lets a library that opens files by name read this very file.
    QByteArray procPath() const;
    // Up to `maxBytes` from the current position; shorter at the end of the file.
    QByteArray read(qsizetype maxBytes);

private:
    int m_fd = -1;
};
