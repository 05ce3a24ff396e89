#include "analysis/text/xmltextcollector.h"

#include <QXmlStreamReader>

bool XmlTextCollector::collect(QByteArrayView xml, const XmlTextRules &rules, QString &text, qsizetype maxLength)
{
    QXmlStreamReader reader(QByteArray::fromRawData(xml.data(), xml.size()));
    int inScope = rules.scope.isEmpty() ? 1 : 0;
    int inText = rules.textElements.isEmpty() ? 1 : 0;
    int inSkipped = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QStringView name = reader.name();
            if (!rules.scope.isEmpty() && name == rules.scope)
                ++inScope;
            if (rules.skipped.contains(name.toString()))
                ++inSkipped;
            if (rules.textElements.contains(name.toString()))
                ++inText;
            if (inScope > 0 && inSkipped == 0) {
                if (rules.lineBreaks.contains(name.toString()))
                    text += QLatin1Char('\n');
                else if (rules.tabs.contains(name.toString()))
                    text += QLatin1Char('\t');
                else if (rules.spaces.contains(name.toString())) {
                    int count = 1;
                    for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                        if (attribute.name() == QLatin1String("c"))
                            count = qBound(1, attribute.value().toInt(), 1000);
                    }
                    text += QString(count, QLatin1Char(' '));
                }
            }
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QString name = reader.name().toString();
            if (inScope > 0 && inSkipped == 0 && rules.lineEnds.contains(name))
                text += QLatin1Char('\n');
            if (!rules.scope.isEmpty() && name == rules.scope)
                --inScope;
            if (rules.skipped.contains(name))
                --inSkipped;
            if (rules.textElements.contains(name))
                --inText;
            break;
        }
        case QXmlStreamReader::Characters:
            if (inScope == 0 || inText == 0 || inSkipped > 0)
                break;
            // Inside a text run every space counts; between markup, white space only separates.
            if (!reader.isWhitespace() || !rules.textElements.isEmpty())
                text += reader.text();
            else if (!text.isEmpty() && !text.back().isSpace())
                text += QLatin1Char(' ');
            break;
        default:
            break;
        }
        if (text.size() >= maxLength)
            return false;
    }
    return true;
}
