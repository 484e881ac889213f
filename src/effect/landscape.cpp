// The voxel landscape: each image column traced front to back over the height map, filled bottom-up.
#include "effect/landscape.h"

#include <cstring>

#include "host/effect_state.h"

int RenderLandscape(std::uint32_t textureOffset) {
  const TableSet& t = g_state.Tables;
  const std::uint8_t* const perspective = t.PerspectiveTable;
  const std::uint8_t* const fade = t.FadeTable;

  // Per depth step: the flat-ground row and the ConversionTable row of its height scale, so the inner loop
  // does no multiplication.
  std::uint8_t base[256];
  const std::uint8_t* scaled[256];
  for (int s = 0; s < 256; ++s) {
    base[s] = perspective[2 * s];
    scaled[s] = t.ConversionTable + perspective[2 * s + 1] * 256;
  }

  // The offset is 0..65535 by construction; the mask keeps the last texel read inside the doubled texture.
  const std::uint8_t* texels = t.TextureMap + (textureOffset & 0xFFFFu);
  const std::uint8_t* heights = t.HeightMap;
  std::uint8_t* write = t.LandscapeImage;  // moves only forward: every image byte is written once, in order
  for (int c = 0; c < 256; ++c, heights += 256, texels += 256) {
    std::uint8_t* const column = write;
    unsigned top = 0;
    for (int s = 0; s < 256; ++s) {
      const unsigned h = heights[s];
      const unsigned y = static_cast<std::uint8_t>(base[s] + scaled[s][h]);
      if (y > top) {
        std::memset(write, fade[texels[s] * 256u + h], y - top);
        write = column + y;
        top = y;
      }
    }
    std::memset(write, 0, 256 - top);
    write = column + 256;
  }
  return 0;
}
