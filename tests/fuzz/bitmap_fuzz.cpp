// Fuzz target: any bytes as the texture bitmap, through LoadTexture and straight through the GDI calls it makes.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "plugin/effect_state.h"
#include "platform/platform.h"
#include "tables/texture_loader.h"

namespace {

constexpr std::size_t kGuard = 64;
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
  std::snprintf(g_state.Settings.TextureName, sizeof g_state.Settings.TextureName, "%s", name.c_str());

  // The texture's 65536 bytes with guards on both sides: a write outside shows there.
  static std::uint8_t buffer[kGuard + 65536 + kGuard];
  std::memset(buffer, kPoison, sizeof buffer);
  std::uint8_t* texture = buffer + kGuard;
  const int status = LoadTexture(texture);
  FuzzCheck(status >= 0 && status <= 3, "status out of range");
  FuzzCheck(status != 3, "no memory context without an injected failure");
  for (std::size_t i = 0; i < sizeof buffer; ++i) {
    const bool mayChange = status == 0 && i >= kGuard && i < kGuard + 65536;
    if (!mayChange && buffer[i] != kPoison) FuzzFail("a byte outside the texture, or of a refused one, changed");
  }
  FuzzCheck(HeadlessLiveGdiObjects() == 0, "the loader left a GDI object alive");

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
