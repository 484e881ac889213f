// Sharp bilinear enlargement, separable: each screen row is first enlarged across into fixed-point channel values
// (the palette converted once per frame), then output rows blend two of those rows. Integer arithmetic only, so
// every machine writes the same bytes, and at whole factors the result equals the nearest-neighbour one.
#include "frame_resampler.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kOne = kResampleWeightOne;
constexpr int kBlackRow = kScreenHeight;  // the row of `across` that holds the black around the picture
constexpr int kBlackEntry = 256;

using Channels = int[257][3];

bool SameTap(const ResampleTap& a, const ResampleTap& b) {
  return a.first == b.first && a.second == b.second && a.weight == b.weight;
}

int RowOf(int tapRow) { return tapRow < 0 ? kBlackRow : tapRow; }

// Enlarges across every screen row an output row reads, and fills the black row.
void EnlargeAcross(FrameResampler& r, const std::uint8_t* indices, const Channels& channels) {
  const int width = r.geometry.width;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y <= kScreenHeight; ++y) {
    if (y < kScreenHeight && !r.rowUsed[static_cast<std::size_t>(y)]) continue;
    std::int32_t* out = r.across.data() + static_cast<std::size_t>(y) * stride;
    if (y == kBlackRow) {
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) out[3 * x + c] = kOne * channels[kBlackEntry][c];
      continue;
    }
    const std::uint8_t* in = indices + y * kScreenWidth;
    for (int x = 0; x < width; ++x) {
      const ResampleTap& t = r.column[static_cast<std::size_t>(x)];
      const int* a = channels[t.first < 0 ? kBlackEntry : in[t.first]];
      const int* b = channels[t.first < 0 ? kBlackEntry : in[t.second]];
      const int keep = kOne - t.weight;
      out[3 * x] = keep * a[0] + t.weight * b[0];
      out[3 * x + 1] = keep * a[1] + t.weight * b[1];
      out[3 * x + 2] = keep * a[2] + t.weight * b[2];
    }
  }
}

const std::int32_t* AcrossRow(const FrameResampler& r, int row) {
  return r.across.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(r.geometry.width) * 3;
}

}  // namespace

std::vector<ResampleTap> ResampleTaps(int screen, int picture, int offset, int output, bool sharp) {
  // The whole-pixel enlargement first (k output pixels per screen pixel), then sampling it at the centres of the
  // output pixels: position u = (i + 1/2) M / N - 1/2 in the enlarged picture of M pixels.
  const long k = sharp ? std::max(1, picture / screen) : 1;
  const long enlarged = screen * k, n = picture;
  std::vector<ResampleTap> taps(static_cast<std::size_t>(std::max(output, 0)));
  for (int i = 0; i < output; ++i) {
    const long inside = static_cast<long>(i) - offset;
    if (inside < 0 || inside >= n) continue;
    const long numerator = (2 * inside + 1) * enlarged - n;
    long position = 0, fraction = 0;
    if (numerator > 0) {
      position = numerator / (2 * n);
      fraction = numerator % (2 * n);
    }
    if (position >= enlarged - 1) {
      position = enlarged - 1;
      fraction = 0;
    }
    ResampleTap& t = taps[static_cast<std::size_t>(i)];
    t.first = static_cast<int>(position / k);
    t.second = static_cast<int>(std::min(position + 1, enlarged - 1) / k);
    t.weight = static_cast<int>((fraction * kOne + n) / (2 * n));
    if (t.weight == kOne) t.first = t.second;
    if (t.first == t.second || t.weight == kOne) t.weight = 0;
    if (t.weight == 0) t.second = t.first;
  }
  return taps;
}

void PrepareFrameResampler(FrameResampler& r, const OutputGeometry& g, Scaling scaling) {
  const bool sharp = scaling != Scaling::Smooth;
  r.geometry = g;
  r.column = ResampleTaps(kScreenWidth, g.pictureWidth, g.pictureX, g.width, sharp);
  r.row = ResampleTaps(kScreenHeight, g.pictureHeight, g.pictureY, g.height, sharp);
  r.rowUsed.assign(kScreenHeight, 0);
  for (const ResampleTap& t : r.row)
    if (t.first >= 0) r.rowUsed[static_cast<std::size_t>(t.first)] = r.rowUsed[static_cast<std::size_t>(t.second)] = 1;
  r.across.assign(static_cast<std::size_t>(kScreenHeight + 1) * static_cast<std::size_t>(g.width) * 3, 0);
}

void ResampleFrameToYuv420(FrameResampler& r, const std::uint8_t* indices, const std::uint8_t* palette,
                           std::uint8_t* yuv) {
  YuvPalette p;
  MakeYuvPalette(palette, p);
  Channels channels;
  for (int i = 0; i <= kBlackEntry; ++i) {
    channels[i][0] = p.luma[i];
    channels[i][1] = p.blue[i];
    channels[i][2] = p.red[i];
  }
  EnlargeAcross(r, indices, channels);

  const int width = r.geometry.width, height = r.geometry.height;
  const std::size_t w = static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = yuv + static_cast<std::size_t>(y) * w;
    const ResampleTap& t = r.row[static_cast<std::size_t>(y)];
    if (y > 0 && SameTap(t, r.row[static_cast<std::size_t>(y) - 1])) {
      std::memcpy(out, out - w, w);
      continue;
    }
    const std::int32_t* a = AcrossRow(r, RowOf(t.first));
    const std::int32_t* b = AcrossRow(r, RowOf(t.second));
    const int keep = kOne - t.weight;
    for (int x = 0; x < width; ++x)
      out[x] = static_cast<std::uint8_t>((keep * a[3 * x] + t.weight * b[3 * x] + (1 << 13)) >> 14);
  }

  // Each chroma sample: the four output pixels it covers, at 4 x 128 x 128 times the scale, summed.
  const int chromaWidth = width / 2, chromaHeight = height / 2;
  const std::size_t cw = static_cast<std::size_t>(chromaWidth);
  std::uint8_t* bluePlane = yuv + w * static_cast<std::size_t>(height);
  std::uint8_t* redPlane = bluePlane + cw * static_cast<std::size_t>(chromaHeight);
  for (int j = 0; j < chromaHeight; ++j) {
    const ResampleTap& t0 = r.row[static_cast<std::size_t>(2 * j)];
    const ResampleTap& t1 = r.row[static_cast<std::size_t>(2 * j + 1)];
    std::uint8_t* blue = bluePlane + static_cast<std::size_t>(j) * cw;
    std::uint8_t* red = redPlane + static_cast<std::size_t>(j) * cw;
    if (j > 0 && SameTap(t0, r.row[static_cast<std::size_t>(2 * j - 2)]) &&
        SameTap(t1, r.row[static_cast<std::size_t>(2 * j - 1)])) {
      std::memcpy(blue, blue - cw, cw);
      std::memcpy(red, red - cw, cw);
      continue;
    }
    const std::int32_t* a0 = AcrossRow(r, RowOf(t0.first));
    const std::int32_t* b0 = AcrossRow(r, RowOf(t0.second));
    const std::int32_t* a1 = AcrossRow(r, RowOf(t1.first));
    const std::int32_t* b1 = AcrossRow(r, RowOf(t1.second));
    const int keep0 = kOne - t0.weight, keep1 = kOne - t1.weight;
    for (int i = 0; i < chromaWidth; ++i) {
      const int x = 6 * i;  // two output pixels of three channels each
      for (int c = 1; c <= 2; ++c) {
        const std::int32_t sum = keep0 * (a0[x + c] + a0[x + 3 + c]) + t0.weight * (b0[x + c] + b0[x + 3 + c]) +
                                 keep1 * (a1[x + c] + a1[x + 3 + c]) + t1.weight * (b1[x + c] + b1[x + 3 + c]);
        (c == 1 ? blue : red)[i] = static_cast<std::uint8_t>((sum + (1 << 17)) >> 18);
      }
    }
  }
}

void ResampleFrameToRgb(FrameResampler& r, const std::uint8_t* indices, const std::uint8_t* displayPalette,
                        std::uint8_t* rgb) {
  std::uint8_t palette[kPaletteBytes];
  ScreenPalette(displayPalette, palette);
  Channels channels;
  for (int i = 0; i <= kBlackEntry; ++i)
    for (int c = 0; c < 3; ++c) channels[i][c] = i < kBlackEntry ? palette[3 * i + c] : 0;
  EnlargeAcross(r, indices, channels);

  const int width = r.geometry.width;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < r.geometry.height; ++y) {
    std::uint8_t* out = rgb + static_cast<std::size_t>(y) * rowBytes;
    const ResampleTap& t = r.row[static_cast<std::size_t>(y)];
    if (y > 0 && SameTap(t, r.row[static_cast<std::size_t>(y) - 1])) {
      std::memcpy(out, out - rowBytes, rowBytes);
      continue;
    }
    const std::int32_t* a = AcrossRow(r, RowOf(t.first));
    const std::int32_t* b = AcrossRow(r, RowOf(t.second));
    const int keep = kOne - t.weight;
    for (std::size_t x = 0; x < rowBytes; ++x)
      out[x] = static_cast<std::uint8_t>((keep * a[x] + t.weight * b[x] + (1 << 13)) >> 14);
  }
}
