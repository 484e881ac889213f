// The placement arithmetic of the player's window.
#include "picture_fit.h"

#include <algorithm>

#include "frame_image.h"

PictureRect FitPicture(int windowWidth, int windowHeight, bool smooth) {
  PictureRect r;
  if (windowWidth <= 0 || windowHeight <= 0) return r;
  const int k = std::min(windowWidth / kScreenWidth, windowHeight / 240);
  if (!smooth && k >= 1) {
    r.width = kScreenWidth * k;
    r.height = 240 * k;
  } else {
    r.width = std::min(windowWidth, windowHeight * 4 / 3);
    r.height = std::min(windowHeight, r.width * 3 / 4);
  }
  r.x = (windowWidth - r.width) / 2;
  r.y = (windowHeight - r.height) / 2;
  return r;
}
