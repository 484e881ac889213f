// The tunnel mapper: every screen pixel takes the landscape byte its TunnelTable entry names.
#include "core/tunnel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Four pixels as one 32-bit word, little-endian: the first pixel is the lowest byte.
inline void StoreGroup(const std::uint8_t* image, const std::uint16_t* entry, std::uint8_t* out) {
  const std::uint32_t word =
      static_cast<std::uint32_t>(image[entry[0]]) | static_cast<std::uint32_t>(image[entry[1]]) << 8 |
      static_cast<std::uint32_t>(image[entry[2]]) << 16 | static_cast<std::uint32_t>(image[entry[3]]) << 24;
  std::memcpy(out, &word, 4);
}

}  // namespace

void MapTunnel(const TableSet& tables, const FrameOutput& frame) {
  const std::uint8_t* const image = tables.LandscapeImage;
  const std::uint16_t* entry = tables.TunnelTable;
  const int width = frame.Width;
  const int height = frame.Height;
  const std::ptrdiff_t pitch = frame.Pitch;
  const int groups = width > 0 ? width / 4 : 0;
  // The width is 320; should a surface ever be narrower than a whole group, its last pixels go one by one
  // rather than spilling past the row.
  const int rest = width > 0 ? width % 4 : 0;

  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = frame.Pixels + y * pitch;
    int g = 0;
    for (; g + 2 <= groups; g += 2, entry += 8, out += 8) {  // two groups an iteration: less loop overhead
      StoreGroup(image, entry, out);
      StoreGroup(image, entry + 4, out + 4);
    }
    for (; g < groups; ++g, entry += 4, out += 4) StoreGroup(image, entry, out);
    for (int k = 0; k < rest; ++k) *out++ = image[*entry++];
  }
}
