// RGB pictures to BT.709 limited-range YUV 4:2:0, in fixed point: a 4K frame every 20 ms leaves no room for doubles.
#include "rgb_to_yuv.h"

#include <cstddef>

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
