#include "library/bytecountformatter.h"

#include <array>
#include <cmath>

namespace ByteCountFormatter {

QString fileStyle(qint64 bytes, const QLocale &locale)
{
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    const bool negative = bytes < 0;
    const double magnitude = std::fabs(static_cast<double>(bytes));
    const QString sign = negative ? QStringLiteral("-") : QString();
    if (magnitude < 1000) {
        const qint64 count = negative ? -bytes : bytes;
        return sign + locale.toString(count) + (count == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    }

    struct Unit
    {
        const char16_t *name;
        int fractionDigits;
    };
    constexpr std::array<Unit, 6> units{{{u"KB", 0}, {u"MB", 1}, {u"GB", 2}, {u"TB", 2}, {u"PB", 2}, {u"EB", 2}}};
    double value = magnitude / 1000;
    std::size_t index = 0;
    for (;;) {
        const double scale = std::pow(10.0, units[index].fractionDigits);
        const double rounded = std::round(value * scale) / scale;
        // 999.96 MB rounds to 1,000 MB: show it as 1 GB instead.
        if (rounded < 1000 || index + 1 == units.size()) {
            value = rounded;
            break;
        }
        value /= 1000;
        ++index;
    }
    QString number = locale.toString(value, 'f', units[index].fractionDigits);
    if (units[index].fractionDigits > 0) {
        const QString point = locale.decimalPoint();
        if (number.contains(point)) {
            while (number.endsWith(locale.zeroDigit()))
                number.chop(locale.zeroDigit().size());
            if (number.endsWith(point))
                number.chop(point.size());
        }
    }
    return sign + number + u' ' + QString::fromUtf16(units[index].name);
}

} // namespace ByteCountFormatter
