// Palette lookup and nearest-neighbour enlargement of a 320 x 200 frame.
#include "frame_image.h"

#include <cstring>

OutputGeometry MakeOutputGeometry(int scale, bool aspect43) {
  OutputGeometry g;
  g.scale = scale;
  g.aspect43 = aspect43;
  g.width = kScreenWidth * scale;
  g.height = (aspect43 ? kScreenHeight * 6 / 5 : kScreenHeight) * scale;
  return g;
}

void ExpandFrame(const std::uint8_t* indices, const std::uint8_t* displayPalette, const OutputGeometry& geometry,
                 std::uint8_t* rgb) {
  // The plug-in's palette is created with 8-bit entries only, not with all 256 definable, so the display keeps
  // entry 0 black and entry 255 white whatever the palette holds; the picture shows what the screen showed.
  std::uint8_t palette[kPaletteBytes];
  std::memcpy(palette, displayPalette, kPaletteBytes);
  std::memset(palette, 0, 3);
  std::memset(palette + kPaletteBytes - 3, 255, 3);
  const std::size_t rowBytes = static_cast<std::size_t>(geometry.width) * 3;
  int previousSource = -1;
  for (int y = 0; y < geometry.height; ++y) {
    const int sourceRow = static_cast<int>(static_cast<long>(y) * kScreenHeight / geometry.height);
    std::uint8_t* out = rgb + static_cast<std::size_t>(y) * rowBytes;
    if (sourceRow == previousSource) {
      std::memcpy(out, out - rowBytes, rowBytes);
      continue;
    }
    previousSource = sourceRow;
    const std::uint8_t* in = indices + sourceRow * kScreenWidth;
    for (int x = 0; x < kScreenWidth; ++x) {
      const std::uint8_t* colour = palette + 3 * in[x];
      for (int k = 0; k < geometry.scale; ++k) {
        *out++ = colour[0];
        *out++ = colour[1];
        *out++ = colour[2];
      }
    }
  }
}
