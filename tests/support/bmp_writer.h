// Writes small BMP files for the bitmap loader's tests: 8-bit with a colour table or 24-bit, either row order.
#pragma once
#include <cstdint>
#include <vector>

struct BmpImage {
  int width = 0, height = 0;
  int bitsPerPixel = 8;                // 8 or 24
  std::vector<std::uint32_t> colours;  // 8-bit: the colour table as 0x00RRGGBB
  std::vector<std::uint32_t> pixels;   // top row first: colour indices (8-bit) or 0x00RRGGBB (24-bit)
  bool topDown = false;                // rows stored top row first (negative height)
};

// Offsets into the file of the members tests tamper with.
constexpr std::size_t kBmpPixelOffsetAt = 10;
constexpr std::size_t kBmpWidthAt = 18;
constexpr std::size_t kBmpHeightAt = 22;
constexpr std::size_t kBmpBitCountAt = 28;
constexpr std::size_t kBmpCompressionAt = 30;
constexpr std::size_t kBmpColoursUsedAt = 46;

std::vector<unsigned char> EncodeBmp(const BmpImage& image);
// A 256 x 256 8-bit image, all pixels index 0, with a grey-ramp colour table (entry i = grey i) unless changed.
BmpImage MakeTextureImage();
void PutLe32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value);
