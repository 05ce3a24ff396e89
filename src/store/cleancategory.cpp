#include "store/cleancategory.h"

#include "library/asciibytes.h"
#include "query/calendar.h"

#include <algorithm>

namespace CleanCategories {
namespace {

struct Row
{
    const char16_t *title;
    const char16_t *symbol;
};

constexpr std::array<Row, kCount> kRows = { {
    { u"Old installers", u"shippingbox" },
    { u"Old screenshots", u"camera.viewfinder" },
    { u"Large files", u"externaldrive" },
    { u"Forgotten downloads", u"arrow.down.circle" },
    { u"Big old videos", u"film" },
    { u"Unused apps", u"app.dashed" },
    { u"Old archives", u"archivebox" },
} };

constexpr std::array<const char *, 7> kInstallerExtensions { "dmg", "pkg", "deb", "rpm", "flatpak", "flatpakref",
    "snap" };

} // namespace

QString title(int category)
{
    return QString::fromUtf16(kRows.at(category).title);
}

QString symbol(int category)
{
    return QString::fromUtf16(kRows.at(category).symbol);
}

int indexOf(QStringView text)
{
    for (int i = 0; i < kCount; ++i)
        if (text == QStringView(kRows[i].title))
            return i;
    return -1;
}

QString extension(const FileRecord &file)
{
    const qsizetype slash = file.path.lastIndexOf('/');
    const qsizetype dot = file.path.lastIndexOf('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot <= slash + 1)
        return {};
    return QString::fromUtf8(file.path.mid(dot + 1)).toLower();
}

bool isInstallerExtension(const QString &extension)
{
    return std::any_of(kInstallerExtensions.cbegin(), kInstallerExtensions.cend(),
        [&extension](const char *installer) { return extension == QLatin1StringView(installer); });
}

bool hasInstallerExtension(const FileRecord &file)
{
    const qsizetype slash = file.path.lastIndexOf('/');
    const qsizetype dot = file.path.lastIndexOf('.');
    if (dot <= slash + 1)
        return false;
    // An extension of ASCII bytes is compared as bytes, ignoring ASCII case; another one is
    // lower-cased by Qt first, under which a few letters beyond ASCII become ASCII ones.
    const QByteArrayView bytes = QByteArrayView(file.path).sliced(dot + 1);
    if (!AsciiBytes::isAscii(bytes))
        return isInstallerExtension(extension(file));
    return std::any_of(kInstallerExtensions.cbegin(), kInstallerExtensions.cend(), [bytes](const char *installer) {
        return bytes.size() == qsizetype(qstrlen(installer))
            && qstrnicmp(bytes.data(), installer, size_t(bytes.size())) == 0;
    });
}

Facts factsOf(const FileRecord &file)
{
    return { hasInstallerExtension(file), file.isScreenshot(), file.isDownload() };
}

bool contains(int category, const FileRecord &file, const Timestamp &cutoff)
{
    return contains(category, file, factsOf(file), cutoff);
}

Membership membership(int category, const FileRecord &file, const Facts &facts)
{
    switch (category) {
    case 0:
        return { facts.installer, file.modified };
    case 1:
        return { facts.screenshot, file.modified };
    case 2:
        return { file.size > kLargeFileBytes, std::nullopt };
    case 3:
        return { facts.download, file.added.value_or(file.created) };
    case 4:
        return { file.kind == FileKind::videos && file.size > kLargeFileBytes, file.modified };
    case 5:
        return { file.kind == FileKind::apps && file.lastUsed.has_value(), file.lastUsed };
    case 6:
        return { file.kind == FileKind::archives && !facts.installer, file.modified };
    default:
        return {};
    }
}

bool contains(int category, const FileRecord &file, const Facts &facts, const Timestamp &cutoff)
{
    const Membership member = membership(category, file, facts);
    return member.qualifies && (!member.age || *member.age < cutoff);
}

Timestamp cutoff(const Timestamp &now)
{
    return Calendar::current().adding(Calendar::Unit::days, -kAgeDays, now).value_or(Timestamp::distantPast());
}

} // namespace CleanCategories
