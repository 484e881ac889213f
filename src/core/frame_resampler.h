// Sharp and smooth enlargement of a 320 x 200 frame: every screen pixel covers the same area of the output.
#pragma once
#include <cstdint>
#include <vector>

#include "core/output_geometry.h"

// How the picture is enlarged. Sharp: by whole pixels to the largest multiple that fits, then by a bilinear step
// to the exact size, so edges stay crisp and every screen pixel is equally large. Nearest: each output pixel shows
// the screen pixel under its centre, as a GPU's point sampling picks it (uneven at other than whole factors).
// Smooth: bilinear all the way.
enum class Scaling { Sharp, Nearest, Smooth };

// Where an output column or row takes its colour from: `weight` 128ths of screen column/row `second`, the rest of
// `first`. `first` -1 is black around the picture.
struct ResampleTap {
  int first = -1, second = -1;
  int weight = 0;
};
constexpr int kResampleWeightOne = 128;

// The taps of one axis: `screen` columns or rows shown over `picture` output pixels, the picture starting at
// `offset` (negative when cut off), for an axis `output` pixels long.
std::vector<ResampleTap> ResampleTaps(int screen, int picture, int offset, int output, bool sharp);
// The screen column or row under the centre of pixel `inside` of a picture `picture` pixels long: the one rule of
// nearest-neighbour enlargement, here and in every host that shows the frame by point sampling.
int NearestScreenPixel(int screen, int picture, int inside);

// Taps of both axes and the rows enlarged across, made once per geometry so that a frame allocates nothing.
struct FrameResampler {
  OutputGeometry geometry;
  std::vector<ResampleTap> column, row;
  // The column taps as arrays: screen columns (kScreenWidth for black) and their weights.
  std::vector<std::int32_t> columnFirst, columnSecond, columnKeep, columnWeight;
  // Per screen row (and one of black), per output column, one plane per channel. For YUV the second and third
  // planes hold, at half width, the sums of the two columns each chroma sample covers.
  std::vector<std::int32_t> across;
  std::vector<std::uint8_t> rowUsed;  // screen rows any output row reads
};
// Nearest gives taps of weight 0, so the resampler then writes the nearest-neighbour picture.
void PrepareFrameResampler(FrameResampler& resampler, const OutputGeometry& geometry, Scaling scaling);

// `indices`: the 320 x 200 frame; `palette`: its display palette, 768 bytes of red, green, blue, whose entries 0
// and 255 show black and white, as on the screen. Planar Y, then Cb, then Cr at half width and height (even sizes
// only; BT.709, limited range, each chroma sample averaging the four output pixels it covers); or rows of red,
// green, blue, with `bytesPerPixel` 4 a fourth byte of 255 (an opaque alpha). Nothing is allocated.
void ResampleFrameToYuv420(FrameResampler& resampler, const std::uint8_t* indices, const std::uint8_t* palette,
                           std::uint8_t* yuv);
void ResampleFrameToRgb(FrameResampler& resampler, const std::uint8_t* indices, const std::uint8_t* palette,
                        std::uint8_t* rgb, int bytesPerPixel = 3);
