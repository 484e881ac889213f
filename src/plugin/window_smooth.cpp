// The smooth picture: the map is made once per client size, outside the picture lock (some 0.35 s at 1080p in the
// 32-bit plug-in), and only the pixels change hands under it, so a repaint never waits for a map.
#include "plugin/window_smooth.h"

#include <cstring>
#include <new>
#include <utility>

#include "core/hd_tunnel_map.h"
#include "plugin/effect_state.h"
#include "plugin/window_picture_lock.h"

namespace {

SmoothPicture& Smooth() { return g_state.Screen.Smooth; }

bool ClientSize(int& width, int& height) {
  RECT client{};
  if (GetClientRect(g_state.Screen.Window, &client) == 0) return false;
  width = client.right - client.left;
  height = client.bottom - client.top;
  return width > 0 && height > 0;
}

// A new map and pixels for width x height; on failure the size is remembered as tried, so that a size that cannot
// be had is not tried again every frame, and the window shows the classic picture.
void Remake(int width, int height) {
  SmoothPicture& s = Smooth();
  std::vector<std::uint32_t> pixels;
  bool made = false;
  try {
    if (!s.Tunnel) s.Tunnel = std::make_unique<HdTunnel>();
    // The shape a 320 x 200 screen had on a 4:3 monitor, centred, as the command line's window shows it.
    made = s.Tunnel->Prepare(width, height, CentredHdView(width, height, kFourThirdsPixelAspect, false),
                             HdSampling::Sharp);
    if (made) pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  } catch (const std::bad_alloc&) {
    made = false;
  }
  PictureLock lock;
  s.Pixels = made ? std::move(pixels) : std::vector<std::uint32_t>{};
  s.Width = width;
  s.Height = height;
  s.Ready = made;
  s.Shown = false;
}

// The display palette as the window's colour table has it: entries 0 and 255 black and white.
void ColourWords(std::uint32_t colours[256]) {
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY& e = g_state.Screen.DisplayPalette[i];
    colours[i] = static_cast<std::uint32_t>(e.peBlue) | static_cast<std::uint32_t>(e.peGreen) << 8 |
                 static_cast<std::uint32_t>(e.peRed) << 16;
  }
  colours[0] = 0;
  colours[255] = 0xFFFFFF;
}

// With the picture lock held.
bool Blit(HDC dc) {
  const SmoothPicture& s = Smooth();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = s.Width;
  info.bmiHeader.biHeight = -s.Height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return StretchDIBits(dc, 0, 0, s.Width, s.Height, 0, 0, s.Width, s.Height, s.Pixels.data(), &info, DIB_RGB_COLORS,
                       SRCCOPY) > 0;
}

}  // namespace

bool DrawSmoothPicture(HDC dc) {
  SmoothPicture& s = Smooth();
  int width = 0, height = 0;
  if (!ClientSize(width, height)) return false;
  const bool settled = width == s.SeenWidth && height == s.SeenHeight;
  s.SeenWidth = width;
  s.SeenHeight = height;
  if (width != s.Width || height != s.Height) {
    // The first picture comes at once; a new size waits until it has held from one frame to the next.
    if (s.Width != 0 && !settled) return false;
    Remake(width, height);
  }
  if (!s.Ready) return false;
  std::uint32_t colours[256];
  ColourWords(colours);
  PictureLock lock;
  // A repaint at another size shows the classic picture, in the colours of now (a colour word has RGBQUAD's bytes).
  static_assert(sizeof colours == sizeof g_state.Screen.WindowBitmap.colours);
  std::memcpy(g_state.Screen.WindowBitmap.colours, colours, sizeof colours);
  g_state.Effect.DrawHd(*s.Tunnel, colours, reinterpret_cast<std::uint8_t*>(s.Pixels.data()),
                        static_cast<std::ptrdiff_t>(s.Width) * 4, 4);
  s.Shown = Blit(dc);
  return s.Shown;
}

bool RepaintSmoothPicture(HDC dc) {
  int width = 0, height = 0;
  if (!ClientSize(width, height)) return false;
  PictureLock lock;
  const SmoothPicture& s = Smooth();
  if (!s.Shown || width != s.Width || height != s.Height) return false;
  return Blit(dc);
}

void ReleaseSmoothPicture() {
  SmoothPicture& s = Smooth();
  PictureLock lock;
  s.Tunnel.reset();
  s.Pixels = {};
  s.Width = s.Height = s.SeenWidth = s.SeenHeight = 0;
  s.Ready = s.Shown = false;
}
