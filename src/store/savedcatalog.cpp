#include "store/savedcatalog.h"

#include "analysis/sha256.h"
#include "platform/privatefile.h"
#include "platform/uniquefd.h"
#include "platform/xdgpaths.h"

#include <QFile>
#include <QHash>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr char kMagic[] = "TESSARY CATALOG\n";
constexpr qsizetype kMagicSize = sizeof kMagic - 1;
constexpr qsizetype kDigestSize = 32;
// The smallest record takes more than this many bytes: a bound on counts read from the file.
constexpr qsizetype kMinimalRecordBytes = 16;
// The largest file read (a catalogue of the 50,000-file limit takes a few megabytes).
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

enum Flag : quint16 {
    cloudOnly = 1 << 0,
    package = 1 << 1,
    hasSource = 1 << 2,
    hasIdentity = 1 << 3,
    addedIsCreated = 1 << 4,
    hasAdded = 1 << 5,
    hasLastUsed = 1 << 6,
    hasCamera = 1 << 7,
    hasDimensions = 1 << 8,
    hasDuration = 1 << 9,
    hasSpotlightText = 1 << 10,
};

class Writer
{
public:
    template <typename T> void number(T value)
    {
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        m_data.append(bytes, qsizetype(sizeof value));
    }
    void bytes(QByteArrayView data)
    {
        number(quint32(data.size()));
        m_data.append(data);
    }
    void text(const QString &value) { bytes(value.toUtf8()); }
    void time(const Timestamp &value)
    {
        number(qint64(value.unixSeconds()));
        number(qint32(value.nanoseconds()));
    }
    QByteArray &data() { return m_data; }

private:
    QByteArray m_data;
};

// Reads values in order; after the first read past the end every read fails and ok() is false.
class Reader
{
public:
    explicit Reader(QByteArrayView data)
        : m_data(data)
    { }
    template <typename T> T number()
    {
        T value {};
        if (!take(qsizetype(sizeof value)))
            return value;
        std::memcpy(&value, m_data.data() + m_at - qsizetype(sizeof value), sizeof value);
        return value;
    }
    QByteArrayView bytes()
    {
        const auto size = qsizetype(number<quint32>());
        if (!take(size))
            return {};
        return m_data.sliced(m_at - size, size);
    }
    QString text() { return QString::fromUtf8(bytes()); }
    Timestamp time()
    {
        const auto seconds = number<qint64>();
        const auto nanoseconds = number<qint32>();
        if (nanoseconds < 0 || nanoseconds >= Timestamp::kNanosecondsPerSecond)
            m_ok = false;
        return Timestamp::fromUnix(seconds, nanoseconds);
    }
    // A count of items of at least `itemBytes` each, refused when the rest cannot hold them.
    qsizetype count(qsizetype itemBytes)
    {
        const auto value = qsizetype(number<quint32>());
        if (value > (m_data.size() - m_at) / itemBytes)
            m_ok = false;
        return m_ok ? value : 0;
    }
    void fail() { m_ok = false; }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_data.size(); }

private:
    bool take(qsizetype size)
    {
        if (!m_ok || size < 0 || size > m_data.size() - m_at) {
            m_ok = false;
            return false;
        }
        m_at += size;
        return true;
    }

    QByteArrayView m_data;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// Sources, cameras, sizes and tags repeat across records: each text is written once.
class TextTable
{
public:
    quint32 indexOf(const QString &text)
    {
        const auto found = m_indexes.constFind(text);
        if (found != m_indexes.cend())
            return *found;
        const auto index = quint32(m_texts.size());
        m_indexes.insert(text, index);
        m_texts.append(text);
        return index;
    }
    const QStringList &texts() const { return m_texts; }

private:
    QHash<QString, quint32> m_indexes;
    QStringList m_texts;
};

qsizetype commonPrefix(const QByteArray &a, const QByteArray &b)
{
    const qsizetype limit = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < limit && a[i] == b[i])
        ++i;
    return i;
}

void encodeRecord(Writer &out, TextTable &table, const FileRecord &file, const QByteArray &previousPath)
{
    // Paths share long beginnings with the one before them in scan order.
    const qsizetype shared = commonPrefix(file.path, previousPath);
    out.number(quint32(shared));
    out.bytes(QByteArrayView(file.path).sliced(shared));
    out.number(quint8(FileKind::Value(file.kind)));
    quint16 flags = 0;
    flags |= file.isCloudOnly ? cloudOnly : 0;
    flags |= file.isPackage ? package : 0;
    flags |= file.source ? hasSource : 0;
    flags |= file.identity ? hasIdentity : 0;
    flags |= file.added && *file.added == file.created ? addedIsCreated : 0;
    flags |= file.added && *file.added != file.created ? hasAdded : 0;
    flags |= file.lastUsed ? hasLastUsed : 0;
    flags |= file.camera ? hasCamera : 0;
    flags |= file.dimensions ? hasDimensions : 0;
    flags |= file.duration ? hasDuration : 0;
    flags |= file.spotlightText.isEmpty() ? 0 : hasSpotlightText;
    out.number(flags);
    out.number(qint64(file.size));
    out.time(file.modified);
    out.time(file.created);
    if (file.source)
        out.number(table.indexOf(*file.source));
    if (file.identity)
        out.text(*file.identity);
    if (file.added && *file.added != file.created)
        out.time(*file.added);
    if (file.lastUsed)
        out.time(*file.lastUsed);
    out.number(quint32(file.tags.size()));
    for (const QString &tag : file.tags)
        out.number(table.indexOf(tag));
    if (file.camera)
        out.number(table.indexOf(*file.camera));
    if (file.dimensions)
        out.number(table.indexOf(*file.dimensions));
    if (file.duration)
        out.number(*file.duration);
    if (!file.spotlightText.isEmpty())
        out.text(file.spotlightText);
}

bool decodeRecord(Reader &in, const QStringList &table, FileRecord &file, const QByteArray &previousPath)
{
    const auto tableText = [&in, &table]() -> QString {
        const auto index = qsizetype(in.number<quint32>());
        if (index >= table.size()) {
            in.fail();
            return {};
        }
        return table[index];
    };
    const auto shared = qsizetype(in.number<quint32>());
    const QByteArrayView rest = in.bytes();
    if (shared > previousPath.size())
        return false;
    file.path.reserve(shared + rest.size());
    file.path.append(QByteArrayView(previousPath).first(shared)).append(rest);
    const auto kind = in.number<quint8>();
    if (kind > quint8(FileKind::other))
        return false;
    file.kind = FileKind::Value(kind);
    const auto flags = in.number<quint16>();
    file.isCloudOnly = flags & cloudOnly;
    file.isPackage = flags & package;
    file.size = in.number<qint64>();
    file.modified = in.time();
    file.created = in.time();
    if (flags & hasSource)
        file.source = tableText();
    if (flags & hasIdentity)
        file.identity = in.text();
    if (flags & addedIsCreated)
        file.added = file.created;
    else if (flags & hasAdded)
        file.added = in.time();
    if (flags & hasLastUsed)
        file.lastUsed = in.time();
    const qsizetype tags = in.count(sizeof(quint32));
    file.tags.reserve(tags);
    for (qsizetype i = 0; i < tags; ++i)
        file.tags.append(tableText());
    if (flags & hasCamera)
        file.camera = tableText();
    if (flags & hasDimensions)
        file.dimensions = tableText();
    if (flags & hasDuration)
        file.duration = in.number<double>();
    if (flags & hasSpotlightText)
        file.spotlightText = in.text();
    return in.ok() && !file.path.isEmpty();
}

Sha256::Digest digestOf(QByteArrayView data)
{
    Sha256 sha;
    sha.update(data.data(), std::size_t(data.size()));
    return sha.finish();
}

} // namespace

QString SavedCatalog::defaultFile()
{
    return XdgPaths::applicationCache() + QStringLiteral("/library-catalog");
}

QByteArray SavedCatalog::encode(const Contents &contents)
{
    TextTable table;
    Writer records;
    QByteArray previous;
    for (const FileRecord &file : contents.files) {
        encodeRecord(records, table, file, previous);
        previous = file.path;
    }

    Writer out;
    out.data().reserve(records.data().size() + 4096);
    out.data().append(kMagic, kMagicSize);
    out.number(kVersion);
    out.number(quint32(contents.roots.size()));
    for (const QByteArray &root : contents.roots)
        out.bytes(root);
    out.number(qint32(contents.errors));
    out.number(quint8(contents.truncated ? 1 : 0));
    out.number(quint32(table.texts().size()));
    for (const QString &text : table.texts())
        out.text(text);
    out.number(quint32(contents.files.size()));
    out.data().append(records.data());
    const Sha256::Digest digest = digestOf(out.data());
    out.data().append(reinterpret_cast<const char *>(digest.data()), kDigestSize);
    return std::move(out.data());
}

std::optional<SavedCatalog::Contents> SavedCatalog::decode(QByteArrayView data, const QByteArrayList &roots)
{
    if (data.size() < kMagicSize + kDigestSize || data.first(kMagicSize) != QByteArrayView(kMagic, kMagicSize))
        return std::nullopt;
    const QByteArrayView body = data.first(data.size() - kDigestSize);
    const Sha256::Digest digest = digestOf(body);
    if (std::memcmp(digest.data(), data.data() + body.size(), kDigestSize) != 0)
        return std::nullopt;

    Reader in(body.sliced(kMagicSize));
    if (in.number<quint32>() != kVersion)
        return std::nullopt;
    Contents contents;
    const qsizetype rootCount = in.count(sizeof(quint32));
    for (qsizetype i = 0; i < rootCount; ++i)
        contents.roots.append(in.bytes().toByteArray());
    if (!in.ok() || contents.roots != roots)
        return std::nullopt;
    contents.errors = in.number<qint32>();
    contents.truncated = in.number<quint8>() != 0;
    const qsizetype textCount = in.count(sizeof(quint32));
    QStringList table;
    table.reserve(textCount);
    for (qsizetype i = 0; i < textCount; ++i)
        table.append(in.text());
    const qsizetype fileCount = in.count(kMinimalRecordBytes);
    contents.files.resize(fileCount);
    QByteArray previous;
    for (qsizetype i = 0; i < fileCount; ++i) {
        if (!decodeRecord(in, table, contents.files[i], previous))
            return std::nullopt;
        previous = contents.files[i].path;
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return contents;
}

std::optional<QString> SavedCatalog::save(const QString &file, const Contents &contents)
{
    const QByteArray path = QFile::encodeName(file);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0)
        if (std::optional<QString> error = PrivateFile::makeFolder(path.left(slash)))
            return error;
    return PrivateFile::replace(path, encode(contents));
}

std::optional<SavedCatalog::Contents> SavedCatalog::load(const QString &file, const QByteArrayList &roots)
{
    const UniqueFd fd(::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat status
    {
    };
    if (!fd.isValid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kMaxFileBytes)
        return std::nullopt;
    QByteArray data(qsizetype(status.st_size), Qt::Uninitialized);
    qsizetype at = 0;
    while (at < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + at, std::size_t(data.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        at += n;
    }
    return decode(data, roots);
}
