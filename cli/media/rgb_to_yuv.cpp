// RGB pictures to BT.709 limited-range YUV 4:2:0, in fixed point: a 4K frame every 20 ms leaves no room for doubles.
#include "rgb_to_yuv.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The BT.709 coefficients scaled by 2^16 and by 219/255 (luma) or 224/255 (chroma).
constexpr int kShift = 16;
constexpr int kLumaR = 11966, kLumaG = 40254, kLumaB = 4064;    // 0.2126, 0.7152, 0.0722 x 219/255
constexpr int kBlueR = -6596, kBlueG = -22189, kBlueB = 28784;  // (B - Y) / 1.8556 x 224/255
constexpr int kRedR = 28784, kRedG = -26145, kRedB = -2639;     // (R - Y) / 1.5748 x 224/255

inline std::uint8_t Luma(const std::uint8_t* p) {
  const int y = kLumaR * p[0] + kLumaG * p[1] + kLumaB * p[2];
  return static_cast<std::uint8_t>(16 + ((y + (1 << (kShift - 1))) >> kShift));
}

// One pixel's chroma as the sum of four equal ones would give it: a flat area has the same bytes either way.
inline std::uint8_t Chroma(int r, int g, int b, const int (&k)[3]) {
  return static_cast<std::uint8_t>(128 + ((k[0] * r + k[1] * g + k[2] * b + (1 << (kShift - 1))) >> kShift));
}

// Pixels of `kBytes` bytes, red first. Four-byte pixels load in whole groups, which the compiler vectorizes; three
// do not, which is why the hd picture is drawn with four for a video.
template <std::size_t kBytes>
void ToYuv420(const std::uint8_t* pixels, int width, int height, std::uint8_t* yuv) {
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < w * h; ++i) yuv[i] = Luma(pixels + kBytes * i);
  std::uint8_t* blue = yuv + w * h;
  std::uint8_t* red = blue + (w / 2) * (h / 2);
  for (std::size_t j = 0; j < h / 2; ++j) {
    const std::uint8_t* top = pixels + 2 * j * w * kBytes;
    const std::uint8_t* bottom = top + w * kBytes;
    for (std::size_t i = 0; i < w / 2; ++i) {
      const std::uint8_t* t = top + 2 * kBytes * i;
      const std::uint8_t* b = bottom + 2 * kBytes * i;
      const int sr = t[0] + t[kBytes] + b[0] + b[kBytes];
      const int sg = t[1] + t[kBytes + 1] + b[1] + b[kBytes + 1];
      const int sb = t[2] + t[kBytes + 2] + b[2] + b[kBytes + 2];
      // Sums of four: the rounding constant and the shift take the average.
      const int cb = kBlueR * sr + kBlueG * sg + kBlueB * sb, cr = kRedR * sr + kRedG * sg + kRedB * sb;
      blue[j * (w / 2) + i] = static_cast<std::uint8_t>(128 + ((cb + (1 << (kShift + 1))) >> (kShift + 2)));
      red[j * (w / 2) + i] = static_cast<std::uint8_t>(128 + ((cr + (1 << (kShift + 1))) >> (kShift + 2)));
    }
  }
}

}  // namespace

void RgbToYuv420(const std::uint8_t* rgb, int width, int height, std::uint8_t* yuv) {
  ToYuv420<3>(rgb, width, height, yuv);
}

void RgbxToYuv420(const std::uint8_t* rgbx, int width, int height, std::uint8_t* yuv) {
  ToYuv420<4>(rgbx, width, height, yuv);
}

void YuvColourWords(const std::uint8_t* palette, std::uint32_t colours[256]) {
  constexpr int kBlue[3] = {kBlueR, kBlueG, kBlueB}, kRed[3] = {kRedR, kRedG, kRedB};
  for (int i = 0; i < 256; ++i) {
    std::uint8_t p[3] = {palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
    if (i == 0 || i == 255) p[0] = p[1] = p[2] = i == 0 ? 0 : 255;  // as ScreenColourWords
    colours[i] = static_cast<std::uint32_t>(Luma(p)) |
                 static_cast<std::uint32_t>(Chroma(p[0], p[1], p[2], kBlue)) << 8 |
                 static_cast<std::uint32_t>(Chroma(p[0], p[1], p[2], kRed)) << 16;
  }
}

namespace {

// Pixels [from, to) of a row pair: luma of both rows, and the chroma samples of pixel pairs from/2 on.
void SplitYuvxPlain(const std::uint8_t* top, const std::uint8_t* bottom, std::size_t from, std::size_t to,
                    std::uint8_t* lumaTop, std::uint8_t* lumaBottom, std::uint8_t* blue, std::uint8_t* red) {
  for (std::size_t i = from; i < to; ++i) {
    lumaTop[i] = top[4 * i];
    lumaBottom[i] = bottom[4 * i];
  }
  for (std::size_t i = from / 2; i < to / 2; ++i) {
    const std::uint8_t* t = top + 8 * i;
    const std::uint8_t* b = bottom + 8 * i;
    blue[i] = static_cast<std::uint8_t>((t[1] + t[5] + b[1] + b[5] + 2) >> 2);
    red[i] = static_cast<std::uint8_t>((t[2] + t[6] + b[2] + b[6] + 2) >> 2);
  }
}

#if defined(__SSE2__)
// Sixteen pixels of a row pair in one go (the plain loops do not vectorize well: their bytes lie four apart).
inline __m128i LumaOfSixteen(const __m128i* p) {
  const __m128i low = _mm_set1_epi32(0xFF);
  return _mm_packus_epi16(
      _mm_packs_epi32(_mm_and_si128(_mm_loadu_si128(p), low), _mm_and_si128(_mm_loadu_si128(p + 1), low)),
      _mm_packs_epi32(_mm_and_si128(_mm_loadu_si128(p + 2), low), _mm_and_si128(_mm_loadu_si128(p + 3), low)));
}

// Four pixels of each row to two chroma samples: 16-bit Cb, Cr, Cb, Cr sums of four in the low half.
inline __m128i ChromaSumsOfFour(const __m128i* top, const __m128i* bottom) {
  // Y, Cb, Cr, unused to Cb and Cr in 16-bit lanes.
  const auto spread = [](__m128i p) {
    return _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 8), _mm_set1_epi32(0xFF)),
                        _mm_and_si128(p, _mm_set1_epi32(0xFF0000)));
  };
  const __m128i down = _mm_add_epi16(spread(_mm_loadu_si128(top)), spread(_mm_loadu_si128(bottom)));
  const __m128i across = _mm_add_epi16(down, _mm_srli_epi64(down, 32));
  return _mm_shuffle_epi32(across, _MM_SHUFFLE(3, 1, 2, 0));
}

// Four chroma samples, rounded: 16-bit Cb, Cr pairs.
inline __m128i ChromaOfEight(const __m128i* top, const __m128i* bottom) {
  const __m128i sums = _mm_unpacklo_epi64(ChromaSumsOfFour(top, bottom), ChromaSumsOfFour(top + 1, bottom + 1));
  return _mm_srli_epi16(_mm_add_epi16(sums, _mm_set1_epi16(2)), 2);
}

void SplitYuvxRows(const std::uint8_t* top, const std::uint8_t* bottom, std::size_t width, std::uint8_t* lumaTop,
                   std::uint8_t* lumaBottom, std::uint8_t* blue, std::uint8_t* red) {
  const std::size_t whole = width & ~std::size_t{15};
  for (std::size_t i = 0; i < whole; i += 16) {
    const auto* t = reinterpret_cast<const __m128i*>(top + 4 * i);
    const auto* b = reinterpret_cast<const __m128i*>(bottom + 4 * i);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lumaTop + i), LumaOfSixteen(t));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lumaBottom + i), LumaOfSixteen(b));
    const __m128i first = ChromaOfEight(t, b), second = ChromaOfEight(t + 2, b + 2);
    const __m128i low = _mm_set1_epi32(0xFFFF);
    const __m128i blues = _mm_packs_epi32(_mm_and_si128(first, low), _mm_and_si128(second, low));
    const __m128i reds = _mm_packs_epi32(_mm_srli_epi32(first, 16), _mm_srli_epi32(second, 16));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(blue + i / 2), _mm_packus_epi16(blues, blues));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(red + i / 2), _mm_packus_epi16(reds, reds));
  }
  SplitYuvxPlain(top, bottom, whole, width, lumaTop, lumaBottom, blue, red);
}
#else
void SplitYuvxRows(const std::uint8_t* top, const std::uint8_t* bottom, std::size_t width, std::uint8_t* lumaTop,
                   std::uint8_t* lumaBottom, std::uint8_t* blue, std::uint8_t* red) {
  SplitYuvxPlain(top, bottom, 0, width, lumaTop, lumaBottom, blue, red);
}
#endif

}  // namespace

void YuvxToYuv420(const std::uint8_t* yuvx, int width, int height, std::uint8_t* yuv) {
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  std::uint8_t* blue = yuv + w * h;
  std::uint8_t* red = blue + (w / 2) * (h / 2);
  // Row pairs: each read once for both planes.
  for (std::size_t j = 0; j < h / 2; ++j) {
    const std::uint8_t* top = yuvx + 2 * j * w * 4;
    SplitYuvxRows(top, top + w * 4, w, yuv + 2 * j * w, yuv + (2 * j + 1) * w, blue + j * (w / 2), red + j * (w / 2));
  }
  // An odd last row (PNG-sized pictures; videos are even) has luma only.
  if (h % 2 != 0)
    for (std::size_t i = 0; i < w; ++i) yuv[(h - 1) * w + i] = yuvx[4 * ((h - 1) * w + i)];
}
