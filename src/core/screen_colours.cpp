// The screen's palette as bytes and as video colours.
#include "core/screen_colours.h"

#include <cmath>
#include <cstring>

#include "core/output_geometry.h"

// The plug-in's palette is created with 8-bit entries only, not with all 256 definable, so the display keeps
// entry 0 black and entry 255 white whatever the palette holds; the picture shows what the screen showed.
void ScreenPalette(const std::uint8_t* displayPalette, std::uint8_t* palette) {
  std::memcpy(palette, displayPalette, kPaletteBytes);
  std::memset(palette, 0, 3);
  std::memset(palette + kPaletteBytes - 3, 255, 3);
}

void MakeYuvPalette(const std::uint8_t* displayPalette, YuvPalette& yuv) {
  std::uint8_t palette[kPaletteBytes];
  ScreenPalette(displayPalette, palette);
  for (int i = 0; i <= 256; ++i) {
    const double r = i < 256 ? palette[3 * i] : 0, g = i < 256 ? palette[3 * i + 1] : 0,
                 b = i < 256 ? palette[3 * i + 2] : 0;
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    yuv.luma[i] = static_cast<int>(std::lround(16 + luma * 219.0 / 255.0));
    yuv.blue[i] = static_cast<int>(std::lround(4 * (128 + (b - luma) / 1.8556 * 224.0 / 255.0)));
    yuv.red[i] = static_cast<int>(std::lround(4 * (128 + (r - luma) / 1.5748 * 224.0 / 255.0)));
  }
}
