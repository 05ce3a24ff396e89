#pragma once

#include <QLocale>
#include <QString>

// Byte counts as file managers show them: decimal units (1 KB = 1,000 bytes), whole kilobytes,
// one fraction digit for megabytes and two from gigabytes up, trailing zeros dropped;
// "Zero KB" for nothing and "1 byte" / "N bytes" below a kilobyte.
namespace ByteCountFormatter {
QString fileStyle(qint64 bytes, const QLocale &locale = QLocale());
}
