#pragma once

#include "library/filerecord.h"
#include "platform/timestamp.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

// One clean-up suggestion: a title, the name of its icon and the files it holds, in library
// order. A plain value.
struct CleanCategory
{
    QString title;
    QString symbol;
    QList<FileRecord> files;
    bool operator==(const CleanCategory &) const = default;
};

// The seven fixed suggestions and the rule of each. Pure; safe on any thread.
namespace CleanCategories {
constexpr int kCount = 7;
constexpr qint64 kLargeFileBytes = 100'000'000;
constexpr int kAgeDays = 90;

QString title(int category);
QString symbol(int category);
// The index of the category titled `title`, or -1.
int indexOf(QStringView title);
// What the rules need to know of a file besides its dates, sizes and kind; costly to find out
// (each reads the name or path), so views over many files compute it once per scan.
struct Facts
{
    bool installer = false; // its extension is an installer's
    bool screenshot = false;
    bool download = false;
};
Facts factsOf(const FileRecord &file);
// What decides whether `file` belongs to `category`, apart from the cutoff: whether it qualifies,
// and the date that must lie strictly before the cutoff (none where age does not matter).
struct Membership
{
    bool qualifies = false;
    std::optional<Timestamp> age;
};
Membership membership(int category, const FileRecord &file, const Facts &facts);
// Whether `file` belongs to `category`; older means strictly before `cutoff`.
bool contains(int category, const FileRecord &file, const Timestamp &cutoff);
bool contains(int category, const FileRecord &file, const Facts &facts, const Timestamp &cutoff);
// Now minus 90 days in the user's calendar; the distant past when that cannot be computed.
Timestamp cutoff(const Timestamp &now);
// The lower-cased extension of the file's name, empty without one.
QString extension(const FileRecord &file);
// dmg, pkg and the Linux package formats.
bool isInstallerExtension(const QString &extension);
// Whether the file's extension, in any case, is one of those.
bool hasInstallerExtension(const FileRecord &file);
} // namespace CleanCategories
