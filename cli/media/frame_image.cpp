// Nearest-neighbour placement of a 320 x 200 frame in any output size, as RGB or as BT.709 YUV 4:2:0.
#include "frame_image.h"

#include <cstring>

#include "core/frame_resampler.h"

void PrepareFrameScaler(FrameScaler& scaler, const OutputGeometry& g) {
  scaler.geometry = g;
  scaler.column.assign(static_cast<std::size_t>(g.width), -1);
  scaler.row.assign(static_cast<std::size_t>(g.height), -1);
  for (int x = 0; x < g.width; ++x) {
    const long inside = x - g.pictureX;
    if (inside >= 0 && inside < g.pictureWidth)
      scaler.column[static_cast<std::size_t>(x)] =
          NearestScreenPixel(kScreenWidth, g.pictureWidth, static_cast<int>(inside));
  }
  for (int y = 0; y < g.height; ++y) {
    const long inside = y - g.pictureY;
    if (inside >= 0 && inside < g.pictureHeight)
      scaler.row[static_cast<std::size_t>(y)] =
          NearestScreenPixel(kScreenHeight, g.pictureHeight, static_cast<int>(inside));
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
