// One rendered frame (palette indices and the display palette) as the RGB picture the screen would show.
#pragma once
#include <cstdint>

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 200;
constexpr int kScreenPixels = kScreenWidth * kScreenHeight;
constexpr int kPaletteBytes = 768;

struct OutputGeometry {
  int scale = 1;          // whole enlargement factor, nearest neighbour
  bool aspect43 = false;  // stretch the height by 1.2, as a 4:3 monitor showed 320 x 200
  int width = kScreenWidth;
  int height = kScreenHeight;
};

// Fills width and height from scale and aspect43 (320K x 200K, or 320K x 240K with the 4:3 stretch).
OutputGeometry MakeOutputGeometry(int scale, bool aspect43);

// Writes width x height x 3 bytes of RGB: output row y shows screen row floor(y * 200 / height), output column
// x shows screen column x / scale. `palette` holds 256 red, green, blue triples (DisplayPalette); entries 0 and 255
// show black and white, as on the screen.
void ExpandFrame(const std::uint8_t* indices, const std::uint8_t* palette, const OutputGeometry& geometry,
                 std::uint8_t* rgb);
