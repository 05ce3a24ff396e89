#include "support/testtree.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

TestTree::TestTree() : m_root(QFile::encodeName(m_dir.path()))
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
}

TestTree::~TestTree()
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(m_root.toStdString()), ignored);
}

QByteArray TestTree::path(const QByteArray &relative) const
{
    return relative.isEmpty() ? m_root : m_root + '/' + relative;
}

QByteArray TestTree::file(const QByteArray &relative, const QByteArray &contents)
{
    makeParent(relative);
    writeFile(path(relative), contents);
    return path(relative);
}

void TestTree::thumbnail(const QByteArray &sizeFolder, const QByteArray &uri, const QByteArray &mtime, QImage image,
    const QByteArray &recordedUri)
{
    image.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(recordedUri.isEmpty() ? uri : recordedUri));
    if (!mtime.isEmpty())
        image.setText(QStringLiteral("Thumb::MTime"), QString::fromLatin1(mtime));
    const QByteArray name = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
    if (!image.save(QFile::decodeName(folder("cache/thumbnails/" + sizeFolder) + '/' + name), "PNG"))
        qFatal("cannot write a thumbnail in %s", sizeFolder.constData());
}

void TestTree::becomeHome() const
{
    qputenv("HOME", m_root);
    qputenv("XDG_CONFIG_HOME", path("config"));
    qputenv("XDG_DATA_HOME", path("data"));
    qputenv("XDG_CACHE_HOME", path("cache"));
}

void TestTree::makeParent(const QByteArray &relative)
{
    const qsizetype slash = relative.lastIndexOf('/');
    if (slash > 0)
        folder(relative.left(slash));
}

QByteArray TestTree::folder(const QByteArray &relative)
{
    QByteArray partial = m_root;
    for (const QByteArray &part : relative.split('/')) {
        partial += '/' + part;
        ::mkdir(partial.constData(), 0755);
    }
    return path(relative);
}

QByteArray TestTree::symlink(const QByteArray &relative, const QByteArray &target)
{
    makeParent(relative);
    const QByteArray p = path(relative);
    if (::symlink(target.constData(), p.constData()) != 0)
        qFatal("cannot link %s", p.constData());
    return p;
}

QByteArray TestTree::fifo(const QByteArray &relative)
{
    makeParent(relative);
    const QByteArray p = path(relative);
    if (::mkfifo(p.constData(), 0644) != 0)
        qFatal("cannot make a FIFO at %s", p.constData());
    return p;
}

void TestTree::setModified(const QByteArray &relative, const Timestamp &time)
{
    const timespec times[2] = {{time.unixSeconds(), time.nanoseconds()}, {time.unixSeconds(), time.nanoseconds()}};
    if (::utimensat(AT_FDCWD, path(relative).constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        qFatal("cannot set the time of %s", relative.constData());
}

void TestTree::setMode(const QByteArray &relative, unsigned mode)
{
    ::chmod(path(relative).constData(), mode);
}

bool TestTree::setAttribute(const QByteArray &relative, const char *name, const QByteArray &value)
{
    return ::lsetxattr(path(relative).constData(), name, value.constData(), static_cast<size_t>(value.size()), 0) == 0;
}

QByteArray readFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    QByteArray data;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, n);
    ::close(fd);
    return data;
}

void writeFile(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        qFatal("cannot create %s", path.constData());
    qsizetype written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.constData() + written, static_cast<size_t>(contents.size() - written));
        if (n <= 0)
            qFatal("cannot write %s", path.constData());
        written += n;
    }
    ::close(fd);
}

int modeOf(const QByteArray &path)
{
    struct stat status = {};
    return ::lstat(path.constData(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
}
