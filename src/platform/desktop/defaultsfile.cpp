#include "platform/desktop/defaultsfile.h"

#include "platform/privatefile.h"
#include "platform/systemerror.h"
#include "platform/uniquefd.h"
#include "platform/xdgpaths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Settings stay tiny; a file beyond this is not ours to load into memory.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

const QString kDateKey = QStringLiteral("date");
const QString kDataKey = QStringLiteral("data");

// The object held by the file, or an empty one when the file is missing, is not a regular file,
// cannot be read, or is not a JSON object.
QJsonObject readObject(const QByteArray &path)
{
    // O_NONBLOCK so that a FIFO in place of the file cannot hang the caller.
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st = {};
    if (!fd.isValid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize)
        return {};
    QByteArray data;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {};
        if (n == 0)
            break;
        data.append(buffer, n);
        if (data.size() > kMaxFileSize)
            return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    return error.error == QJsonParseError::NoError && document.isObject() ? document.object() : QJsonObject();
}

// Creates `folder` and any missing parents with mode 0700; an existing folder is fine.
bool makeFolders(const QByteArray &folder)
{
    if (folder.isEmpty() || ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST)
        return true;
    if (errno != ENOENT)
        return false;
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash <= 0 || !makeFolders(folder.left(slash)))
        return false;
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

// Replaces the file at `path` with `contents` atomically, creating its folder where missing.
// Returns the reason on failure.
std::optional<QString> replaceFile(const QByteArray &path, const QByteArray &contents)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolders(path.left(slash)))
        return SystemError::text(errno);
    return PrivateFile::replace(path, contents);
}

// {"date": "..."} or {"data": "..."}: the value under `key` of a one-member object.
std::optional<QString> taggedString(const QJsonValue &value, const QString &key)
{
    const QJsonObject object = value.toObject();
    if (!value.isObject() || object.size() != 1 || !object.value(key).isString())
        return std::nullopt;
    return object.value(key).toString();
}

std::optional<QByteArray> decodeData(const QJsonValue &value)
{
    const auto text = taggedString(value, kDataKey);
    if (!text)
        return std::nullopt;
    // Characters outside Latin-1 become '?', which the strict decoder refuses.
    auto decoded = QByteArray::fromBase64Encoding(text->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

} // namespace

DefaultsFile::DefaultsFile(QString path)
    : m_path(std::move(path))
    , m_values(readObject(QFile::encodeName(m_path)))
{ }

QString DefaultsFile::defaultPath()
{
    return XdgPaths::configHome() + QStringLiteral("/tessary/defaults.json");
}

std::optional<bool> DefaultsFile::boolean(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    return value.isBool() ? std::optional(value.toBool()) : std::nullopt;
}

std::optional<double> DefaultsFile::number(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

std::optional<qint64> DefaultsFile::integer(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    // toInteger() falls back to its argument for a fractional or out-of-range number; asking
    // with two different fallbacks tells such a number from a stored 0 or 1.
    if (!value.isDouble() || (value.toInteger(0) == 0 && value.toInteger(1) == 1))
        return std::nullopt;
    return value.toInteger();
}

std::optional<QString> DefaultsFile::string(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

std::optional<QStringList> DefaultsFile::stringList(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue element : value.toArray()) {
        if (!element.isString())
            return std::nullopt;
        list.append(element.toString());
    }
    return list;
}

std::optional<Timestamp> DefaultsFile::date(const QString &key) const
{
    const auto text = taggedString(m_values.value(key), kDateKey);
    return text ? Timestamp::fromIsoString(*text) : std::nullopt;
}

std::optional<QByteArrayList> DefaultsFile::dataList(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isArray())
        return std::nullopt;
    QByteArrayList list;
    for (const QJsonValue element : value.toArray()) {
        auto data = decodeData(element);
        if (!data)
            return std::nullopt;
        list.append(std::move(*data));
    }
    return list;
}

bool DefaultsFile::plainBoolean(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0;
    if (value.isString()) {
        const QString text = value.toString();
        for (const QLatin1String yes : { QLatin1String("true"), QLatin1String("yes"), QLatin1String("1") }) {
            if (text.compare(yes, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool DefaultsFile::setBoolean(const QString &key, bool value)
{
    return store(key, value);
}

bool DefaultsFile::setNumber(const QString &key, double value)
{
    if (!std::isfinite(value)) {
        m_lastError = QStringLiteral("The setting \"%1\" cannot hold a number that is not finite.").arg(key);
        return false;
    }
    return store(key, value);
}

bool DefaultsFile::setInteger(const QString &key, qint64 value)
{
    return store(key, value);
}

bool DefaultsFile::setString(const QString &key, const QString &value)
{
    return store(key, value);
}

bool DefaultsFile::setStringList(const QString &key, const QStringList &value)
{
    return store(key, QJsonArray::fromStringList(value));
}

bool DefaultsFile::setDate(const QString &key, const Timestamp &value)
{
    return store(key, QJsonObject { { kDateKey, value.toIsoString() } });
}

bool DefaultsFile::setDataList(const QString &key, const QByteArrayList &value)
{
    QJsonArray array;
    for (const QByteArray &data : value)
        array.append(QJsonObject { { kDataKey, QString::fromLatin1(data.toBase64()) } });
    return store(key, array);
}

bool DefaultsFile::store(const QString &key, const QJsonValue &value)
{
    m_values.insert(key, value);
    const QByteArray json = QJsonDocument(m_values).toJson(QJsonDocument::Indented);
    if (const auto error = replaceFile(QFile::encodeName(m_path), json)) {
        m_lastError = QStringLiteral("The settings could not be saved to %1: %2.").arg(m_path, *error);
        return false;
    }
    m_lastError.clear();
    return true;
}
