// Placing the 320 x 200 frame in a picture of any size.
#include "core/output_geometry.h"

#include <algorithm>

namespace {

void Centre(OutputGeometry& g) {
  g.pictureX = (g.width - g.pictureWidth) / 2;
  g.pictureY = (g.height - g.pictureHeight) / 2;
  // Even corners keep the picture's edges on chroma sample boundaries.
  if (g.pictureX > 0) g.pictureX &= ~1;
  if (g.pictureY > 0) g.pictureY &= ~1;
}

}  // namespace

OutputGeometry MakeOutputGeometry(int scale, bool aspect43) {
  OutputGeometry g;
  g.width = g.pictureWidth = kScreenWidth * scale;
  g.height = g.pictureHeight = (aspect43 ? kScreenHeight * 6 / 5 : kScreenHeight) * scale;
  return g;
}

OutputGeometry FitOutputGeometry(int width, int height, bool cover, bool fourThirds) {
  // The picture's shape as a ratio of whole numbers, and the smallest picture whose screen pixels are all whole
  // output pixels of that shape (5 x 6 for 4:3, 1 x 1 for 16:10).
  const long shapeX = fourThirds ? 4 : 8, shapeY = fourThirds ? 3 : 5;
  const long unitX = fourThirds ? 1600 : 320, unitY = fourThirds ? 1200 : 200;
  OutputGeometry g;
  g.width = width;
  g.height = height;
  const bool wider = static_cast<long>(width) * shapeY >= static_cast<long>(height) * shapeX;
  if (wider != cover) {  // limited by the height
    g.pictureHeight = height;
    g.pictureWidth = static_cast<int>((static_cast<long>(height) * shapeX * 2 + shapeY) / (2 * shapeY));
  } else {
    g.pictureWidth = width;
    g.pictureHeight = static_cast<int>((static_cast<long>(width) * shapeY * 2 + shapeX) / (2 * shapeX));
  }
  if (!cover) {
    const long whole = std::min(width / unitX, height / unitY);
    if (whole >= 1 && whole * unitY * 10 >= static_cast<long>(g.pictureHeight) * 9) {
      g.pictureWidth = static_cast<int>(whole * unitX);
      g.pictureHeight = static_cast<int>(whole * unitY);
    }
  }
  if (g.pictureWidth < 1) g.pictureWidth = 1;
  if (g.pictureHeight < 1) g.pictureHeight = 1;
  Centre(g);
  return g;
}
