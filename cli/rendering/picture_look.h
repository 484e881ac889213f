// The picture a run shows: the plug-in's 320 x 200 frame enlarged, or the tunnel drawn at the output's own size.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/hd_tunnel.h"
#include "core/screen_colours.h"  // ScreenColourWords, for the player's window too
#include "rgb_to_yuv.h"

enum class PictureLook {
  Classic,    // "classic": the 320 x 200 frame, enlarged by whole pixels
  Hd,         // "hd": at the output's size, crisp texels with smooth edges
  HdSoft,     // "hd-soft": at the output's size, blended between texels
  HdNearest,  // "hd-nearest": at the output's size, one texel a pixel (for comparison)
};

// The names --look takes, in the order above.
extern const std::vector<std::string> kPictureLookNames;
// What --look means when it is not given: "hd" in a window and in videos and PNGs, which it draws without stair
// steps at any size; "classic" for --dump and GIFs, whose frames are the plug-in's own indices and palette, and when
// --scaling asks how the classic frame is to be enlarged.
constexpr const char* kDefaultPictureLook = "hd";
constexpr const char* kClassicPictureLook = "classic";

// False for a name not in kPictureLookNames.
bool ParsePictureLook(const std::string& name, PictureLook& look);

// The look of `play` and `live`: --look, else hd, or classic with --scaling smooth (which scales the classic
// frame).
// False, with a message, for --scaling smooth with a look drawn at the window's size, or an unknown name.
struct PlayerOptions;
bool PlayerPictureLook(const PlayerOptions& options, PictureLook& look, std::string& error);

// The tunnel at an output's size, with the picture it is drawn into; all memory is taken by PrepareHdPicture.
struct HdPicture {
  HdTunnel tunnel;
  std::vector<std::uint8_t> pixels;  // width x height pixels as `layout` says
  PicturePixels layout = PicturePixels::Rgb;
};

// For a look other than Classic. pixelAspect: 1.2 for the 4:3 shape of a 320 x 200 screen, 1 for square pixels;
// cover: the 320 x 200 frame fills the picture (cut at two edges) rather than showing whole within it. False, with a
// message, for a size the map cannot be made for.
bool PrepareHdPicture(HdPicture& picture, int width, int height, PictureLook look, double pixelAspect, bool cover,
                      std::string& error, PicturePixels layout = PicturePixels::Rgb);
// The picture of the engine's last frame through `palette` (768 bytes of red, green, blue: the display palette).
void DrawHdPicture(HdPicture& picture, const Engine& engine, const std::uint8_t* palette);
