// The tunnel's mapping evaluated at every pixel of a picture of any size: which landscape texels a pixel shows
// and how much of each, built once per size.
#pragma once
#include <cstdint>

// How a pixel takes its colour from the landscape image.
enum class HdSampling {
  Nearest,   // the one texel the tunnel table would name: the 320 x 200 frame's look, enlarged
  Bilinear,  // the four texels around the pixel's point, weighted by distance: soft
  Sharp,     // bilinear only across the last output pixel before a texel's edge: crisp texels, smooth edges
};

// Where a picture lies over the 320 x 200 frame: output pixel x covers frame columns originX + x * stepX up to
// originX + (x + 1) * stepX (frame pixel c spanning c .. c + 1), and rows likewise.
struct HdView {
  double originX = 0, originY = 0;
  double stepX = 1, stepY = 1;
};

// The frame centred in a width x height picture at the largest size that shows all of it (`cover`: the smallest
// that fills the picture), the rest of the picture showing the tunnel further out. pixelAspect is the height of a
// frame pixel over its width: 1 for square pixels, kFourThirdsPixelAspect for the 4:3 screen that showed 320 x 200.
constexpr double kFourThirdsPixelAspect = 1.2;
HdView CentredHdView(int width, int height, double pixelAspect, bool cover);

// Entry of one pixel: bits 0..15 the landscape index (column * 256 + row) of the texel up and left of its point,
// bits 16..23 the weight (of 128) of the next row, bits 24..31 that of the next column (wrapping round to
// column 0). The row is at most 254 wherever the next row has a weight; Nearest entries are the tunnel table's own
// with both weights 0.
constexpr int kHdWeightOne = 128;
inline std::uint32_t HdEntryIndex(std::uint32_t entry) { return entry & 0xFFFFu; }
inline int HdEntryRowWeight(std::uint32_t entry) { return static_cast<int>(entry >> 16 & 0xFFu); }
inline int HdEntryColumnWeight(std::uint32_t entry) { return static_cast<int>(entry >> 24); }

// width * height entries, row-major.
void FillHdTunnelMap(std::uint32_t* entries, int width, int height, const HdView& view, HdSampling sampling);
