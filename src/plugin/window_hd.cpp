// The hd picture: the map is made once per client size, outside the picture lock (some 0.35 s at 1080p in the
// 32-bit plug-in), and only the pixels change hands under it, so a repaint never waits for a map.
#include "plugin/window_hd.h"

#include <cstring>
#include <new>
#include <utility>

#include "core/hd_tunnel_map.h"
#include "plugin/plugin_state.h"
#include "plugin/window_picture_lock.h"

namespace {

bool ClientSize(const Plugin& plugin, int& width, int& height) {
  return VidClientSize(plugin.Screen.Window, &width, &height) && width > 0 && height > 0;
}

// A new map and pixels for width x height; on failure the size is remembered as tried, so that a size that cannot
// be had is not tried again every frame, and the window shows the classic picture.
void Remake(Plugin& plugin, int width, int height) {
  HdPicture& hd = plugin.Screen.Hd;
  std::vector<std::uint32_t> pixels;
  bool made = false;
  try {
    if (!hd.Tunnel) hd.Tunnel = std::make_unique<HdTunnel>();
    // The shape a 320 x 200 screen had on a 4:3 monitor, centred, as the command line's window shows it.
    made = hd.Tunnel->Prepare(width, height, CentredHdView(width, height, kFourThirdsPixelAspect, false),
                              HdSampling::Sharp);
    if (made) pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  } catch (const std::bad_alloc&) {
    made = false;
  }
  PictureLock lock(plugin.Screen);
  hd.Pixels = made ? std::move(pixels) : std::vector<std::uint32_t>{};
  hd.Width = width;
  hd.Height = height;
  hd.Ready = made;
  hd.Shown = false;
}

// The display palette as the window shows it: entries 0 and 255 black and white.
void ColourWords(const Screen& screen, std::uint32_t colours[256]) {
  for (int i = 0; i < 256; ++i) {
    const VidColour& e = screen.DisplayPalette[i];
    colours[i] = std::uint32_t{e.blue} | std::uint32_t{e.green} << 8 | std::uint32_t{e.red} << 16;
  }
  colours[0] = 0;
  colours[255] = 0xFFFFFF;
}

// With the picture lock held.
bool Blit(const HdPicture& hd, VidCanvas* canvas) {
  return VidDrawPixels(canvas, hd.Width, hd.Height, hd.Pixels.data());
}

}  // namespace

bool DrawHdPicture(Plugin& plugin, VidCanvas* canvas) {
  HdPicture& hd = plugin.Screen.Hd;
  int width = 0, height = 0;
  if (!ClientSize(plugin, width, height)) return false;
  const bool settled = width == hd.SeenWidth && height == hd.SeenHeight;
  hd.SeenWidth = width;
  hd.SeenHeight = height;
  if (width != hd.Width || height != hd.Height) {
    // The first picture comes at once; a new size waits until it has held from one frame to the next.
    if (hd.Width != 0 && !settled) return false;
    Remake(plugin, width, height);
  }
  if (!hd.Ready) return false;
  std::uint32_t colours[256];
  ColourWords(plugin.Screen, colours);
  PictureLock lock(plugin.Screen);
  // A repaint at another size shows the classic picture, in the colours of now.
  std::memcpy(plugin.Screen.WindowColours, colours, sizeof colours);
  plugin.Effect.DrawHd(*hd.Tunnel, colours, reinterpret_cast<std::uint8_t*>(hd.Pixels.data()),
                       static_cast<std::ptrdiff_t>(hd.Width) * 4, 4);
  hd.Shown = Blit(hd, canvas);
  return hd.Shown;
}

bool RepaintHdPicture(Plugin& plugin, VidCanvas* canvas) {
  int width = 0, height = 0;
  if (!ClientSize(plugin, width, height)) return false;
  PictureLock lock(plugin.Screen);
  const HdPicture& hd = plugin.Screen.Hd;
  if (!hd.Shown || width != hd.Width || height != hd.Height) return false;
  return Blit(hd, canvas);
}

void ReleaseHdPicture(Plugin& plugin) {
  HdPicture& hd = plugin.Screen.Hd;
  PictureLock lock(plugin.Screen);
  hd.Tunnel.reset();
  hd.Pixels = {};
  hd.Width = hd.Height = hd.SeenWidth = hd.SeenHeight = 0;
  hd.Ready = hd.Shown = false;
}
