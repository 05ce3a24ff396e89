#pragma once

#include <QString>

#include <optional>

// What reading one file gave. A plain value.
struct TextExtraction
{
    // At most 250,000 user-perceived characters; empty on failure.
    QString text;
    // Only part of the file's text was taken (a page, byte or character limit was reached).
    bool partial = false;
    // Absent on success; otherwise the reason, shown to the user as it stands.
    std::optional<QString> error;

    static TextExtraction failure(const QString &reason) { return { QString(), false, reason }; }

    bool operator==(const TextExtraction &) const = default;
};
