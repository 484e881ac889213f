// The hd picture of the window screens ("Picture=1"): the tunnel drawn at the client area's own size from the
// effect's last frame, kept as 32-bit pixels for repaints. Its map is made off Render's thread.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/hd_tunnel.h"
#include "plugin/video.h"

struct Plugin;

// A map being made on a thread of its own for one size; Render's thread takes it over once it is made.
struct HdMapJob : VidJob {
  std::int32_t Width{}, Height{};
  std::unique_ptr<HdTunnel> Tunnel;
  std::vector<std::uint32_t> Pixels;
  bool Made{};
  VidWork* Work{};  // started and not yet taken over
};

struct HdPicture {
  std::unique_ptr<HdTunnel> Tunnel;        // the map for Width x Height
  std::vector<std::uint32_t> Pixels;       // Width x Height, top row first, each 0x00RRGGBB
  std::int32_t Width{}, Height{};          // the size last made, or tried
  bool Ready{};                            // Tunnel and Pixels are made for Width x Height
  bool Shown{};                            // Pixels hold the picture the window shows
  std::int32_t SeenWidth{}, SeenHeight{};  // the client area at the previous frame
  HdMapJob Next;                           // the map being made for a new size
};

// The map for the window's client area, made here and now (Init's, so that the first frame shows the picture).
void PrepareHdPicture(Plugin& plugin);
// A map for width x height, made off Render's thread, unless it is made or being made already; the window's thread
// asks as soon as the client area changes, Render's thread every frame. Only one is made at a time. A `settled` size
// (the same as at the last frame) waits a short while, well within a frame, for its map to be made.
void RequestHdMap(Plugin& plugin, int width, int height, bool settled = false);
// Draws the effect's last frame through DisplayPalette at the client area's size and shows it. False when the
// window shows the classic picture instead: no client area, a size new since the last frame (while the user drags
// the window's edge the enlarged frame stands in), a map not made yet or not to be had, or the drawing failed.
bool DrawHdPicture(Plugin& plugin, VidCanvas* canvas);
// The last hd picture again for a repaint, if it is what the window shows and still fits its client area.
bool RepaintHdPicture(Plugin& plugin, VidCanvas* canvas);
// Gives the map and the pixels back, when the display goes (after the map being made, if any, is done).
void ReleaseHdPicture(Plugin& plugin);
