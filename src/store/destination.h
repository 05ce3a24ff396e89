#pragma once

#include "library/filekind.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Where the main window is: a fixed place (Home, Recents, the large files, ...), one kind, one
// clean-up category, one library folder or one download source. A plain value compared by what
// it stands for, never by a label, so titles can change or be translated without breaking
// navigation. Safe on any thread.
//
// key() is its text form ("Home", "Images", "Old screenshots", "folder:" followed by a path,
// "source:" followed by a source name); fromKey() reads it back.
class Destination
{
public:
    enum class Place {
        home,
        recents,
        kind,
        largeFiles,
        screenshots,
        duplicates,
        cleanUp,
        downloadedFrom,
        cleanCategory,
        folder,
        source,
    };

    // Home.
    Destination() = default;
    static Destination home() { return Destination(Place::home); }
    static Destination recents() { return Destination(Place::recents); }
    static Destination largeFiles() { return Destination(Place::largeFiles); }
    static Destination screenshots() { return Destination(Place::screenshots); }
    static Destination duplicates() { return Destination(Place::duplicates); }
    static Destination cleanUp() { return Destination(Place::cleanUp); }
    static Destination downloadedFrom() { return Destination(Place::downloadedFrom); }
    static Destination ofKind(FileKind kind);
    // `category` counts from 0 in CleanCategories' order.
    static Destination cleanCategory(int category);
    // The files at or below `path` (its exact bytes).
    static Destination folder(const QByteArray &path);
    static Destination source(const QString &name);
    // The destination whose key() is `key`; none for any other text.
    static std::optional<Destination> fromKey(QStringView key);

    Place place() const { return m_place; }
    // The kind of Place::kind, the category of Place::cleanCategory, the path of Place::folder
    // and the name of Place::source; unspecified for the other places.
    FileKind kind() const { return m_kind; }
    int category() const { return m_category; }
    const QByteArray &folderPath() const { return m_folder; }
    const QString &sourceName() const { return m_source; }

    QString key() const;
    // The browser's title for it: the place's name, the kind's or category's name, the folder's
    // last path component, or the source's name.
    QString title() const;

    bool operator==(const Destination &) const = default;

private:
    explicit Destination(Place place)
        : m_place(place)
    { }

    Place m_place = Place::home;
    FileKind m_kind = FileKind::other;
    int m_category = -1;
    QByteArray m_folder;
    QString m_source;
};

// How the duplicates section compares files.
enum class DuplicateMode { exact, similar };
