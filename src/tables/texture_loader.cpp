// The texture loader: a 256 x 256 8-bit bitmap file turned into brightness values, one column per run.
#include "tables/texture_loader.h"

#include "plugin/effect_state.h"
#include "platform/platform.h"
#include "tables/bitmap_file.h"

namespace {

constexpr int kTextureSide = 256;
constexpr int kTextureBits = 8;

// BT.601 luma, in this order and in double, cut toward zero.
std::uint8_t Brightness(COLORREF colour) {
  double luma = 0.299 * GetRValue(colour) + 0.587 * GetGValue(colour) + 0.114 * GetBValue(colour);
  return static_cast<std::uint8_t>(static_cast<int>(luma));
}

}  // namespace

int LoadTexture(std::uint8_t* output) {
  // A cut-off or inconsistent file would make the system's loader read beyond it; it is refused as unloadable.
  if (!BitmapFileIsWhole(g_state.Settings.TextureName)) return 1;
  HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), g_state.Settings.TextureName, IMAGE_BITMAP,
                                      kTextureSide, kTextureSide, LR_CREATEDIBSECTION | LR_LOADFROMFILE));
  if (bitmap == nullptr) return 1;

  BITMAP description{};
  if (GetObjectA(bitmap, sizeof description, &description) == 0 || description.bmWidth != kTextureSide ||
      description.bmHeight != kTextureSide || description.bmBitsPixel != kTextureBits) {
    DeleteObject(bitmap);
    return 2;
  }

  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) {
    DeleteObject(bitmap);
    return 3;
  }
  SelectObject(dc, bitmap);
  // Bitmap column x becomes run x of the map, read from the bottom row up.
  for (int y = 0; y < kTextureSide; ++y)
    for (int x = 0; x < kTextureSide; ++x)
      output[x * kTextureSide + (kTextureSide - 1 - y)] = Brightness(GetPixel(dc, x, y));
  DeleteDC(dc);
  DeleteObject(bitmap);
  return 0;
}
