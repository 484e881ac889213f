// The per-pixel mapping of a picture of any size: each pixel's centre placed over the 320 x 200 frame, where the
// tunnel's angle and distance give a point in the landscape image.
#include "core/hd_tunnel_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/tunnel_geometry.h"

namespace {

constexpr double kFrameWidth = 320, kFrameHeight = 200;
// The tunnel's centre is the centre of frame pixel (160, 100), as in the 320 x 200 table.
constexpr double kCentreX = 160.5, kCentreY = 100.5;
constexpr double kTwoPi = 6.283185307179586;

// A fraction of the way from one texel's centre to the next, in 128ths.
std::uint32_t Weight(double fraction) {
  return static_cast<std::uint32_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * kHdWeightOne));
}

// From basic operations only (hypot differs between C libraries in the last bit), so that every build draws the
// same picture.
double Length(double x, double y) { return std::sqrt(x * x + y * y); }

// Sharp sampling: a texel `size` output pixels across keeps its own colour up to the last pixel before its edge,
// which blends into the next, so edges are smooth but the texel is not smeared over its neighbour.
double Sharpen(double fraction, double size) {
  if (size <= 1) return fraction;  // smaller than a pixel: plain bilinear
  return std::clamp((fraction - 0.5) * size + 0.5, 0.0, 1.0);
}

// The blended entry at (dx, dy) frame pixels from the tunnel's centre. Texel (c, r) is the one the tunnel table
// names for points whose angle lies in c - 1 .. c columns and whose distance lies in 255 - r .. 256 - r, so its
// centre is at angle c - 0.5 and distance 255.5 - r; a point between centres blends the texels around it.
// pixelsX and pixelsY are output pixels per frame pixel, for Sharp.
std::uint32_t BlendedEntry(double dx, double dy, HdSampling sampling, double pixelsX, double pixelsY) {
  const double distance = std::sqrt(dx * dx + dy * dy);
  double column = TunnelAngleColumns(dx, dy) + 0.5;
  column -= 256 * std::floor(column / 256);
  // Past the frame's corners the distance runs beyond 255 and the rows start again at the centre's, as in the
  // table; the blend stops at the first and last row rather than wrapping between them.
  const double row = std::clamp(255.5 - std::fmod(distance, 256.0), 0.0, 255.0);

  int c = static_cast<int>(column);
  int r = std::min(static_cast<int>(row), 254);
  double columnFraction = column - c;
  double rowFraction = row - r;
  if (sampling == HdSampling::Sharp && distance > 0) {
    // A row is one frame pixel deep along the radius; a column spans 1/256 of the circle at this distance.
    const double ux = dx / distance, uy = dy / distance;
    const double rowSize = Length(ux * pixelsX, uy * pixelsY);
    const double columnSize = kTwoPi * distance / 256 * Length(uy * pixelsX, ux * pixelsY);
    rowFraction = Sharpen(rowFraction, rowSize);
    columnFraction = Sharpen(columnFraction, columnSize);
  }
  c &= 255;
  return static_cast<std::uint32_t>(c << 8 | r) | Weight(rowFraction) << 16 | Weight(columnFraction) << 24;
}

}  // namespace

HdView CentredHdView(int width, int height, double pixelAspect, bool cover) {
  const double w = std::max(width, 1), h = std::max(height, 1);
  const double aspect = pixelAspect > 0 ? pixelAspect : 1;
  const double across = w / kFrameWidth, down = h / (kFrameHeight * aspect);
  const double scale = cover ? std::max(across, down) : std::min(across, down);  // output pixels per frame pixel
  HdView view;
  view.stepX = 1 / scale;
  view.stepY = 1 / (scale * aspect);
  view.originX = kFrameWidth / 2 - w / 2 * view.stepX;
  view.originY = kFrameHeight / 2 - h / 2 * view.stepY;
  return view;
}

void FillHdTunnelMap(std::uint32_t* entries, int width, int height, const HdView& view, HdSampling sampling) {
  const double pixelsX = 1 / view.stepX, pixelsY = 1 / view.stepY;
  for (int y = 0; y < height; ++y) {
    const double dy = view.originY + (y + 0.5) * view.stepY - kCentreY;
    std::uint32_t* out = entries + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const double dx = view.originX + (x + 0.5) * view.stepX - kCentreX;
      out[x] =
          sampling == HdSampling::Nearest ? TunnelEntryAt(dx, dy) : BlendedEntry(dx, dy, sampling, pixelsX, pixelsY);
    }
  }
}
