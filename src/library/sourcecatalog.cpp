#include "library/sourcecatalog.h"

#include <array>

namespace SourceCatalog {

namespace {

constexpr std::array<Row, 15> kRows{{
    {u"mail.google.com", u"Gmail"},
    {u"gmail.com", u"Gmail"},
    {u"drive.google.com", u"Google Drive"},
    {u"slack.com", u"Slack"},
    {u"slack-files.com", u"Slack"},
    {u"chatgpt.com", u"ChatGPT"},
    {u"openai.com", u"ChatGPT"},
    {u"canva.com", u"Canva"},
    {u"github.com", u"GitHub"},
    {u"githubusercontent.com", u"GitHub"},
    {u"whatsapp.com", u"WhatsApp"},
    {u"whatsapp.net", u"WhatsApp"},
    {u"twitter.com", u"X"},
    {u"x.com", u"X"},
    {u"pinterest.com", u"Pinterest"},
}};

bool matches(QStringView host, QStringView rowHost)
{
    if (host == rowHost)
        return true;
    return host.size() > rowHost.size() && host.endsWith(rowHost) && host[host.size() - rowHost.size() - 1] == u'.';
}

} // namespace

std::span<const Row> rows()
{
    return kRows;
}

QString name(QStringView host)
{
    const QString lower = host.toString().toLower();
    for (const Row &row : kRows) {
        if (matches(lower, QStringView(row.host)))
            return QString::fromUtf16(row.name);
    }
    if (lower.startsWith(u"www."))
        return lower.mid(4);
    return lower;
}

} // namespace SourceCatalog
