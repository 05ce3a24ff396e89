#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The seven categories every file falls into, in the order of every picker and card.
class FileKind
{
public:
    enum Value { images, videos, music, documents, archives, apps, other };

    constexpr FileKind(Value value = other) : m_value(value) { }
    constexpr operator Value() const { return m_value; }

    static constexpr std::array<FileKind, 7> allCases() { return {images, videos, music, documents, archives, apps, other}; }

    // "Images", "Videos", ...: the label shown to the user and the identifier.
    QString rawValue() const;
    QString id() const { return rawValue(); }
    // Name of the icon that stands for the kind.
    QString symbol() const;
    // Exactly the seven raw values, case-sensitive.
    static std::optional<FileKind> fromRawValue(QStringView rawValue);

    // Decides the kind from the file name alone: the lower-cased last extension, looked up in
    // the fixed tables, then in the shared MIME database. Thread-safe.
    static FileKind classify(QStringView fileName);
    // The same for a path's exact bytes (its last component is the name).
    static FileKind classify(QByteArrayView path);

private:
    Value m_value;
};
