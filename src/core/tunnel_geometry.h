// The tunnel's geometry at one point of the screen: the landscape column its angle selects and the row its
// distance from the centre selects, shared by the 320 x 200 table and pictures of other sizes.
#pragma once
#include <cmath>
#include <cstdint>

#include "numeric/exact_math.h"

// A hair above 128 / pi, so that the axes and diagonals land just past a multiple of 32 and truncate onto it.
constexpr double kTunnelAngleScale = 40.74366543166791;
static_assert(kTunnelAngleScale == 0x1.45F306DCA16F6p+5);  // the double 0x40445F306DCA16F6

// The angle around the centre in columns, -128 .. 128 (a hair past 128 straight left); rows grow downward, so it
// grows clockwise.
inline double TunnelAngleColumns(double dx, double dy) { return ExactAtan2(dy, dx) * kTunnelAngleScale; }

// The tunnel table's entry at (dx, dy) from the centre: the angle step in the high byte (truncated, plus one
// below the centre), 255 minus the whole distance (modulo 256) in the low byte.
inline std::uint16_t TunnelEntryAt(double dx, double dy) {
  const auto distance = static_cast<std::uint32_t>(std::sqrt(dx * dx + dy * dy));
  int step = static_cast<int>(TunnelAngleColumns(dx, dy));
  if (dy > 0) ++step;
  const auto angle = static_cast<std::uint8_t>(step);
  return static_cast<std::uint16_t>((angle << 8) | (255 - (distance & 255)));
}
