#pragma once

#include "library/filerecord.h"

#include <QImage>
#include <QLocale>
#include <QRect>

class QPainter;
class QPalette;
class QFont;

// Draws one file as a grid tile or a list row, for the browser's delegate and for the single-file
// widgets alike, so both look the same. Main thread only (tinted icons live in QPixmapCache).
namespace FilePainter {

// Rows: a 35-point thumbnail, the name, then the kind, size and date columns.
constexpr int kRowHeight = 43;
constexpr int kRowThumb = 35;

// The widths of a row's kind, size and date columns: each fits its widest text in `font`.
struct RowColumns
{
    int kind = 0;
    int size = 0;
    int date = 0;
};
RowColumns rowColumns(const QFont &font, const QLocale &locale);
// What a row shows besides the name, for assistive technologies: "Documents, 80 KB, 1/5/24".
QString rowDescription(const FileRecord &file, const QLocale &locale);

struct Look
{
    int tileSide = 170;
    bool selected = false;
    bool minimal = false;
    // The thumbnail when it is loaded; a null image draws the placeholder.
    QImage thumbnail;
};

// Height of a tile whose thumbnail is `tileSide` square: the thumbnail, the name and the size.
int tileHeight(int tileSide, const QFont &font);
// The box, in points, a thumbnail is painted into: in a tile `tileSide` wide, or in a row.
QSize tileThumbnailBox(int tileSide);
constexpr QSize kRowThumbnailBox {kRowThumb, kRowThumb};
// Where a tile's "Copy image text" button sits inside a tile drawn in `tile`.
QRect textButtonRect(const QRect &tile, int tileSide);
// Whether the tile of `file` has that button: local images only.
bool hasTextButton(const FileRecord &file);

void paintTile(QPainter &painter, const QRect &rect, const QPalette &palette, const FileRecord &file, const Look &look);
void paintRow(QPainter &painter, const QRect &rect, const QPalette &palette, const FileRecord &file, const Look &look,
    const QLocale &locale);

// The kind's symbol in its tint (grey when minimal), or "icloud" for a cloud-only file, at
// `side` points.
QPixmap placeholder(const FileRecord &file, int side, bool minimal, qreal ratio);
// `symbol` drawn in a single colour, kept in the application's pixmap cache.
QPixmap tintedSymbol(QStringView symbol, int side, const QColor &color, qreal ratio);

} // namespace FilePainter
