// The texture: a 256 x 256 8-bit bitmap file turned into brightness values, one column per run, decoded as the
// system's bitmap loader decodes it.
#include <fstream>
#include <iterator>
#include <system_error>

#include "data/bitmap_file.h"
#include "data/plugin_data.h"
#include "formats/bitmap_decode.h"

namespace {

constexpr int kTextureSide = 256;
constexpr int kTextureBits = 8;
// Refused outright: files larger than any bitmap the loader is given.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

// BT.601 luma, in this order and in double, cut toward zero.
std::uint8_t Brightness(BitmapColour colour) {
  const unsigned red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
  double luma = 0.299 * red + 0.587 * green + 0.114 * blue;
  return static_cast<std::uint8_t>(static_cast<int>(luma));
}

}  // namespace

TextureStatus ReadTexture(const std::filesystem::path& file, std::vector<std::uint8_t>& brightness) {
  // A cut-off or inconsistent file would make the system's loader read beyond it; it is refused as unloadable.
  if (!BitmapFileIsWhole(file)) return kTextureNotBitmap;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxFileBytes) return kTextureNotBitmap;
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DecodedBitmap bitmap;
  if (!in.good() && !in.eof()) return kTextureNotBitmap;
  if (!DecodeBmpFile(bytes.data(), bytes.size(), &bitmap)) return kTextureNotBitmap;
  if (bitmap.width != kTextureSide || bitmap.height != kTextureSide || bitmap.bitsPerPixel != kTextureBits)
    return kTextureWrongShape;
  brightness.assign(static_cast<std::size_t>(kTextureSide) * kTextureSide, 0);
  // Bitmap column x becomes run x of the map, read from the bottom row up.
  for (int y = 0; y < kTextureSide; ++y)
    for (int x = 0; x < kTextureSide; ++x)
      brightness[x * kTextureSide + (kTextureSide - 1 - y)] = Brightness(DecodedPixel(bitmap, x, y));
  return kTextureRead;
}
