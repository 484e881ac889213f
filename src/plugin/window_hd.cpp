// The hd picture: its map is made once per client size on a thread of its own (some 0.35 s at 1080p in the 32-bit
// plug-in), so that no Render waits for it longer than a frame's share; the enlarged classic frame stands in until it
// is made. Everything the threads share changes hands under the picture lock.
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

// On the job's thread: the map and pixels for the job's size. A size that cannot be had (no memory) is made as
// failed, so that it is not tried again every frame and the window shows the classic picture.
void MakeMap(VidJob* job) {
  HdMapJob& next = static_cast<HdMapJob&>(*job);
  next.Made = false;
  try {
    auto tunnel = std::make_unique<HdTunnel>();
    // The shape a 320 x 200 screen had on a 4:3 monitor, centred, as the command line's window shows it.
    if (tunnel->Prepare(next.Width, next.Height, CentredHdView(next.Width, next.Height, kFourThirdsPixelAspect, false),
                        HdSampling::Sharp)) {
      next.Pixels.resize(static_cast<std::size_t>(next.Width) * static_cast<std::size_t>(next.Height));
      next.Tunnel = std::move(tunnel);
      next.Made = true;
    }
  } catch (const std::bad_alloc&) {
    next.Made = false;
  }
  if (!next.Made) {
    next.Tunnel.reset();
    next.Pixels = {};
  }
}

// With the picture lock held: the job's map becomes the picture's.
void TakeOver(HdPicture& hd, HdMapJob& next) {
  hd.Width = next.Width;
  hd.Height = next.Height;
  hd.Ready = next.Made;
  hd.Tunnel = std::move(next.Tunnel);
  hd.Pixels = std::move(next.Pixels);
  hd.Shown = false;
}

// How long a frame at a size that has held waits for the map being made for it: a small window's map is made by
// then, so its picture comes on the same frame as ever, while a large one's never holds a Render up for longer.
constexpr int kMapWaitMilliseconds = 10;

// With the picture lock held: a map made since is taken over, unless it is for another size than the one wanted
// now while the picture's own map is for that one (the window went back to its size meanwhile). A map for the size
// wanted is waited for up to `wait` milliseconds.
void TakeOverIfMade(HdPicture& hd, int width, int height, int wait) {
  if (hd.Next.Work == nullptr) return;
  const bool wanted = hd.Next.Width == width && hd.Next.Height == height;
  if (!VidWaitWork(hd.Next.Work, wanted ? wait : 0)) return;
  VidFinishWork(hd.Next.Work);
  hd.Next.Work = nullptr;
  const bool stale = !wanted && hd.Width == width && hd.Height == height;
  if (stale) {
    hd.Next.Tunnel.reset();
    hd.Next.Pixels = {};
    return;
  }
  TakeOver(hd, hd.Next);
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

void PrepareHdPicture(Plugin& plugin) {
  int width = 0, height = 0;
  if (plugin.Settings.Picture != kPictureHd || !ClientSize(plugin, width, height)) return;
  HdPicture& hd = plugin.Screen.Hd;
  {
    PictureLock lock(plugin.Screen);
    if (hd.Next.Work != nullptr) {
      VidFinishWork(hd.Next.Work);
      hd.Next.Work = nullptr;
      TakeOver(hd, hd.Next);
    }
  }
  if (width != hd.Width || height != hd.Height) {
    HdMapJob made;
    made.Width = width;
    made.Height = height;
    MakeMap(&made);
    PictureLock lock(plugin.Screen);
    TakeOver(hd, made);
  }
  hd.SeenWidth = width;
  hd.SeenHeight = height;
}

void RequestHdMap(Plugin& plugin, int width, int height, bool settled) {
  if (plugin.Settings.Picture != kPictureHd || width <= 0 || height <= 0) return;
  PictureLock lock(plugin.Screen);
  HdPicture& hd = plugin.Screen.Hd;
  TakeOverIfMade(hd, width, height, settled ? kMapWaitMilliseconds : 0);
  if ((width == hd.Width && height == hd.Height) || hd.Next.Work != nullptr) return;
  hd.Next.run = MakeMap;
  hd.Next.Width = width;
  hd.Next.Height = height;
  hd.Next.Work = VidStartWork(&hd.Next);
  // Without a thread the size counts as tried: the window keeps the classic picture at it.
  if (hd.Next.Work == nullptr) {
    hd.Width = width;
    hd.Height = height;
    hd.Ready = hd.Shown = false;
  }
}

bool DrawHdPicture(Plugin& plugin, VidCanvas* canvas) {
  HdPicture& hd = plugin.Screen.Hd;
  int width = 0, height = 0;
  if (!ClientSize(plugin, width, height)) return false;
  // The first frame at a new size shows the classic picture, also when its map is made already.
  const bool settled = width == hd.SeenWidth && height == hd.SeenHeight;
  hd.SeenWidth = width;
  hd.SeenHeight = height;
  RequestHdMap(plugin, width, height, settled);
  std::uint32_t colours[256];
  ColourWords(plugin.Screen, colours);
  PictureLock lock(plugin.Screen);
  if (!settled || !hd.Ready || width != hd.Width || height != hd.Height) return false;
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
  if (hd.Next.Work != nullptr) VidFinishWork(hd.Next.Work);
  hd.Next.Work = nullptr;
  hd.Next.Tunnel.reset();
  hd.Next.Pixels = {};
  hd.Tunnel.reset();
  hd.Pixels = {};
  hd.Width = hd.Height = hd.SeenWidth = hd.SeenHeight = 0;
  hd.Ready = hd.Shown = false;
}
