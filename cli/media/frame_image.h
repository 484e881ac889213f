// One rendered frame (palette indices and the display palette) as the picture a viewer sees, at any output size.
#pragma once
#include <cstdint>
#include <vector>

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 200;
constexpr int kScreenPixels = kScreenWidth * kScreenHeight;
constexpr int kPaletteBytes = 768;

// Output sizes a frame may be given (each side).
constexpr int kMinimumOutputSide = 16;
constexpr int kMaximumOutputWidth = 7680;
constexpr int kMaximumOutputHeight = 4320;

// The output frame and where the 320 x 200 picture lands in it. The picture may be smaller (black around it) or,
// when it covers the frame, larger (cut off at the frame's edges).
struct OutputGeometry {
  int width = kScreenWidth;
  int height = kScreenHeight;
  int pictureX = 0, pictureY = 0;  // top-left corner, negative when cut off
  int pictureWidth = kScreenWidth, pictureHeight = kScreenHeight;
};

// The picture filling width x height exactly: 320K x 200K, or 320K x 240K with the 4:3 stretch of a monitor.
OutputGeometry MakeOutputGeometry(int scale, bool aspect43);

// The picture in a frame of width x height. `fourThirds`: the picture is 4:3, as a 320 x 200 screen showed it;
// otherwise 16:10, with square pixels. `cover`: the picture fills the frame and is cut at two edges; otherwise
// it is as large as fits, centred on black. Fitting prefers whole output pixels per screen pixel when they fill at
// least 90 % of what a stretched fit would, so that every screen pixel keeps the same size.
OutputGeometry FitOutputGeometry(int width, int height, bool cover, bool fourThirds);

// Per output column and row, the screen column and row it shows, or -1 for black around the picture; computed
// once per geometry.
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

// The palette as the screen showed it: the display keeps entry 0 black and entry 255 white.
void ScreenPalette(const std::uint8_t* displayPalette, std::uint8_t* palette);
// BT.709 limited range per palette entry; entry 256 is the black around the picture. Chroma is kept at four times
// its scale, for averaging four samples without losing a step.
struct YuvPalette {
  int luma[257], blue[257], red[257];
};
void MakeYuvPalette(const std::uint8_t* displayPalette, YuvPalette& yuv);

// ScaleFrameToRgb through a scaler made for the call.
void ExpandFrame(const std::uint8_t* indices, const std::uint8_t* palette, const OutputGeometry& geometry,
                 std::uint8_t* rgb);
