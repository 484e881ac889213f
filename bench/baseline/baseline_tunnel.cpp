// Baseline copy of today's tunnel stage, for the frame benchmark only (see baseline_frame.h).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "baseline/baseline_frame.h"

namespace baseline {

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
    for (int g = 0; g < groups; ++g, entry += 4, out += 4) {
      const std::uint32_t word =
          static_cast<std::uint32_t>(image[entry[0]]) | static_cast<std::uint32_t>(image[entry[1]]) << 8 |
          static_cast<std::uint32_t>(image[entry[2]]) << 16 | static_cast<std::uint32_t>(image[entry[3]]) << 24;
      std::memcpy(out, &word, 4);  // little-endian: the first pixel is the lowest byte
    }
    for (int k = 0; k < rest; ++k) *out++ = image[*entry++];
  }
}

}  // namespace baseline
