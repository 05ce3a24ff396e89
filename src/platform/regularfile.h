#pragma once

#include <QByteArray>

// A regular file opened for reading by its exact path bytes, never through a final symbolic
// link and never blocking: a FIFO or device put in a file's place is refused instead of
// hanging the reader. In a process that reads only lent files (LentFiles), a copy of the
// descriptor lent under the path. Closed on destruction.
class RegularFile
{
public:
    explicit RegularFile(const QByteArray &path);
    ~RegularFile();
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The errno of a failed opening (EINVAL for a file that is not regular).
    int error() const { return m_error; }
    // Gives up the descriptor to the caller, who closes it.
    int release();
    // Up to `maxBytes` from the current position; shorter at the end of the file.
    QByteArray read(qsizetype maxBytes);
    // Asks the kernel to read the file's first `bytes` into the page cache in the background,
    // unless its first page is there already (then the head was most likely read, and asking
    // again would only make the kernel walk pages it holds). Nothing is read here.
    void askForHead(qint64 bytes) const;

private:
    int m_fd = -1;
    int m_error = 0;
};
