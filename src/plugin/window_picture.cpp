// The picture in a window: through the palette to the window's own colours, nearest pixel into a 4:3 area; or, with
// "Picture=1", the smooth picture (window_smooth.h) where it can be had.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/window_picture_lock.h"
#include "plugin/window_smooth.h"

namespace {

std::atomic_flag g_pictureBusy = ATOMIC_FLAG_INIT;

// The source pixel whose span covers the centre of destination pixel `d`: nearest-pixel sampling.
int SourceIndex(int d, int destinationLength, int sourceLength) {
  return static_cast<int>((static_cast<long long>(2 * d + 1) * sourceLength) / (2LL * destinationLength));
}

// The colour table of the picture: DisplayPalette as the 8-bit display shows it, whose palette (made with
// DDPCAPS_8BIT alone) leaves entries 0 and 255 to the system's black and white.
void FillColourTable() {
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY& e = g_state.Screen.DisplayPalette[i];
    g_state.Screen.WindowBitmap.colours[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
  }
  g_state.Screen.WindowBitmap.colours[0] = RGBQUAD{0, 0, 0, 0};
  g_state.Screen.WindowBitmap.colours[255] = RGBQUAD{255, 255, 255, 0};
}

void BlackOut(HDC dc, int left, int top, int right, int bottom) {
  if (right > left && bottom > top) PatBlt(dc, left, top, right - left, bottom - top, BLACKNESS);
}

bool DrawPicture(HDC dc, bool newColours) {
  PictureLock lock;
  RECT client{};
  if (GetClientRect(g_state.Screen.Window, &client) == 0) return false;
  const int clientWidth = client.right - client.left, clientHeight = client.bottom - client.top;
  if (clientWidth <= 0 || clientHeight <= 0) return true;
  int width = clientWidth, height = clientWidth * 3 / 4;
  if (height > clientHeight) {
    height = clientHeight;
    width = clientHeight * 4 / 3;
  }
  if (width > kMaxPictureWidth) {
    width = kMaxPictureWidth;
    height = kMaxPictureWidth * 3 / 4;
  }
  const int left = (clientWidth - width) / 2, top = (clientHeight - height) / 2;
  BlackOut(dc, 0, 0, clientWidth, top);
  BlackOut(dc, 0, top + height, clientWidth, clientHeight);
  BlackOut(dc, 0, top, left, top + height);
  BlackOut(dc, left + width, top, clientWidth, top + height);
  if (width <= 0 || height <= 0) return true;

  if (g_state.Screen.WindowColumnsWidth != width) {
    for (int x = 0; x < width; ++x)
      g_state.Screen.WindowColumns[x] = static_cast<std::uint16_t>(SourceIndex(x, width, kDisplayWidth));
    g_state.Screen.WindowColumnsWidth = width;
  }
  if (newColours) {
    FillColourTable();
    g_state.Screen.Smooth.Shown = false;
  }
  BITMAPINFOHEADER& header = g_state.Screen.WindowBitmap.header;
  header = BITMAPINFOHEADER{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -1;  // one row, top-down
  header.biPlanes = 1;
  header.biBitCount = 8;
  header.biCompression = BI_RGB;
  header.biClrUsed = 256;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(&g_state.Screen.WindowBitmap);

  // Each source row is widened once by this code and then repeated down its rows by GDI: a one-row source
  // leaves the system no choice of pixels, so the picture is the same on every system.
  for (int y = 0; y < height;) {
    const int row = SourceIndex(y, height, kDisplayHeight);
    int end = y + 1;
    while (end < height && SourceIndex(end, height, kDisplayHeight) == row) ++end;
    const std::uint8_t* source = &g_state.Screen.WindowScreen[row * kDisplayWidth];
    for (int x = 0; x < width; ++x) g_state.Screen.WindowRow[x] = source[g_state.Screen.WindowColumns[x]];
    // No rows copied (0) and GDI_ERROR (-1) are both failures.
    if (StretchDIBits(dc, left, top + y, width, end - y, 0, 0, width, 1, g_state.Screen.WindowRow, info, DIB_RGB_COLORS,
                      SRCCOPY) <= 0)
      return false;
    y = end;
  }
  return true;
}

}  // namespace

PictureLock::PictureLock() {
  while (g_pictureBusy.test_and_set(std::memory_order_acquire)) {
  }
}

PictureLock::~PictureLock() { g_pictureBusy.clear(std::memory_order_release); }

bool DrawWindowPicture(HDC dc) { return DrawPicture(dc, true); }

bool RepaintWindowPicture(HDC dc) { return RepaintSmoothPicture(dc) || DrawPicture(dc, false); }

void ShowDrawnFrame() {
  PictureLock lock;
  std::memcpy(g_state.Screen.WindowScreen, g_state.Screen.WindowFrame, sizeof g_state.Screen.WindowScreen);
}

bool ShowWindowPicture() {
  HDC dc = GetDC(g_state.Screen.Window);
  if (dc == nullptr) return false;
  // The 8-bit full-screen modes have backends of their own, so only a window comes here.
  const bool smooth = g_state.Settings.Picture == kPictureSmooth && DrawSmoothPicture(dc);
  const bool drawn = smooth || DrawWindowPicture(dc);
  ReleaseDC(g_state.Screen.Window, dc);
  return drawn;
}
