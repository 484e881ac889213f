// Fuzz target: any bytes as the texture bitmap, through the data set's reader and straight through the GDI calls
// of the headless platform, which decode with the same format library.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "data/plugin_data.h"
#include "platform/platform.h"

namespace {

constexpr std::uint8_t kPoison = 0xA5;
constexpr UINT kLoadFlags = LR_CREATEDIBSECTION | LR_LOADFROMFILE;

std::uint8_t Luma(COLORREF c) {
  double luma = 0.299 * GetRValue(c) + 0.587 * GetGValue(c) + 0.114 * GetBValue(c);
  return static_cast<std::uint8_t>(static_cast<int>(luma));
}

bool IsDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Reads corners, centre and points just outside; the texture's bytes must agree with what the loader stored.
void CheckPixels(HBITMAP bitmap, const std::uint8_t* texture) {
  BITMAP d{};
  FuzzCheck(GetObjectA(bitmap, sizeof d, &d) == sizeof d, "a loaded bitmap has no description");
  FuzzCheck(d.bmWidth >= 1 && d.bmWidth <= 16384 && d.bmHeight >= 1 && d.bmHeight <= 16384, "odd sides reported");
  FuzzCheck(IsDepth(d.bmBitsPixel) && d.bmWidthBytes % 4 == 0, "odd depth or stride reported");
  HDC dc = CreateCompatibleDC(nullptr);
  FuzzCheck(dc != nullptr, "no memory context");
  SelectObject(dc, bitmap);
  const int w = d.bmWidth, h = d.bmHeight;
  const int inside[][2] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}};
  for (const auto& p : inside) {
    const COLORREF c = GetPixel(dc, p[0], p[1]);
    FuzzCheck((c >> 24) == 0, "a pixel inside is not a colour");
    if (texture != nullptr) {
      FuzzCheck(texture[p[0] * 256 + (255 - p[1])] == Luma(c), "the texture disagrees with the pixel");
    }
  }
  const int outside[][2] = {{-1, 0}, {w, 0}, {0, h}, {0, -1}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}};
  for (const auto& p : outside) FuzzCheck(GetPixel(dc, p[0], p[1]) == CLR_INVALID, "a pixel outside was read");
  FuzzCheck(DeleteDC(dc) == TRUE, "the context did not go");
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

  // The same file loaded directly: it loads exactly when the loader got past its first step.
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, name.c_str(), IMAGE_BITMAP, 256, 256, kLoadFlags));
  FuzzCheck((bitmap != nullptr) == (status != 1), "the direct load disagrees with the loader");
  if (bitmap != nullptr) {
    BITMAP d{};
    GetObjectA(bitmap, sizeof d, &d);
    const bool texture256 = d.bmWidth == 256 && d.bmHeight == 256 && d.bmBitsPixel == 8;
    FuzzCheck(texture256 == (status == 0), "the loader's size test disagrees with the description");
    CheckPixels(bitmap, status == 0 ? texture : nullptr);
    FuzzCheck(DeleteObject(bitmap) == TRUE, "the bitmap did not go");
  }
  FuzzCheck(HeadlessLiveGdiObjects() == 0, "a GDI object outlived its deletion");
  return 0;
}
