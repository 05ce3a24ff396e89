#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Builds zip files in memory for the office-format tests: each member stored or deflated.
namespace TestZip {
QByteArray build(const QList<std::pair<QString, QByteArray>> &members, bool deflate = true);
}
