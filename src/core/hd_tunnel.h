// The tunnel drawn at a picture's own size: the landscape image wrapped through a per-pixel map, in colour.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/hd_tunnel_map.h"

// Largest picture a map is made for (each side): 8K.
constexpr int kHdMaximumWidth = 7680;
constexpr int kHdMaximumHeight = 4320;

class HdTunnel {
 public:
  HdTunnel();

  // Makes the map for a width x height picture; its memory is taken here, once per size, never by Draw. False
  // (and nothing drawn until a later Prepare succeeds) for a side below 1 or above the maximum.
  bool Prepare(int width, int height, const HdView& view, HdSampling sampling);
  int Width() const { return width_; }
  int Height() const { return height_; }

  // One picture from the finished LandscapeImage (65536 palette indices). `colours` holds 256 words whose bytes,
  // lowest first, are a pixel's bytes in the output (red, green, blue for RGB; the caller's own order for 32-bit
  // surfaces). Writes Height() rows of Width() pixels of `bytesPerPixel` (3 or 4) bytes, `pitch` bytes apart;
  // nothing past a row's last pixel is touched.
  void Draw(const std::uint8_t* landscape, const std::uint32_t* colours, std::uint8_t* out, std::ptrdiff_t pitch,
            int bytesPerPixel);

  // The widest vectors the processor has are used; this keeps to SSE2 (for tests and measurements). The bytes drawn
  // are the same.
  void KeepToSse2();
  const char* KernelName() const;  // "avx2", "sse2" or "plain"

 private:
  std::vector<std::uint32_t> map_;
  // The landscape in output colours, refilled by every Draw, with room past the last texel for the row pairs
  // that are read whole.
  std::vector<std::uint32_t> texels_;
  // The same, each texel beside the one below it (hd_blend.h), for the vector forms.
  std::vector<std::uint64_t> pairs_;
  int width_ = 0, height_ = 0;
  enum class Kernel { Plain, Sse2, Avx2 } kernel_ = Kernel::Plain;
};
