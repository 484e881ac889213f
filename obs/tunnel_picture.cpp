// Building and stepping the OBS source's effect, and drawing its picture.
#include "tunnel_picture.h"

#include <cmath>
#include <utility>

#include "core/fade_table.h"
#include "core/hd_tunnel_map.h"
#include "core/screen_colours.h"
#include "data/init_messages.h"
#include "data/plugin_data.h"

namespace {

// The screen's colours of the frame's palette, opaque.
void OpaqueColours(const std::uint8_t* paletteEntries, std::uint32_t colours[256]) {
  std::uint8_t rgb[768];
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) rgb[3 * i + c] = paletteEntries[kPaletteEntryBytes * i + c];
  ScreenColourWords(rgb, colours);
  for (int i = 0; i < 256; ++i) colours[i] |= 0xFF000000u;
}

}  // namespace

std::unique_ptr<TunnelEffect> BuildTunnelEffect(const std::filesystem::path& dataFolder, const EffectSettings& settings,
                                                int palette, const FrameCounters& counters, std::string& error) {
  auto effect = std::make_unique<TunnelEffect>();
  EngineInputs inputs;
  EffectSettings used = settings;
  const int paletteStatus = ReadEngineInputs(dataFolder, used, inputs);
  if (paletteStatus != 0) {
    error = MessageLines({PaletteFailureMessage(paletteStatus)});
    return nullptr;
  }
  if (used.UseTexture != 0 && inputs.Texture.empty()) {
    effect->warnings.push_back("the texture '" + std::string(used.TextureName) +
                               "' is missing or not a 256 x 256 bitmap of 8 bits per pixel; the landscape is drawn "
                               "without it");
    used.UseTexture = 0;
    inputs.Settings.UseTexture = 0;
  }
  EffectSettings dataSet;
  ReadSettings(SettingsFile(dataFolder), dataSet);
  if ((inputs.FadeTable.empty() || !SameFadeSettings(used, dataSet)) &&
      !ComputeFadeTable(ReferencePaletteFile(dataFolder), used, inputs.FadeTable, error))
    return nullptr;
  effect->engine.SetCounters(counters);
  const EngineBuildStatus status = effect->engine.Build(std::move(inputs));
  if (status != kBuildDone) {
    error = MessageLines(BuildFailureMessages(status));
    return nullptr;
  }
  if (palette >= 0) effect->engine.SkipPalettes(palette - effect->engine.ShownPalette());
  return effect;
}

void StepTunnelEffect(TunnelEffect& effect, const unsigned char* block) {
  FrameOutput out{effect.indices.data(), kEngineWidth, kEngineHeight, kEngineWidth, effect.paletteEntries};
  effect.engine.Frame(reinterpret_cast<const unsigned char(*)[kWaveformSamples]>(block), out);
}

bool PrepareTunnelPicture(TunnelPicture& picture, TunnelLook look, int width, int height, std::string& error) {
  picture.look = look;
  picture.width = width;
  picture.height = height;
  if (width < 1 || height < 1 || width > kHdMaximumWidth || height > kHdMaximumHeight) {
    error = "cannot draw the tunnel at " + std::to_string(width) + "x" + std::to_string(height) + " (at most " +
            std::to_string(kHdMaximumWidth) + "x" + std::to_string(kHdMaximumHeight) + ")";
    return false;
  }
  if (look == TunnelLook::Hd) {
    // The 320 x 200 frame in the 4:3 shape it had on screen, all of it in view, the tunnel going on around it.
    picture.hd.Prepare(width, height, CentredHdView(width, height, kFourThirdsPixelAspect, false), HdSampling::Sharp);
    picture.textureWidth = width;
    picture.textureHeight = height;
  } else {
    picture.textureWidth = kEngineWidth;
    picture.textureHeight = kEngineHeight;
  }
  picture.pixels.assign(static_cast<std::size_t>(picture.textureWidth) * picture.textureHeight, 0xFF000000u);
  return true;
}

void DrawTunnelPicture(TunnelPicture& picture, const TunnelEffect& effect) {
  if (!effect.engine.Built()) return;
  std::uint32_t colours[256];
  OpaqueColours(effect.paletteEntries, colours);
  if (picture.look == TunnelLook::Hd) {
    effect.engine.DrawHd(picture.hd, colours, reinterpret_cast<std::uint8_t*>(picture.pixels.data()),
                         static_cast<std::ptrdiff_t>(picture.width) * 4, 4);
    return;
  }
  const std::size_t count = picture.pixels.size();
  for (std::size_t i = 0; i < count; ++i) picture.pixels[i] = colours[effect.indices[i]];
}

PictureRect ClassicFrameRect(int width, int height) {
  // 4:3, limited by whichever side is shorter for that shape.
  if (static_cast<long>(width) * 3 >= static_cast<long>(height) * 4) {
    const int w = static_cast<int>((static_cast<long>(height) * 4 + 1) / 3);
    return {(width - w) / 2, 0, w, height};
  }
  const int h = static_cast<int>((static_cast<long>(width) * 3 + 2) / 4);
  return {0, (height - h) / 2, width, h};
}
