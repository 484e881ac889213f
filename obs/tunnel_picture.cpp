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

// The frame's palette as 768 bytes of red, green, blue.
void PaletteBytes(const std::uint8_t* paletteEntries, std::uint8_t rgb[kPaletteBytes]) {
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) rgb[3 * i + c] = paletteEntries[kPaletteEntryBytes * i + c];
}

// The screen's colours of the frame's palette, opaque.
void OpaqueColours(const std::uint8_t rgb[kPaletteBytes], std::uint32_t colours[256]) {
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
  picture.classic = FitOutputGeometry(width, height, false, true);
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
  } else if (look == TunnelLook::Classic) {
    PrepareFrameResampler(picture.sharp, picture.classic, Scaling::Sharp);
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
  std::uint8_t palette[kPaletteBytes];
  PaletteBytes(effect.paletteEntries, palette);
  if (picture.look == TunnelLook::Classic) {
    ResampleFrameToRgb(picture.sharp, effect.indices.data(), palette,
                       reinterpret_cast<std::uint8_t*>(picture.pixels.data()), 4);
    return;
  }
  std::uint32_t colours[256];
  OpaqueColours(palette, colours);
  if (picture.look == TunnelLook::Hd) {
    effect.engine.DrawHd(picture.hd, colours, reinterpret_cast<std::uint8_t*>(picture.pixels.data()),
                         static_cast<std::ptrdiff_t>(picture.width) * 4, 4);
    return;
  }
  const std::size_t count = picture.pixels.size();
  for (std::size_t i = 0; i < count; ++i) picture.pixels[i] = colours[effect.indices[i]];
}
