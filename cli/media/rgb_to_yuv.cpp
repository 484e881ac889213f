// RGB pictures to BT.709 limited-range YUV 4:2:0, in fixed point: a 4K frame every 20 ms leaves no room for doubles.
#include "rgb_to_yuv.h"

#include <cstddef>

namespace {

// The BT.709 coefficients scaled by 2^16 and by 219/255 (luma) or 224/255 (chroma).
constexpr int kShift = 16;
constexpr int kLumaR = 11966, kLumaG = 40254, kLumaB = 4064;  // 0.2126, 0.7152, 0.0722 x 219/255
constexpr int kBlueR = -6596, kBlueG = -22189, kBlueB = 28784;  // (B - Y) / 1.8556 x 224/255
constexpr int kRedR = 28784, kRedG = -26145, kRedB = -2639;  // (R - Y) / 1.5748 x 224/255

inline std::uint8_t Luma(const std::uint8_t* p) {
  const int y = kLumaR * p[0] + kLumaG * p[1] + kLumaB * p[2];
  return static_cast<std::uint8_t>(16 + ((y + (1 << (kShift - 1))) >> kShift));
}

}  // namespace

void RgbToYuv420(const std::uint8_t* rgb, int width, int height, std::uint8_t* yuv) {
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < w * h; ++i) yuv[i] = Luma(rgb + 3 * i);
  std::uint8_t* blue = yuv + w * h;
  std::uint8_t* red = blue + (w / 2) * (h / 2);
  for (std::size_t j = 0; j < h / 2; ++j) {
    const std::uint8_t* top = rgb + 2 * j * w * 3;
    const std::uint8_t* bottom = top + w * 3;
    for (std::size_t i = 0; i < w / 2; ++i, top += 6, bottom += 6) {
      const int r = top[0] + top[3] + bottom[0] + bottom[3];
      const int g = top[1] + top[4] + bottom[1] + bottom[4];
      const int b = top[2] + top[5] + bottom[2] + bottom[5];
      // Sums of four: the rounding constant and the shift take the average.
      const int cb = kBlueR * r + kBlueG * g + kBlueB * b, cr = kRedR * r + kRedG * g + kRedB * b;
      *blue++ = static_cast<std::uint8_t>(128 + ((cb + (1 << (kShift + 1))) >> (kShift + 2)));
      *red++ = static_cast<std::uint8_t>(128 + ((cr + (1 << (kShift + 1))) >> (kShift + 2)));
    }
  }
}
