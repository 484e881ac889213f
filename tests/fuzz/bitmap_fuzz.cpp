// Fuzz target: any bytes as the texture bitmap, through the data set's reader and straight through the format
// library's decoder it reads with.
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "data/plugin_data.h"
#include "formats/bitmap_decode.h"

namespace {

constexpr std::uint8_t kPoison = 0xA5;

std::uint8_t Luma(BitmapColour c) {
  double luma = 0.299 * (c & 0xFF) + 0.587 * ((c >> 8) & 0xFF) + 0.114 * ((c >> 16) & 0xFF);
  return static_cast<std::uint8_t>(static_cast<int>(luma));
}

bool IsDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Reads corners and centre; the texture's bytes must agree with what the loader stored.
void CheckPixels(const DecodedBitmap& d, const std::uint8_t* texture) {
  FuzzCheck(d.width >= 1 && d.width <= 16384 && d.height >= 1 && d.height <= 16384, "odd sides reported");
  FuzzCheck(IsDepth(d.bitsPerPixel) && d.stride % 4 == 0, "odd depth or stride reported");
  const int w = d.width, h = d.height;
  const int inside[][2] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}};
  for (const auto& p : inside) {
    const BitmapColour c = DecodedPixel(d, p[0], p[1]);
    FuzzCheck((c >> 24) == 0, "a pixel inside is not a colour");
    if (texture != nullptr) {
      FuzzCheck(texture[p[0] * 256 + (255 - p[1])] == Luma(c), "the texture disagrees with the pixel");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PluginFolder& folder = FreshFuzzSession();
  WriteFileBytes(folder.root / "texture.bmp", std::vector<unsigned char>(data, data + size));
  std::string name = (folder.root / "texture.bmp").string();
  for (char& c : name)
    if (c == '/') c = '\\';
  // The stored name, as the settings hold it, read as the plug-in reads it.
  std::vector<std::uint8_t> read(7, kPoison);
  const int status = ReadTexture(StoredPath(name.c_str()), read);
  FuzzCheck(status >= 0 && status <= 2, "status out of range");
  FuzzCheck(status == 0 ? read.size() == 65536 : read == std::vector<std::uint8_t>(7, kPoison),
            "a refused texture changed the output, or a read one is not 65536 bytes");
  const std::uint8_t* texture = read.data();

  // The same bytes decoded directly: they decode exactly when the loader got past its first step.
  DecodedBitmap d;
  const bool decoded = DecodeBmpFile(data, size, &d);
  FuzzCheck(decoded == (status != 1), "the direct decode disagrees with the loader");
  if (decoded) {
    const bool texture256 = d.width == 256 && d.height == 256 && d.bitsPerPixel == 8;
    FuzzCheck(texture256 == (status == 0), "the loader's size test disagrees with the description");
    CheckPixels(d, status == 0 ? texture : nullptr);
  }
  return 0;
}
