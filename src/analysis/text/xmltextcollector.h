#pragma once

#include <QByteArrayView>
#include <QSet>
#include <QString>

// Gathers the readable text of an XML document part: character data (all of it, or only inside
// chosen elements) with line feeds and tabs where the layout elements say. Element names are
// local names, without namespace prefix. Malformed XML ends the collection with what was read.
struct XmlTextRules
{
    QSet<QString> textElements; // empty: character data anywhere inside `scope` counts
    QSet<QString> lineEnds; // a line feed after the element
    QSet<QString> lineBreaks; // an empty element standing for a line feed
    QSet<QString> tabs; // an empty element standing for a tab
    QSet<QString> spaces; // an empty element standing for spaces (count in attribute "c")
    QSet<QString> skipped; // elements whose content is never text (scripts, styles)
    QString scope; // when set, only text inside this element counts
};

class XmlTextCollector
{
public:
    // Appends to `text`; stops once `text` reaches `maxLength` code units and returns false then.
    static bool collect(QByteArrayView xml, const XmlTextRules &rules, QString &text, qsizetype maxLength);
};
