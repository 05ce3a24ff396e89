#include "library/filekind.h"

#include <QHash>
#include <QMimeDatabase>
#include <QReadWriteLock>

namespace {

struct Row
{
    FileKind::Value kind;
    const char16_t *rawValue;
    const char16_t *symbol;
};

constexpr std::array<Row, 7> kRows{{
    {FileKind::images, u"Images", u"photo"},
    {FileKind::videos, u"Videos", u"play.rectangle"},
    {FileKind::music, u"Music", u"music.note"},
    {FileKind::documents, u"Documents", u"doc.text"},
    {FileKind::archives, u"Archives", u"archivebox"},
    {FileKind::apps, u"Apps", u"square.grid.2x2"},
    {FileKind::other, u"Other", u"doc"},
}};

// The fixed extension lists, searched in this order; the first list holding an extension wins.
// Installers of every platform are archives; "appimage" is an application file like "app".
const QHash<QString, FileKind::Value> &fixedExtensions()
{
    static const QHash<QString, FileKind::Value> table = [] {
        QHash<QString, FileKind::Value> t;
        const auto add = [&t](FileKind::Value kind, std::initializer_list<const char16_t *> extensions) {
            for (const char16_t *e : extensions) {
                const QString key = QString::fromUtf16(e);
                if (!t.contains(key))
                    t.insert(key, kind);
            }
        };
        add(FileKind::apps, {u"app", u"appimage"});
        add(FileKind::archives, {u"zip", u"gz", u"tar", u"rar", u"7z", u"dmg", u"pkg", u"bz2", u"xz", u"deb",
                                 u"rpm", u"flatpak", u"flatpakref", u"snap"});
        add(FileKind::images, {u"png", u"jpg", u"jpeg", u"heic", u"heif", u"gif", u"tiff", u"tif", u"webp", u"bmp",
                               u"svg", u"avif", u"raw", u"dng"});
        add(FileKind::videos, {u"mov", u"mp4", u"m4v", u"avi", u"mkv", u"webm", u"mpeg", u"mpg"});
        add(FileKind::music, {u"mp3", u"m4a", u"aac", u"wav", u"aiff", u"flac", u"ogg"});
        add(FileKind::documents, {u"pdf", u"txt", u"md", u"csv", u"json", u"html", u"doc", u"docx", u"xls", u"xlsx",
                                  u"ppt", u"pptx", u"pages", u"numbers", u"key", u"rtf"});
        return t;
    }();
    return table;
}

// A MIME type conforms to a family when its own name or any ancestor's says so
// (audio/ogg descends from application/ogg, not from an audio/ type).
FileKind::Value kindOfMimeType(const QMimeType &type)
{
    QStringList names = type.allAncestors();
    names.prepend(type.name());
    const auto any = [&names](auto predicate) { return std::any_of(names.cbegin(), names.cend(), predicate); };
    if (any([](const QString &n) { return n.startsWith(u"image/"); }))
        return FileKind::images;
    if (any([](const QString &n) { return n.startsWith(u"video/"); }))
        return FileKind::videos;
    if (any([](const QString &n) { return n.startsWith(u"audio/"); }))
        return FileKind::music;
    if (any([](const QString &n) { return n == u"text/plain"; }))
        return FileKind::documents;
    if (any([](const QString &n) { return n == u"application/pdf"; }))
        return FileKind::documents;
    return FileKind::other;
}

FileKind::Value kindFromDatabase(const QString &extension)
{
    static QReadWriteLock lock;
    static QHash<QString, FileKind::Value> cache;
    {
        QReadLocker reader(&lock);
        const auto it = cache.constFind(extension);
        if (it != cache.constEnd())
            return *it;
    }
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    const FileKind::Value kind = type.isValid() && !type.isDefault() ? kindOfMimeType(type) : FileKind::other;
    QWriteLocker writer(&lock);
    cache.insert(extension, kind);
    return kind;
}

QStringView extensionOf(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    // "name." has an empty extension, and so has ".profile": a leading dot starts a name.
    if (dot <= 0)
        return {};
    return name.mid(dot + 1);
}

} // namespace

QString FileKind::rawValue() const
{
    return QString::fromUtf16(kRows[m_value].rawValue);
}

QString FileKind::symbol() const
{
    return QString::fromUtf16(kRows[m_value].symbol);
}

std::optional<FileKind> FileKind::fromRawValue(QStringView rawValue)
{
    for (const Row &row : kRows) {
        if (rawValue == QStringView(row.rawValue))
            return FileKind(row.kind);
    }
    return std::nullopt;
}

FileKind FileKind::classify(QStringView fileName)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const QString extension = extensionOf(fileName.mid(slash + 1)).toString().toLower();
    if (extension.isEmpty())
        return other;
    const auto &table = fixedExtensions();
    const auto it = table.constFind(extension);
    if (it != table.constEnd())
        return *it;
    return kindFromDatabase(extension);
}

FileKind FileKind::classify(QByteArrayView path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return classify(QString::fromUtf8(path.sliced(slash + 1)));
}
