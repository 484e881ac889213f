// Sharp bilinear enlargement, separable: each screen row is first enlarged across into fixed-point channel values
// (the palette converted once per frame), then output rows blend two of those rows. Integer arithmetic only, so
// every machine writes the same bytes, and at whole factors the result equals the nearest-neighbour one.
#include "core/frame_resampler.h"

#include <algorithm>
#include <cstring>

#include "core/screen_colours.h"

namespace {

constexpr int kOne = kResampleWeightOne;
constexpr int kBlackRow = kScreenHeight;  // the row of `across` that holds the black around the picture
constexpr int kBlackEntry = 256;

using Channels = int[257][3];

bool SameTap(const ResampleTap& a, const ResampleTap& b) {
  return a.first == b.first && a.second == b.second && a.weight == b.weight;
}

int RowOf(int tapRow) { return tapRow < 0 ? kBlackRow : tapRow; }

std::size_t PlaneSize(const FrameResampler& r) {
  return static_cast<std::size_t>(kScreenHeight + 1) * static_cast<std::size_t>(r.geometry.width);
}

// Row `row` of channel plane `c`.
std::int32_t* Across(FrameResampler& r, int c, int row) {
  return r.across.data() + static_cast<std::size_t>(c) * PlaneSize(r) +
         static_cast<std::size_t>(row) * static_cast<std::size_t>(r.geometry.width);
}

// Enlarges across every screen row an output row reads, and the black row; `pairs`: the second and third channels
// are summed over column pairs at half width.
void EnlargeAcross(FrameResampler& r, const std::uint8_t* indices, const Channels& channels, bool pairs) {
  const int width = r.geometry.width;
  const std::int32_t* __restrict first = r.columnFirst.data();
  const std::int32_t* __restrict second = r.columnSecond.data();
  const std::int32_t* __restrict keep = r.columnKeep.data();
  const std::int32_t* __restrict weight = r.columnWeight.data();
  std::int32_t value[kScreenWidth + 1];  // one screen row's channel, then black
  for (int y = 0; y <= kScreenHeight; ++y) {
    if (y < kScreenHeight && !r.rowUsed[static_cast<std::size_t>(y)]) continue;
    const std::uint8_t* in = y < kScreenHeight ? indices + y * kScreenWidth : nullptr;
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < kScreenWidth; ++x) value[x] = channels[in ? in[x] : kBlackEntry][c];
      value[kScreenWidth] = channels[kBlackEntry][c];
      std::int32_t* __restrict out = Across(r, c, y);
      if (pairs && c > 0) {
        for (int i = 0; i < width / 2; ++i) {
          const int x = 2 * i;
          out[i] = keep[x] * value[first[x]] + weight[x] * value[second[x]] + keep[x + 1] * value[first[x + 1]] +
                   weight[x + 1] * value[second[x + 1]];
        }
      } else {
        for (int x = 0; x < width; ++x) out[x] = keep[x] * value[first[x]] + weight[x] * value[second[x]];
      }
    }
  }
}

// out[x] = (keep a[x] + weight b[x] + round) >> shift, for x < n.
void BlendRows(const std::int32_t* __restrict a, const std::int32_t* __restrict b, int weight, int shift, int n,
               std::uint8_t* __restrict out) {
  const int keep = kOne - weight, round = 1 << (shift - 1);
  if (weight == 0) {
    for (int x = 0; x < n; ++x) out[x] = static_cast<std::uint8_t>((kOne * a[x] + round) >> shift);
  } else {
    for (int x = 0; x < n; ++x) out[x] = static_cast<std::uint8_t>((keep * a[x] + weight * b[x] + round) >> shift);
  }
}

// The output rows from the rows enlarged across, kBytes a pixel (a fourth byte: opaque alpha).
template <int kBytes>
void BlendRowsToRgb(FrameResampler& r, std::uint8_t* rgb) {
  const int width = r.geometry.width;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytes;
  for (int y = 0; y < r.geometry.height; ++y) {
    std::uint8_t* out = rgb + static_cast<std::size_t>(y) * rowBytes;
    const ResampleTap& t = r.row[static_cast<std::size_t>(y)];
    if (y > 0 && SameTap(t, r.row[static_cast<std::size_t>(y) - 1])) {
      std::memcpy(out, out - rowBytes, rowBytes);
      continue;
    }
    const int keep = kOne - t.weight, weight = t.weight;
    if constexpr (kBytes == 4) {
      // One pass over whole pixels: the alpha written with the colour, each pixel's four bytes stored together.
      const std::int32_t* __restrict a[3] = {Across(r, 0, RowOf(t.first)), Across(r, 1, RowOf(t.first)),
                                             Across(r, 2, RowOf(t.first))};
      const std::int32_t* __restrict b[3] = {Across(r, 0, RowOf(t.second)), Across(r, 1, RowOf(t.second)),
                                             Across(r, 2, RowOf(t.second))};
      for (int x = 0; x < width; ++x) {
        out[4 * x] = static_cast<std::uint8_t>((keep * a[0][x] + weight * b[0][x] + (1 << 13)) >> 14);
        out[4 * x + 1] = static_cast<std::uint8_t>((keep * a[1][x] + weight * b[1][x] + (1 << 13)) >> 14);
        out[4 * x + 2] = static_cast<std::uint8_t>((keep * a[2][x] + weight * b[2][x] + (1 << 13)) >> 14);
        out[4 * x + 3] = 255;
      }
    } else {
      for (int c = 0; c < 3; ++c) {
        const std::int32_t* a = Across(r, c, RowOf(t.first));
        const std::int32_t* b = Across(r, c, RowOf(t.second));
        for (int x = 0; x < width; ++x)
          out[kBytes * x + c] = static_cast<std::uint8_t>((keep * a[x] + weight * b[x] + (1 << 13)) >> 14);
      }
    }
  }
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

int NearestScreenPixel(int screen, int picture, int inside) {
  // (inside + 1/2) screen / picture, in integers: exact, so every machine picks the same pixel.
  return static_cast<int>((2 * static_cast<long>(inside) + 1) * screen / (2 * static_cast<long>(picture)));
}

namespace {

std::vector<ResampleTap> NearestTaps(int screen, int picture, int offset, int output) {
  std::vector<ResampleTap> taps(static_cast<std::size_t>(std::max(output, 0)));
  for (int i = 0; i < output; ++i) {
    const int inside = i - offset;
    if (inside < 0 || inside >= picture) continue;
    ResampleTap& t = taps[static_cast<std::size_t>(i)];
    t.first = t.second = NearestScreenPixel(screen, picture, inside);
  }
  return taps;
}

}  // namespace

void PrepareFrameResampler(FrameResampler& r, const OutputGeometry& g, Scaling scaling) {
  const bool sharp = scaling != Scaling::Smooth;
  r.geometry = g;
  if (scaling == Scaling::Nearest) {
    r.column = NearestTaps(kScreenWidth, g.pictureWidth, g.pictureX, g.width);
    r.row = NearestTaps(kScreenHeight, g.pictureHeight, g.pictureY, g.height);
  } else {
    r.column = ResampleTaps(kScreenWidth, g.pictureWidth, g.pictureX, g.width, sharp);
    r.row = ResampleTaps(kScreenHeight, g.pictureHeight, g.pictureY, g.height, sharp);
  }
  const std::size_t width = static_cast<std::size_t>(g.width);
  r.columnFirst.assign(width, kScreenWidth);
  r.columnSecond.assign(width, kScreenWidth);
  r.columnKeep.assign(width, kOne);
  r.columnWeight.assign(width, 0);
  for (std::size_t x = 0; x < width; ++x) {
    const ResampleTap& t = r.column[x];
    if (t.first < 0) continue;
    r.columnFirst[x] = t.first;
    r.columnSecond[x] = t.second;
    r.columnKeep[x] = kOne - t.weight;
    r.columnWeight[x] = t.weight;
  }
  r.rowUsed.assign(kScreenHeight, 0);
  for (const ResampleTap& t : r.row)
    if (t.first >= 0) r.rowUsed[static_cast<std::size_t>(t.first)] = r.rowUsed[static_cast<std::size_t>(t.second)] = 1;
  r.across.assign(PlaneSize(r) * 3, 0);
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
  EnlargeAcross(r, indices, channels, true);

  const int width = r.geometry.width, height = r.geometry.height;
  const std::size_t w = static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = yuv + static_cast<std::size_t>(y) * w;
    const ResampleTap& t = r.row[static_cast<std::size_t>(y)];
    if (y > 0 && SameTap(t, r.row[static_cast<std::size_t>(y) - 1])) {
      std::memcpy(out, out - w, w);
      continue;
    }
    BlendRows(Across(r, 0, RowOf(t.first)), Across(r, 0, RowOf(t.second)), t.weight, 14, width, out);
  }

  // Each chroma sample: the four output pixels it covers, at 4 x 128 x 128 times the scale, summed.
  const int chromaWidth = width / 2, chromaHeight = height / 2;
  const std::size_t cw = static_cast<std::size_t>(chromaWidth);
  std::uint8_t* planes[2] = {yuv + w * static_cast<std::size_t>(height), nullptr};
  planes[1] = planes[0] + cw * static_cast<std::size_t>(chromaHeight);
  for (int j = 0; j < chromaHeight; ++j) {
    const ResampleTap& t0 = r.row[static_cast<std::size_t>(2 * j)];
    const ResampleTap& t1 = r.row[static_cast<std::size_t>(2 * j + 1)];
    const bool repeat = j > 0 && SameTap(t0, r.row[static_cast<std::size_t>(2 * j - 2)]) &&
                        SameTap(t1, r.row[static_cast<std::size_t>(2 * j - 1)]);
    for (int c = 1; c <= 2; ++c) {
      std::uint8_t* __restrict out = planes[c - 1] + static_cast<std::size_t>(j) * cw;
      if (repeat) {
        std::memcpy(out, out - cw, cw);
        continue;
      }
      const std::int32_t* __restrict a0 = Across(r, c, RowOf(t0.first));
      const std::int32_t* __restrict b0 = Across(r, c, RowOf(t0.second));
      const std::int32_t* __restrict a1 = Across(r, c, RowOf(t1.first));
      const std::int32_t* __restrict b1 = Across(r, c, RowOf(t1.second));
      const int keep0 = kOne - t0.weight, keep1 = kOne - t1.weight, w0 = t0.weight, w1 = t1.weight;
      for (int i = 0; i < chromaWidth; ++i)
        out[i] = static_cast<std::uint8_t>((keep0 * a0[i] + w0 * b0[i] + keep1 * a1[i] + w1 * b1[i] + (1 << 17)) >> 18);
    }
  }
}

void ResampleFrameToRgb(FrameResampler& r, const std::uint8_t* indices, const std::uint8_t* displayPalette,
                        std::uint8_t* rgb, int bytesPerPixel) {
  std::uint8_t palette[kPaletteBytes];
  ScreenPalette(displayPalette, palette);
  Channels channels;
  for (int i = 0; i <= kBlackEntry; ++i)
    for (int c = 0; c < 3; ++c) channels[i][c] = i < kBlackEntry ? palette[3 * i + c] : 0;
  EnlargeAcross(r, indices, channels, false);
  if (bytesPerPixel == 4)
    BlendRowsToRgb<4>(r, rgb);
  else
    BlendRowsToRgb<3>(r, rgb);
}
