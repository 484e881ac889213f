// Writes small BMP files for the bitmap loader's tests: every depth, either row order, masks, run-length data.
#pragma once
#include <cstdint>
#include <vector>

struct BmpImage {
  int width = 0, height = 0;
  int bitsPerPixel = 8;                // 1, 4, 8, 16, 24 or 32
  std::vector<std::uint32_t> colours;  // 1, 4 and 8 bits: the colour table as 0x00RRGGBB
  // Top row first: colour indices (1, 4, 8 bits), 0x00RRGGBB (24 bits) or the stored value (16, 32 bits).
  std::vector<std::uint32_t> pixels;
  bool topDown = false;                  // rows stored top row first (negative height)
  std::vector<std::uint32_t> masks;      // 16, 32 bits: red, green, blue masks after the header (bit fields)
  std::vector<unsigned char> runLength;  // when given: stored instead of the pixels, as 8- or 4-bit run-length data
  bool coreHeader = false;               // the old 12-byte header with 3-byte colour entries
};

// Offsets into the file of the members tests tamper with (the 40-byte header).
constexpr std::size_t kBmpPixelOffsetAt = 10;
constexpr std::size_t kBmpInfoSizeAt = 14;
constexpr std::size_t kBmpWidthAt = 18;
constexpr std::size_t kBmpHeightAt = 22;
constexpr std::size_t kBmpPlanesAt = 26;
constexpr std::size_t kBmpBitCountAt = 28;
constexpr std::size_t kBmpCompressionAt = 30;
constexpr std::size_t kBmpImageSizeAt = 34;
constexpr std::size_t kBmpColoursUsedAt = 46;
constexpr std::size_t kBmpTableAt = 54;

std::vector<unsigned char> EncodeBmp(const BmpImage& image);
// A 256 x 256 8-bit image, all pixels index 0, with a grey-ramp colour table (entry i = grey i) unless changed.
BmpImage MakeTextureImage();
// A 256 x 256 image at another depth: a grey ramp table of 2^bits entries for 1 and 4 bits, no pixels set.
BmpImage MakeDepthImage(int bitsPerPixel);
void PutLe32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value);
