// The picture a run shows, and the tunnel drawn at an output's own size from the plug-in's last frame.
#include "picture_look.h"

#include <algorithm>
#include <cstring>

#include "player_options.h"

const std::vector<std::string> kPictureLookNames = {"classic", "hd", "hd-soft", "hd-nearest"};

bool ParsePictureLook(const std::string& name, PictureLook& look) {
  const auto found = std::find(kPictureLookNames.begin(), kPictureLookNames.end(), name);
  if (found == kPictureLookNames.end()) return false;
  look = static_cast<PictureLook>(found - kPictureLookNames.begin());
  return true;
}

bool PlayerPictureLook(const PlayerOptions& options, PictureLook& look, std::string& error) {
  const bool smooth = options.scaling == "smooth";
  const std::string name = !options.picture.empty() ? options.picture : smooth ? "classic" : kDefaultPictureLook;
  if (!ParsePictureLook(name, look)) {
    error = "--look takes classic, hd, hd-soft or hd-nearest, not '" + name + "'";
    return false;
  }
  if (smooth && look != PictureLook::Classic) {
    error = "--scaling smooth scales the classic picture; --look " + name + " is drawn at the window's size already";
    return false;
  }
  return true;
}

bool PrepareHdPicture(HdPicture& picture, int width, int height, PictureLook look, double pixelAspect, bool cover,
                      std::string& error, PicturePixels layout) {
  const HdSampling sampling = look == PictureLook::HdSoft      ? HdSampling::Bilinear
                              : look == PictureLook::HdNearest ? HdSampling::Nearest
                                                               : HdSampling::Sharp;
  if (!picture.tunnel.Prepare(width, height, CentredHdView(width, height, pixelAspect, cover), sampling)) {
    error = "cannot draw the tunnel at " + std::to_string(width) + "x" + std::to_string(height) + " (at most " +
            std::to_string(kHdMaximumWidth) + "x" + std::to_string(kHdMaximumHeight) + ")";
    return false;
  }
  picture.layout = layout;
  picture.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * BytesPerPixel(layout), 0);
  return true;
}

void DrawHdPicture(HdPicture& picture, const Engine& engine, const std::uint8_t* palette) {
  std::uint32_t colours[256];
  if (picture.layout == PicturePixels::Yuvx)
    YuvColourWords(palette, colours);
  else
    ScreenColourWords(palette, colours);
  const int bytes = BytesPerPixel(picture.layout);
  engine.DrawHd(picture.tunnel, colours, picture.pixels.data(),
                static_cast<std::ptrdiff_t>(picture.tunnel.Width()) * bytes, bytes);
}
