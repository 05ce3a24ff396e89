#pragma once

#include <QImage>
#include <QSize>

// Makes large images small by halving them, each pixel the average of a 2 x 2 block: the areas a
// smooth scaling averages, for a fraction of its work on a large image. A smooth scaling of the
// halved image to the exact size then has little left to do.
namespace ImageHalving {

// `image` halved as long as the result still covers `size` (an odd last row or column is
// dropped), in a 32-bit format whose channels average: premultiplied where there is
// transparency. Unchanged when one halving would already fall short, or `size` is empty.
QImage halvedWhileCovering(QImage image, QSize size);

} // namespace ImageHalving
