#pragma once

#include <QString>
#include <QStringView>

#include <span>

// Maps the host a file was downloaded from to a short source name ("Gmail", "Slack").
namespace SourceCatalog {

struct Row
{
    const char16_t *host;
    const char16_t *name;
};

// The known hosts, searched in order; a sub-domain matches its parent's row.
std::span<const Row> rows();

// The catalogue name of `host`; unknown hosts come back lower-cased without a leading "www.".
QString name(QStringView host);

} // namespace SourceCatalog
