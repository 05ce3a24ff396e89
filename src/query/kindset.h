#pragma once

#include "library/filekind.h"

#include <QList>

// A set of file kinds, iterated in kind order. A plain value of one byte.
class KindSet
{
public:
    constexpr KindSet() = default;
    constexpr KindSet(std::initializer_list<FileKind::Value> kinds)
    {
        for (const FileKind::Value kind : kinds)
            insert(kind);
    }

    constexpr void insert(FileKind kind) { m_bits |= bit(kind); }
    constexpr void remove(FileKind kind) { m_bits &= ~bit(kind); }
    constexpr bool contains(FileKind kind) const { return (m_bits & bit(kind)) != 0; }
    constexpr bool isEmpty() const { return m_bits == 0; }

    QList<FileKind> toList() const
    {
        QList<FileKind> kinds;
        for (const FileKind kind : FileKind::allCases()) {
            if (contains(kind))
                kinds.append(kind);
        }
        return kinds;
    }

    constexpr bool operator==(const KindSet &) const = default;

private:
    static constexpr unsigned bit(FileKind kind) { return 1U << static_cast<unsigned>(FileKind::Value(kind)); }

    unsigned m_bits = 0;
};
