#pragma once

#include <QByteArray>

#include <optional>

// The "user.openvfs.data" extended attribute that OpenVFS-based sync clients put on
// placeholders: a MessagePack map whose "state" says whether the contents are local
// (0 hydrated, 1 dehydrated, 2 hydrating) and whose "size" is the file's real size.
struct OpenVfsPlaceholder
{
    static constexpr const char *kAttributeName = "user.openvfs.data";
    enum State : quint64 { hydrated = 0, dehydrated = 1, hydrating = 2 };

    std::optional<quint64> state;
    std::optional<quint64> size;

    bool isDehydrated() const { return state == dehydrated; }

    // Absent when the data is not a map of the expected shape.
    static std::optional<OpenVfsPlaceholder> parse(const QByteArray &data);
};
