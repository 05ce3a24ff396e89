#include "ui/sections/filepainter.h"

#include "library/bytecountformatter.h"
#include "ui/common/symbols.h"
#include "ui/common/theme.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>

namespace FilePainter {

namespace {

constexpr int kTextGap = 6;
constexpr int kButtonSide = 24;
// Between a tile's square and its thumbnail's box, on each side.
constexpr int kThumbnailInset = 4;

void paintThumbnail(QPainter &painter, const QRect &box, const FileRecord &file, const Look &look, qreal radius)
{
    QPainterPath clip;
    clip.addRoundedRect(box, radius, radius);
    painter.save();
    painter.setClipPath(clip);
    if (!look.thumbnail.isNull()) {
        const QSize fitted = look.thumbnail.size().scaled(box.size(), Qt::KeepAspectRatio);
        const QRect target(box.center().x() - fitted.width() / 2 + 1, box.center().y() - fitted.height() / 2 + 1,
            fitted.width(), fitted.height());
        painter.drawImage(target, look.thumbnail);
    } else {
        QColor wash = Theme::kindTint(file.kind, look.minimal);
        wash.setAlphaF(0.18f);
        painter.fillRect(box, wash);
        const int side = std::max(8, box.height() * 2 / 5);
        const QPixmap symbol = placeholder(file, side, look.minimal, painter.device()->devicePixelRatioF());
        painter.drawPixmap(QRect(box.center().x() - side / 2, box.center().y() - side / 2, side, side), symbol);
    }
    painter.restore();
}

QString dateText(const FileRecord &file, const QLocale &locale)
{
    return locale.toString(file.modified.toDateTime().toLocalTime().date(), QLocale::ShortFormat);
}

QColor secondary(const QPalette &palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6f);
    return color;
}

} // namespace

int tileHeight(int tileSide, const QFont &font)
{
    const QFontMetrics metrics(font);
    return tileSide + kTextGap + 2 * metrics.height() + 4;
}

QSize tileThumbnailBox(int tileSide)
{
    return QSize(tileSide - 2 * kThumbnailInset, tileSide - 2 * kThumbnailInset).expandedTo(QSize(1, 1));
}

QRect textButtonRect(const QRect &tile, int tileSide)
{
    const int left = tile.center().x() - tileSide / 2;
    return QRect(left + tileSide - kButtonSide - 6, tile.top() + tileSide - kButtonSide - 6, kButtonSide, kButtonSide);
}

RowColumns rowColumns(const QFont &font, const QLocale &locale)
{
    // Measured once per font and locale: rows are painted by the thousand.
    static QHash<QString, RowColumns> measured;
    const QString key = font.key() + u'|' + locale.name();
    if (const auto found = measured.constFind(key); found != measured.cend())
        return *found;
    const QFontMetrics metrics(font);
    const auto widest = [&metrics](const QStringList &texts) {
        int width = 0;
        for (const QString &text : texts)
            width = std::max(width, metrics.horizontalAdvance(text));
        return width + 2;
    };
    QStringList kinds;
    for (const FileKind kind : FileKind::allCases())
        kinds.append(kind.rawValue());
    QStringList sizes;
    // The longest text of each unit (bytes, KB, MB, then two decimals from GB on), and "Zero KB".
    for (const qint64 bytes : { qint64(0), qint64(999), qint64(999'000), qint64(999'900'000), qint64(999'990'000'000),
             qint64(999'990'000'000'000) })
        sizes.append(ByteCountFormatter::fileStyle(bytes, locale));
    // Two-digit days and months in a year with wide digits.
    const QString date = locale.toString(QDate(2088, 12, 28), QLocale::ShortFormat);
    const RowColumns columns { widest(kinds), widest(sizes), widest({ date }) };
    measured.insert(key, columns);
    return columns;
}

QString rowDescription(const FileRecord &file, const QLocale &locale)
{
    return file.kind.rawValue() + QStringLiteral(", ") + file.formattedSize() + QStringLiteral(", ")
        + dateText(file, locale);
}

bool hasTextButton(const FileRecord &file)
{
    return file.kind == FileKind::images && !file.isCloudOnly;
}

QPixmap tintedSymbol(QStringView symbol, int side, const QColor &color, qreal ratio)
{
    const QString key = QStringLiteral("tessary-symbol|") + symbol + u'|' + QString::number(side) + u'|'
        + color.name(QColor::HexArgb) + u'|' + QString::number(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = Symbols::symbolicIcon(symbol).pixmap(QSize(side, side), ratio);
    if (pixmap.isNull()) {
        pixmap = QPixmap(QSize(side, side) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
    }
    {
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRect(QPoint(0, 0), pixmap.deviceIndependentSize().toSize()), color);
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap placeholder(const FileRecord &file, int side, bool minimal, qreal ratio)
{
    if (file.isCloudOnly)
        return tintedSymbol(u"icloud", side, Theme::systemGrey(), ratio);
    return tintedSymbol(file.kind.symbol(), side, Theme::kindTint(file.kind, minimal), ratio);
}

void paintTile(QPainter &painter, const QRect &rect, const QPalette &palette, const FileRecord &file, const Look &look)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (look.selected) {
        QColor tint = Theme::accent();
        tint.setAlphaF(0.12f);
        painter.setPen(QPen(Theme::accent(), 2));
        painter.setBrush(tint);
        painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 10, 10);
    }
    const int side = std::min(look.tileSide, rect.width());
    const QRect thumb(rect.center().x() - side / 2 + 1, rect.top(), side, side);
    paintThumbnail(painter, thumb.adjusted(kThumbnailInset, kThumbnailInset, -kThumbnailInset, -kThumbnailInset), file,
        look, 8);

    if (file.isCloudOnly) {
        const QPixmap badge = tintedSymbol(u"icloud", 16, Theme::ink(palette), painter.device()->devicePixelRatioF());
        painter.drawPixmap(QRect(thumb.left() + 10, thumb.top() + 10, 16, 16), badge);
    } else if (hasTextButton(file)) {
        const QRect button = textButtonRect(rect, look.tileSide);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(QPalette::Base));
        painter.drawRoundedRect(button, 6, 6);
        painter.drawPixmap(button.adjusted(4, 4, -4, -4),
            tintedSymbol(u"text.viewfinder", button.width() - 8, Theme::ink(palette), painter.device()->devicePixelRatioF()));
    }

    const QFontMetrics metrics(painter.font());
    const QRect nameRect(rect.left() + 6, thumb.bottom() + kTextGap, rect.width() - 12, metrics.height());
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::AlignVCenter,
        metrics.elidedText(file.name(), Qt::ElideMiddle, nameRect.width()));
    painter.setPen(secondary(palette));
    painter.drawText(nameRect.translated(0, metrics.height()), Qt::AlignHCenter | Qt::AlignVCenter, file.formattedSize());
    painter.restore();
}

void paintRow(QPainter &painter, const QRect &rect, const QPalette &palette, const FileRecord &file, const Look &look,
    const QLocale &locale)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (look.selected) {
        QColor tint = Theme::accent();
        tint.setAlphaF(0.16f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        painter.drawRoundedRect(QRectF(rect).adjusted(0, 1, 0, -1), 6, 6);
    }
    const QRect thumb(rect.left() + 8, rect.center().y() - kRowThumb / 2 + 1, kRowThumb, kRowThumb);
    paintThumbnail(painter, thumb, file, look, 3);

    constexpr int kGap = 12;
    const RowColumns columns = rowColumns(painter.font(), locale);
    int right = rect.right() - 8;
    const QRect dateRect(right - columns.date, rect.top(), columns.date, rect.height());
    right -= columns.date + kGap;
    const QRect sizeRect(right - columns.size, rect.top(), columns.size, rect.height());
    right -= columns.size + kGap;
    const QRect kindRect(right - columns.kind, rect.top(), columns.kind, rect.height());
    right -= columns.kind + kGap;
    const QRect nameRect(thumb.right() + 10, rect.top(), std::max(0, right - thumb.right() - 10), rect.height());

    const QFontMetrics metrics(painter.font());
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
        metrics.elidedText(file.name(), Qt::ElideMiddle, nameRect.width()));
    painter.setPen(secondary(palette));
    painter.drawText(kindRect, Qt::AlignLeft | Qt::AlignVCenter, file.kind.rawValue());
    painter.drawText(sizeRect, Qt::AlignLeft | Qt::AlignVCenter, file.formattedSize());
    painter.drawText(dateRect, Qt::AlignLeft | Qt::AlignVCenter, dateText(file, locale));
    painter.restore();
}

} // namespace FilePainter
