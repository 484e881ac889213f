// One rendered frame (palette indices and the display palette) as the picture a viewer sees, at any output size.
#pragma once
#include <cstdint>
#include <vector>

#include "core/output_geometry.h"
#include "core/screen_colours.h"

// Output sizes a frame may be given (each side).
constexpr int kMinimumOutputSide = 16;
constexpr int kMaximumOutputWidth = 7680;
constexpr int kMaximumOutputHeight = 4320;

// Per output column and row, the screen column and row under its centre (NearestScreenPixel), or -1 for black around
// the picture; computed once per geometry.
struct FrameScaler {
  OutputGeometry geometry;
  std::vector<int> column, row;
};
void PrepareFrameScaler(FrameScaler& scaler, const OutputGeometry& geometry);

// width x height x 3 bytes of RGB. `palette` holds 256 red, green, blue triples (DisplayPalette); entries 0 and
// 255 show black and white, as on the screen.
void ScaleFrameToRgb(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* palette,
                     std::uint8_t* rgb);
// The enlargement behind ScaleFrameToRgb: each output pixel is the `bytesPerEntry` (1 or 3) bytes of its index in
// `entries`, zero bytes around the picture.
void EnlargeThroughTable(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* entries,
                         int bytesPerEntry, std::uint8_t* out);
// Planar Y, then Cb, then Cr at half width and height (even sizes only): BT.709, limited range. The picture is
// enlarged first and each chroma sample averages the four output pixels it covers, so edges stay sharp.
void ScaleFrameToYuv420(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* palette,
                        std::uint8_t* yuv);

// ScaleFrameToRgb through a scaler made for the call.
void ExpandFrame(const std::uint8_t* indices, const std::uint8_t* palette, const OutputGeometry& geometry,
                 std::uint8_t* rgb);
