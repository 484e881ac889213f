// The hd picture of the window screens ("Picture=1"): the tunnel drawn at the client area's own size from the
// effect's last frame, kept as 32-bit pixels for repaints.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/hd_tunnel.h"

struct Plugin;
struct VidCanvas;

struct HdPicture {
  std::unique_ptr<HdTunnel> Tunnel;        // the map for Width x Height; used by Render's thread alone
  std::vector<std::uint32_t> Pixels;       // Width x Height, top row first, each 0x00RRGGBB
  std::int32_t Width{}, Height{};          // the size last made, or tried
  bool Ready{};                            // Tunnel and Pixels are made for Width x Height
  bool Shown{};                            // Pixels hold the picture the window shows
  std::int32_t SeenWidth{}, SeenHeight{};  // the client area at the previous frame
};

// Draws the effect's last frame through DisplayPalette at the client area's size and shows it. False when the
// window shows the classic picture instead: no client area, a size still changing (while the user drags the
// window's edge the map is not made again for every size on the way), no memory, or the drawing failed.
bool DrawHdPicture(Plugin& plugin, VidCanvas* canvas);
// The last hd picture again for a repaint, if it is what the window shows and still fits its client area.
bool RepaintHdPicture(Plugin& plugin, VidCanvas* canvas);
// Gives the map and the pixels back, when the display goes.
void ReleaseHdPicture(Plugin& plugin);
