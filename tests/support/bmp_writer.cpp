// Writes small BMP files for the bitmap loader's tests: every depth, either row order, masks, run-length data.
#include "support/bmp_writer.h"

namespace {
void PutLe16(std::vector<unsigned char>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<unsigned char>(value);
  bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void PutPixel(unsigned char* row, int bits, int x, std::uint32_t value) {
  const std::size_t at = static_cast<std::size_t>(x);
  switch (bits) {
    case 1:
      row[at / 8] |= static_cast<unsigned char>((value & 1) << (7 - at % 8));
      break;
    case 4:
      row[at / 2] |= static_cast<unsigned char>((value & 15) << (at % 2 == 0 ? 4 : 0));
      break;
    case 8:
      row[at] = static_cast<unsigned char>(value);
      break;
    default:
      for (int i = 0; i < bits / 8; ++i)
        row[at * static_cast<std::size_t>(bits / 8) + static_cast<std::size_t>(i)] =
            static_cast<unsigned char>(value >> (8 * i));
  }
}
}  // namespace

void PutLe32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

std::vector<unsigned char> EncodeBmp(const BmpImage& image) {
  const bool compressed = !image.runLength.empty();
  const std::size_t stride = static_cast<std::size_t>((image.width * image.bitsPerPixel + 31) / 32 * 4);
  const std::size_t infoBytes = image.coreHeader ? 12 : 40;
  const std::size_t entryBytes = image.coreHeader ? 3 : 4;
  const std::size_t tableAt = 14 + infoBytes;
  const std::size_t tableBytes = image.bitsPerPixel <= 8 ? image.colours.size() * entryBytes : image.masks.size() * 4;
  const std::size_t pixelOffset = tableAt + tableBytes;
  const std::size_t pixelBytes = compressed ? image.runLength.size() : stride * static_cast<std::size_t>(image.height);
  const std::size_t size = pixelOffset + pixelBytes;
  std::vector<unsigned char> bytes(size, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutLe32(bytes, 2, static_cast<std::uint32_t>(size));
  PutLe32(bytes, kBmpPixelOffsetAt, static_cast<std::uint32_t>(pixelOffset));
  PutLe32(bytes, kBmpInfoSizeAt, static_cast<std::uint32_t>(infoBytes));
  if (image.coreHeader) {
    PutLe16(bytes, 18, static_cast<std::uint16_t>(image.width));
    PutLe16(bytes, 20, static_cast<std::uint16_t>(image.height));
    PutLe16(bytes, 22, 1);
    PutLe16(bytes, 24, static_cast<std::uint16_t>(image.bitsPerPixel));
  } else {
    PutLe32(bytes, kBmpWidthAt, static_cast<std::uint32_t>(image.width));
    PutLe32(bytes, kBmpHeightAt, static_cast<std::uint32_t>(image.topDown ? -image.height : image.height));
    PutLe16(bytes, kBmpPlanesAt, 1);
    PutLe16(bytes, kBmpBitCountAt, static_cast<std::uint16_t>(image.bitsPerPixel));
    const std::uint32_t compression = compressed ? (image.bitsPerPixel == 4 ? 2 : 1) : image.masks.empty() ? 0 : 3;
    PutLe32(bytes, kBmpCompressionAt, compression);
    PutLe32(bytes, kBmpImageSizeAt, static_cast<std::uint32_t>(pixelBytes));
    PutLe32(bytes, kBmpColoursUsedAt, image.bitsPerPixel <= 8 ? static_cast<std::uint32_t>(image.colours.size()) : 0);
  }
  if (image.bitsPerPixel <= 8) {
    for (std::size_t i = 0; i < image.colours.size(); ++i) {
      const std::uint32_t rgb = image.colours[i];
      unsigned char* entry = &bytes[tableAt + i * entryBytes];
      entry[0] = static_cast<unsigned char>(rgb);        // blue
      entry[1] = static_cast<unsigned char>(rgb >> 8);   // green
      entry[2] = static_cast<unsigned char>(rgb >> 16);  // red
    }
  } else {
    for (std::size_t i = 0; i < image.masks.size(); ++i) PutLe32(bytes, tableAt + 4 * i, image.masks[i]);
  }
  if (compressed) {
    std::copy(image.runLength.begin(), image.runLength.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pixelOffset));
    return bytes;
  }
  for (int y = 0; y < image.height && !image.pixels.empty(); ++y) {
    const int stored = image.topDown ? y : image.height - 1 - y;
    unsigned char* row = &bytes[pixelOffset + static_cast<std::size_t>(stored) * stride];
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t value = image.pixels[static_cast<std::size_t>(y * image.width + x)];
      // 24-bit values are given as 0x00RRGGBB and stored blue first, which is the little-endian order anyway.
      PutPixel(row, image.bitsPerPixel, x, value);
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

BmpImage MakeDepthImage(int bitsPerPixel) {
  BmpImage image;
  image.width = 256;
  image.height = 256;
  image.bitsPerPixel = bitsPerPixel;
  if (bitsPerPixel <= 8) {
    const std::uint32_t count = 1u << bitsPerPixel;
    for (std::uint32_t i = 0; i < count; ++i) image.colours.push_back(i * 255 / (count - 1) * 0x010101u);
  }
  image.pixels.assign(256 * 256, 0);
  return image;
}
