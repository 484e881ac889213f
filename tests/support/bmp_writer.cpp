// Writes small BMP files for the bitmap loader's tests: 8-bit with a colour table or 24-bit, either row order.
#include "support/bmp_writer.h"

namespace {
void PutLe16(std::vector<unsigned char>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<unsigned char>(value);
  bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}
}  // namespace

void PutLe32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

std::vector<unsigned char> EncodeBmp(const BmpImage& image) {
  const std::size_t stride = static_cast<std::size_t>((image.width * image.bitsPerPixel + 31) / 32 * 4);
  const std::size_t tableBytes = image.bitsPerPixel == 8 ? image.colours.size() * 4 : 0;
  const std::size_t pixelOffset = 14 + 40 + tableBytes;
  const std::size_t size = pixelOffset + stride * static_cast<std::size_t>(image.height);
  std::vector<unsigned char> bytes(size, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutLe32(bytes, 2, static_cast<std::uint32_t>(size));
  PutLe32(bytes, kBmpPixelOffsetAt, static_cast<std::uint32_t>(pixelOffset));
  PutLe32(bytes, 14, 40);
  PutLe32(bytes, kBmpWidthAt, static_cast<std::uint32_t>(image.width));
  PutLe32(bytes, kBmpHeightAt, static_cast<std::uint32_t>(image.topDown ? -image.height : image.height));
  PutLe16(bytes, 26, 1);
  PutLe16(bytes, kBmpBitCountAt, static_cast<std::uint16_t>(image.bitsPerPixel));
  PutLe32(bytes, kBmpCompressionAt, 0);
  PutLe32(bytes, 34, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(image.height)));
  PutLe32(bytes, kBmpColoursUsedAt, image.bitsPerPixel == 8 ? static_cast<std::uint32_t>(image.colours.size()) : 0);
  for (std::size_t i = 0; i < tableBytes / 4; ++i) {
    std::uint32_t rgb = image.colours[i];
    bytes[54 + 4 * i] = static_cast<unsigned char>(rgb);            // blue
    bytes[54 + 4 * i + 1] = static_cast<unsigned char>(rgb >> 8);   // green
    bytes[54 + 4 * i + 2] = static_cast<unsigned char>(rgb >> 16);  // red
  }
  for (int y = 0; y < image.height; ++y) {
    int stored = image.topDown ? y : image.height - 1 - y;
    unsigned char* row = &bytes[pixelOffset + static_cast<std::size_t>(stored) * stride];
    for (int x = 0; x < image.width; ++x) {
      std::uint32_t value = image.pixels[static_cast<std::size_t>(y * image.width + x)];
      if (image.bitsPerPixel == 8) {
        row[x] = static_cast<unsigned char>(value);
      } else {
        row[3 * x] = static_cast<unsigned char>(value);
        row[3 * x + 1] = static_cast<unsigned char>(value >> 8);
        row[3 * x + 2] = static_cast<unsigned char>(value >> 16);
      }
    }
  }
  return bytes;
}

BmpImage MakeTextureImage() {
  BmpImage image;
  image.width = 256;
  image.height = 256;
  image.bitsPerPixel = 8;
  for (std::uint32_t i = 0; i < 256; ++i) image.colours.push_back(i << 16 | i << 8 | i);
  image.pixels.assign(256 * 256, 0);
  return image;
}
