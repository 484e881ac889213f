// Nearest-neighbour enlargement of palette indices, with the screen's palette behind them.
#include "indexed_frame.h"

#include <cstring>

std::size_t IndexedFrameBytes(const OutputGeometry& g) {
  return static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height) + kIndexedPaletteBytes;
}

void ScaleFrameToIndexed(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* displayPalette,
                         std::uint8_t* frame) {
  std::uint8_t palette[kPaletteBytes];
  ScreenPalette(displayPalette, palette);
  // Palettes hold the same colour under several indices. FFmpeg's GIF encoder, shrinking the palette to the
  // colours a frame uses, maps some pixels of such a colour to a wrong entry; every pixel of one colour therefore
  // gets that colour's first index.
  std::uint8_t first[256];
  for (int i = 0; i < 256; ++i) {
    int j = 0;
    while (std::memcmp(palette + 3 * j, palette + 3 * i, 3) != 0) ++j;
    first[i] = static_cast<std::uint8_t>(j);
  }
  EnlargeThroughTable(scaler, indices, first, 1, frame);
  const std::size_t width = static_cast<std::size_t>(scaler.geometry.width);
  std::uint8_t* entries = frame + width * static_cast<std::size_t>(scaler.geometry.height);
  for (int i = 0; i < 256; ++i) {
    entries[4 * i] = palette[3 * i + 2];
    entries[4 * i + 1] = palette[3 * i + 1];
    entries[4 * i + 2] = palette[3 * i];
    entries[4 * i + 3] = 255;
  }
}
