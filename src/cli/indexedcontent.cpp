#include "cli/indexedcontent.h"

#include "platform/xdgpaths.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace IndexedContent {

QString defaultFile()
{
    return XdgPaths::dataHome() + QStringLiteral("/Quillon/text-index.json");
}

QHash<QByteArray, QString> load(const QString &file)
{
    QHash<QByteArray, QString> entries;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return entries;
    const QJsonDocument document = QJsonDocument::fromJson(input.readAll());
    const QJsonObject members = document.object();
    entries.reserve(members.size());
    for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
        const QJsonValue text = it.value().toObject().value(QLatin1String("text"));
        if (text.isString())
            entries.insert(it.key().toUtf8(), text.toString());
    }
    return entries;
}

} // namespace IndexedContent
