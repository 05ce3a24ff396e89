#include "platform/thumbnails/thumbnailstore.h"

#include "platform/privatefile.h"
#include "platform/regularfile.h"
#include "platform/thumbnails/pngtext.h"
#include "platform/xdgpaths.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ThumbnailStore {
namespace {

const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");
const QString kSizeKey = QStringLiteral("Thumb::Size");
const QString kMimeTypeKey = QStringLiteral("Thumb::Mimetype");
const QString kSoftwareKey = QStringLiteral("Software");
const QString kSoftware = QStringLiteral("Tessary");
constexpr std::array kSizes { Size::normal, Size::large, Size::xLarge, Size::xxLarge };
// A cached thumbnail is a small PNG; anything far larger in the cache folder is not one.
constexpr qint64 kMaxThumbnailFileBytes = 16 * 1024 * 1024;

int edgeOf(Size size)
{
    return static_cast<int>(size);
}

QByteArray folderName(Size size)
{
    switch (size) {
    case Size::normal:
        return "normal";
    case Size::large:
        return "large";
    case Size::xLarge:
        return "x-large";
    case Size::xxLarge:
        return "xx-large";
    }
    return "normal";
}

QByteArray cacheFolderBytes()
{
    return QFile::encodeName(cacheFolder());
}

QByteArray fileName(QByteArrayView path)
{
    return QCryptographicHash::hash(uriOf(path), QCryptographicHash::Md5).toHex() + ".png";
}

// Creates `folder` and its missing parents with mode 0700. True when it exists as a folder.
bool makeFolder(const QByteArray &folder)
{
    struct stat status {};
    if (::stat(folder.constData(), &status) == 0)
        return S_ISDIR(status.st_mode);
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0 && !makeFolder(folder.left(slash)))
        return false;
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

// The keys that tie a thumbnail to the file in its present state, in the order they are written.
QList<PngText::Entry> keysOf(QByteArrayView path, const Timestamp &modified, const Details &details)
{
    QList<PngText::Entry> keys { { kUriKey.toLatin1(), uriOf(path) },
        { kMTimeKey.toLatin1(), QByteArray::number(modified.unixSeconds()) } };
    if (details.fileSize >= 0)
        keys.append({ kSizeKey.toLatin1(), QByteArray::number(details.fileSize) });
    if (!details.mimeType.isEmpty())
        keys.append({ kMimeTypeKey.toLatin1(), details.mimeType });
    keys.append({ kSoftwareKey.toLatin1(), kSoftware.toLatin1() });
    return keys;
}

// The PNG bytes of `image` with `keys` as plain text chunks (and no other text).
QByteArray encodedPng(const QImage &image, const QList<PngText::Entry> &keys)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // zlib's fastest level: a thumbnail is written once per file change, and the default level
    // costs more than decoding the photograph did.
    writer.setCompression(1);
    if (!writer.write(image))
        return {};
    return PngText::withPlainEntries(bytes, keys);
}

// Writes `contents` to `target` through a temporary file beside it and a rename, so a reader
// sees the old file or the new one, never a part. Unlike PrivateFile::replace it does not sync:
// a lost cache entry after a crash is simply made again.
bool writeAtomically(const QByteArray &target, QByteArrayView contents)
{
    const QByteArray temporary = target + ".tessary-" + QByteArray::number(::getpid()) + '-'
        + QByteArray::number(QRandomGenerator::global()->generate(), 16);
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = ::fchmod(fd, 0600) == 0 && PrivateFile::writeAll(fd, contents);
    if (::close(fd) != 0)
        written = false;
    if (!written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool keysMatch(const QString &uri, const QString &mtime, QByteArrayView path, const Timestamp &modified)
{
    bool ok = false;
    const qint64 seconds = mtime.trimmed().toLongLong(&ok);
    return ok && seconds == modified.unixSeconds() && uri == QString::fromLatin1(uriOf(path));
}

// fail/tessary-<version>: a version is one folder name, whatever it contains.
QByteArray failureFolder(const QString &version)
{
    QByteArray name = QFile::encodeName(QStringLiteral("tessary-") + version);
    name.replace('/', '_');
    return cacheFolderBytes() + "/fail/" + name;
}

// Whether GLib's check would find the keys: Thumb::URI and Thumb::MTime in plain tEXt chunks.
bool hasPlainKeys(QByteArrayView png, QByteArrayView path, const Timestamp &modified)
{
    const QList<PngText::Entry> plain = PngText::plainEntries(png);
    return plain.contains(PngText::Entry { kUriKey.toLatin1(), uriOf(path) })
        && plain.contains(PngText::Entry { kMTimeKey.toLatin1(), QByteArray::number(modified.unixSeconds()) });
}

// Writes the thumbnail at `file` again with its keys in plain chunks; its pixels stay as they are.
void rewriteWithPlainKeys(
    const QByteArray &file, QByteArrayView png, const QImage &image, QByteArrayView path, const Timestamp &modified)
{
    Details details;
    bool known = false;
    const qint64 size = image.text(kSizeKey).toLongLong(&known);
    details.fileSize = known ? size : -1;
    details.mimeType = image.text(kMimeTypeKey).toLatin1();
    const QByteArray bytes = PngText::withPlainEntries(png, keysOf(path, modified, details));
    if (!bytes.isEmpty())
        writeAtomically(file, bytes);
}

enum class Repair { none, plainKeys };

// The thumbnail at `file` when its keys name the file in this state and it fits in `maxEdge`.
QImage readMatching(const QByteArray &file, QByteArrayView path, const Timestamp &modified, int maxEdge, Repair repair)
{
    // Opened without following links or blocking, so nothing planted in the cache is waited on.
    const RegularFile regular(file);
    if (!regular.isOpen())
        return {};
    struct stat status {};
    if (::fstat(regular.fd(), &status) != 0 || status.st_size > kMaxThumbnailFileBytes)
        return {};
    QFile device;
    if (!device.open(regular.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    // Its own size, not the cap: read(n) sets aside n bytes before reading.
    const QByteArray png = device.read(qint64(status.st_size));
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxEdge || size.height() > maxEdge)
        return {};
    // Keys written before the pixels can be checked without decoding them.
    const QString headerUri = reader.text(kUriKey);
    const QString headerMTime = reader.text(kMTimeKey);
    if (!headerUri.isEmpty() && !headerMTime.isEmpty() && !keysMatch(headerUri, headerMTime, path, modified))
        return {};
    QImage image = reader.read();
    if (image.isNull() || !keysMatch(image.text(kUriKey), image.text(kMTimeKey), path, modified))
        return {};
    // Only Tessary's own: another program's file is its business.
    if (repair == Repair::plainKeys && image.text(kSoftwareKey) == kSoftware && !hasPlainKeys(png, path, modified))
        rewriteWithPlainKeys(file, png, image, path, modified);
    return image;
}

} // namespace

QString cacheFolder()
{
    return XdgPaths::cacheHome() + QStringLiteral("/thumbnails");
}

QByteArray uriOf(QByteArrayView path)
{
    // The characters left as they are match what GLib's g_filename_to_uri leaves, so the MD5 of
    // the URI, and with it the file name, is the one other desktop programs compute.
    static constexpr char kKept[] = "!$&'()*+,-./:=@_~";
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    uri.reserve(uri.size() + path.size() * 3);
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
            || (byte != 0 && std::char_traits<char>::find(kKept, sizeof kKept - 1, c) != nullptr);
        if (kept) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

QImage find(QByteArrayView path, const Timestamp &modified, int minimumEdge)
{
    // Large enough sizes from the smallest up, then the smaller ones from the largest down.
    QList<Size> order;
    for (const Size size : kSizes) {
        if (edgeOf(size) >= minimumEdge)
            order.append(size);
    }
    for (auto it = kSizes.rbegin(); it != kSizes.rend(); ++it) {
        if (edgeOf(*it) < minimumEdge)
            order.append(*it);
    }
    const QByteArray name = fileName(path);
    const QByteArray folder = cacheFolderBytes();
    for (const Size size : order) {
        QImage image = readMatching(
            folder + '/' + folderName(size) + '/' + name, path, modified, edgeOf(size), Repair::plainKeys);
        if (!image.isNull())
            return image;
    }
    return {};
}

bool write(QByteArrayView path, const Timestamp &modified, const QImage &image, Size size, const Details &details)
{
    if (image.isNull())
        return false;
    const int edge = edgeOf(size);
    QImage fitted = image;
    if (image.width() > edge || image.height() > edge)
        fitted = image.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QByteArray bytes = encodedPng(fitted, keysOf(path, modified, details));
    const QByteArray folder = cacheFolderBytes() + '/' + folderName(size);
    if (bytes.isEmpty() || !makeFolder(folder))
        return false;
    return writeAtomically(folder + '/' + fileName(path), bytes);
}

bool writeFailure(QByteArrayView path, const Timestamp &modified, const QString &version)
{
    QImage marker(1, 1, QImage::Format_ARGB32);
    marker.fill(Qt::transparent);
    const QByteArray bytes = encodedPng(marker, keysOf(path, modified, {}));
    const QByteArray folder = failureFolder(version);
    if (bytes.isEmpty() || !makeFolder(folder))
        return false;
    return writeAtomically(folder + '/' + fileName(path), bytes);
}

bool hasFailure(QByteArrayView path, const Timestamp &modified, const QString &version)
{
    const QByteArray folder = failureFolder(version);
    return !readMatching(folder + '/' + fileName(path), path, modified, edgeOf(Size::normal), Repair::none).isNull();
}

} // namespace ThumbnailStore
