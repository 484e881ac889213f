// Nearest-neighbour placement of a 320 x 200 frame in any output size, as RGB or as BT.709 YUV 4:2:0.
#include "frame_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void Centre(OutputGeometry& g) {
  g.pictureX = (g.width - g.pictureWidth) / 2;
  g.pictureY = (g.height - g.pictureHeight) / 2;
  // Even corners keep the picture's edges on chroma sample boundaries.
  if (g.pictureX > 0) g.pictureX &= ~1;
  if (g.pictureY > 0) g.pictureY &= ~1;
}

}  // namespace

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

OutputGeometry MakeOutputGeometry(int scale, bool aspect43) {
  OutputGeometry g;
  g.width = g.pictureWidth = kScreenWidth * scale;
  g.height = g.pictureHeight = (aspect43 ? kScreenHeight * 6 / 5 : kScreenHeight) * scale;
  return g;
}

OutputGeometry FitOutputGeometry(int width, int height, bool cover, bool fourThirds) {
  // The picture's shape as a ratio of whole numbers, and the smallest picture whose screen pixels are all whole
  // output pixels of that shape (5 x 6 for 4:3, 1 x 1 for 16:10).
  const long shapeX = fourThirds ? 4 : 8, shapeY = fourThirds ? 3 : 5;
  const long unitX = fourThirds ? 1600 : 320, unitY = fourThirds ? 1200 : 200;
  OutputGeometry g;
  g.width = width;
  g.height = height;
  const bool wider = static_cast<long>(width) * shapeY >= static_cast<long>(height) * shapeX;
  if (wider != cover) {  // limited by the height
    g.pictureHeight = height;
    g.pictureWidth = static_cast<int>((static_cast<long>(height) * shapeX * 2 + shapeY) / (2 * shapeY));
  } else {
    g.pictureWidth = width;
    g.pictureHeight = static_cast<int>((static_cast<long>(width) * shapeY * 2 + shapeX) / (2 * shapeX));
  }
  if (!cover) {
    const long whole = std::min(width / unitX, height / unitY);
    if (whole >= 1 && whole * unitY * 10 >= static_cast<long>(g.pictureHeight) * 9) {
      g.pictureWidth = static_cast<int>(whole * unitX);
      g.pictureHeight = static_cast<int>(whole * unitY);
    }
  }
  if (g.pictureWidth < 1) g.pictureWidth = 1;
  if (g.pictureHeight < 1) g.pictureHeight = 1;
  Centre(g);
  return g;
}

void PrepareFrameScaler(FrameScaler& scaler, const OutputGeometry& g) {
  scaler.geometry = g;
  scaler.column.assign(static_cast<std::size_t>(g.width), -1);
  scaler.row.assign(static_cast<std::size_t>(g.height), -1);
  for (int x = 0; x < g.width; ++x) {
    const long inside = x - g.pictureX;
    if (inside >= 0 && inside < g.pictureWidth)
      scaler.column[static_cast<std::size_t>(x)] = static_cast<int>(inside * kScreenWidth / g.pictureWidth);
  }
  for (int y = 0; y < g.height; ++y) {
    const long inside = y - g.pictureY;
    if (inside >= 0 && inside < g.pictureHeight)
      scaler.row[static_cast<std::size_t>(y)] = static_cast<int>(inside * kScreenHeight / g.pictureHeight);
  }
}

template <std::size_t kBytes>
void EnlargeThrough(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* entries,
                    std::uint8_t* out) {
  const std::size_t width = static_cast<std::size_t>(scaler.geometry.width), rowBytes = width * kBytes;
  for (int y = 0; y < scaler.geometry.height; ++y) {
    const int source = scaler.row[static_cast<std::size_t>(y)];
    std::uint8_t* line = out + static_cast<std::size_t>(y) * rowBytes;
    if (y > 0 && source == scaler.row[static_cast<std::size_t>(y) - 1]) {
      std::memcpy(line, line - rowBytes, rowBytes);
      continue;
    }
    if (source < 0) {
      std::memset(line, 0, rowBytes);
      continue;
    }
    const std::uint8_t* in = indices + source * kScreenWidth;
    for (std::size_t x = 0; x < width; ++x, line += kBytes) {
      const int column = scaler.column[x];
      if (column < 0)
        std::memset(line, 0, kBytes);
      else
        std::memcpy(line, entries + kBytes * in[column], kBytes);
    }
  }
}

void EnlargeThroughTable(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* entries,
                         int bytesPerEntry, std::uint8_t* out) {
  if (bytesPerEntry == 1)
    EnlargeThrough<1>(scaler, indices, entries, out);
  else
    EnlargeThrough<3>(scaler, indices, entries, out);
}

void ScaleFrameToRgb(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* displayPalette,
                     std::uint8_t* rgb) {
  std::uint8_t palette[kPaletteBytes];
  ScreenPalette(displayPalette, palette);
  EnlargeThroughTable(scaler, indices, palette, 3, rgb);
}

void ScaleFrameToYuv420(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* displayPalette,
                        std::uint8_t* yuv) {
  YuvPalette yuvPalette;
  MakeYuvPalette(displayPalette, yuvPalette);
  const int* lumaOf = yuvPalette.luma;
  const int* blueOf = yuvPalette.blue;
  const int* redOf = yuvPalette.red;
  const int width = scaler.geometry.width, height = scaler.geometry.height;
  const std::vector<int>& column = scaler.column;
  const std::vector<int>& row = scaler.row;
  auto indexAt = [&](const std::uint8_t* in, int x) {
    return column[static_cast<std::size_t>(x)] < 0 || !in ? 256 : in[column[static_cast<std::size_t>(x)]];
  };

  std::uint8_t* lumaPlane = yuv;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = lumaPlane + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    const int source = row[static_cast<std::size_t>(y)];
    if (y > 0 && source == row[static_cast<std::size_t>(y) - 1]) {
      std::memcpy(out, out - width, static_cast<std::size_t>(width));
      continue;
    }
    const std::uint8_t* in = source < 0 ? nullptr : indices + source * kScreenWidth;
    for (int x = 0; x < width; ++x) out[x] = static_cast<std::uint8_t>(lumaOf[indexAt(in, x)]);
  }

  const int chromaWidth = width / 2, chromaHeight = height / 2;
  std::uint8_t* bluePlane = yuv + static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::uint8_t* redPlane = bluePlane + static_cast<std::size_t>(chromaWidth) * static_cast<std::size_t>(chromaHeight);
  for (int j = 0; j < chromaHeight; ++j) {
    const int top = row[static_cast<std::size_t>(2 * j)], bottom = row[static_cast<std::size_t>(2 * j + 1)];
    std::uint8_t* blue = bluePlane + static_cast<std::size_t>(j) * static_cast<std::size_t>(chromaWidth);
    std::uint8_t* red = redPlane + static_cast<std::size_t>(j) * static_cast<std::size_t>(chromaWidth);
    if (j > 0 && top == row[static_cast<std::size_t>(2 * j - 2)] &&
        bottom == row[static_cast<std::size_t>(2 * j - 1)]) {
      std::memcpy(blue, blue - chromaWidth, static_cast<std::size_t>(chromaWidth));
      std::memcpy(red, red - chromaWidth, static_cast<std::size_t>(chromaWidth));
      continue;
    }
    const std::uint8_t* inTop = top < 0 ? nullptr : indices + top * kScreenWidth;
    const std::uint8_t* inBottom = bottom < 0 ? nullptr : indices + bottom * kScreenWidth;
    for (int i = 0; i < chromaWidth; ++i) {
      const int a = indexAt(inTop, 2 * i), b = indexAt(inTop, 2 * i + 1);
      const int c = indexAt(inBottom, 2 * i), d = indexAt(inBottom, 2 * i + 1);
      blue[i] = static_cast<std::uint8_t>((blueOf[a] + blueOf[b] + blueOf[c] + blueOf[d] + 8) / 16);
      red[i] = static_cast<std::uint8_t>((redOf[a] + redOf[b] + redOf[c] + redOf[d] + 8) / 16);
    }
  }
}

void ExpandFrame(const std::uint8_t* indices, const std::uint8_t* palette, const OutputGeometry& geometry,
                 std::uint8_t* rgb) {
  FrameScaler scaler;
  PrepareFrameScaler(scaler, geometry);
  ScaleFrameToRgb(scaler, indices, palette, rgb);
}
