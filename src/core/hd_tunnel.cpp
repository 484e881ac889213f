// The tunnel at a picture's own size: the landscape is turned into output colours once per frame (256 KiB, which
// stays in the second-level cache, and its row pairs for the vector forms), then every pixel blends the four texels
// its map entry names, in fixed point.
#include "core/hd_tunnel.h"

#include "core/hd_blend.h"

namespace {

// One pixel in plain integers: the portable build's, and what the vector forms must equal.
inline std::uint32_t BlendEntry(const std::uint32_t* texels, std::uint32_t entry) {
  const std::uint32_t index = HdEntryIndex(entry);
  const std::uint32_t next = (index + 256) & 0xFFFFu;
  const HdWeights w = HdEntryWeights(entry);
  const std::uint32_t a = texels[index], b = texels[index + 1], c = texels[next], d = texels[next + 1];
  std::uint32_t word = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t sum = (a >> shift & 0xFFu) * w.here + (b >> shift & 0xFFu) * w.hereBelow +
                              (c >> shift & 0xFFu) * w.there + (d >> shift & 0xFFu) * w.thereBelow;
    word |= ((sum + kHdRound) >> kHdShift) << shift;
  }
  return word;
}

}  // namespace

void DrawHdPlain(const std::uint32_t* texels, const HdDrawJob& job) {
  const std::size_t bytes = static_cast<std::size_t>(job.bytesPerPixel);
  const std::uint32_t* map = job.map;
  std::uint8_t* out = job.out;
  for (int y = 0; y < job.height; ++y, map += job.width, out += job.pitch) {
    std::uint8_t* pixel = out;
    for (int x = 0; x < job.width; ++x, pixel += bytes) {
      const std::uint32_t word = BlendEntry(texels, map[x]);
      std::memcpy(pixel, &word, bytes);
    }
  }
}

HdTunnel::HdTunnel() : texels_(kHdImageTexels + kHdTexelPadding, 0) {
#if TAVELMIR_SSE2
  pairs_.assign(kHdImageTexels + kHdTexelPadding, 0);
#endif
#if TAVELMIR_HD_AVX2
  kernel_ = HdAvx2Available() ? Kernel::Avx2 : Kernel::Sse2;
#elif TAVELMIR_SSE2
  kernel_ = Kernel::Sse2;
#endif
}

void HdTunnel::KeepToSse2() {
  if (kernel_ == Kernel::Avx2) kernel_ = Kernel::Sse2;
}

const char* HdTunnel::KernelName() const {
  return kernel_ == Kernel::Avx2 ? "avx2" : kernel_ == Kernel::Sse2 ? "sse2" : "plain";
}

bool HdTunnel::Prepare(int width, int height, const HdView& view, HdSampling sampling) {
  if (width < 1 || height < 1 || width > kHdMaximumWidth || height > kHdMaximumHeight) {
    width_ = height_ = 0;
    return false;
  }
  map_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) + kHdMapPadding);
  FillHdTunnelMap(map_.data(), width, height, view, sampling);
  width_ = width;
  height_ = height;
  return true;
}

void HdTunnel::Draw(const std::uint8_t* landscape, const std::uint32_t* colours, std::uint8_t* out,
                    std::ptrdiff_t pitch, int bytesPerPixel) {
  if (width_ == 0) return;
  std::uint32_t* const texels = texels_.data();
  for (std::size_t i = 0; i < kHdImageTexels; ++i) texels[i] = colours[landscape[i]];
  const HdDrawJob job{map_.data(), width_, height_, out, pitch, bytesPerPixel == 4 ? 4 : 3};
  switch (kernel_) {
#if TAVELMIR_HD_AVX2
    case Kernel::Avx2:
      InterleaveHdRowPairs(texels, pairs_.data());
      DrawHdAvx2(pairs_.data(), job);
      break;
#endif
#if TAVELMIR_SSE2
    case Kernel::Sse2:
      InterleaveHdRowPairs(texels, pairs_.data());
      DrawHdSse2(pairs_.data(), job);
      break;
#endif
    default:
      DrawHdPlain(texels, job);
      break;
  }
}
