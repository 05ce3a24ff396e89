#pragma once

#include <QByteArray>
#include <QLocale>
#include <QStringView>

// The form in which search text is compared: lower case under the locale, case-folded (so that
// final and medial sigma, or long s and s, are one letter), composed (NFC), as UTF-8.
// Diacritics stay significant: "résumé" folds to itself and never to "resume".
//
// Folding the text and the word the same way turns a case-insensitive, locale-aware containment
// test into a byte substring search. Pure and thread-safe.
namespace TextFolding {

QByteArray fold(QStringView text, const QLocale &locale = QLocale());
// Appends the folded form of `text` to `out`.
void appendFolded(QByteArray &out, QStringView text, const QLocale &locale = QLocale());

} // namespace TextFolding
