// The effect as the web page drives it: a plain C interface over the engine, exported from the WebAssembly
// module. Each effect is a handle from tv_create, released by tv_destroy; the page hands in the data set's bytes
// once, then one waveform block per frame, and reads the picture (classic, or drawn at the canvas' own size) and
// the palette back from the module's memory. The settings the page offers, with their defaults and ranges, come
// from the engine's own table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "core/hd_blend.h"
#include "core/hd_tunnel.h"
#include "core/screen_colours.h"
#include "core/waveform_sample.h"
#include "data/palette_colours.h"
#include "data/settings_keys.h"

#define TAVELMIR_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

constexpr int kPaletteEntries = 256;
constexpr int kFadeTableBytes = 65536;

// The settings the page changes, in the order of tv_settings' arguments.
constexpr std::int32_t EffectSettings::*kPageSettings[] = {
    &EffectSettings::RadioIndex, &EffectSettings::WaveAmplitude, &EffectSettings::WaveShiftPower,
    &EffectSettings::WaveAttenuationRate, &EffectSettings::PaletteAnimationSpeed};
constexpr int kPageSettingCount = sizeof kPageSettings / sizeof kPageSettings[0];

// The picture at the canvas' own size: the map and the RGBA pixels are made by tv_hd_size, once per size, so a frame
// allocates nothing. Its view is kept to tell a new shape from the same one.
struct HdCanvas {
  HdTunnel tunnel;
  std::vector<std::uint8_t> rgba;
  double pixelAspect = 0;
};

}  // namespace

// One effect: the engine, the frame's picture, its palette entries and the same as red, green, blue triples, where
// the page reads them, and the block the next frame reads.
struct TvEffect {
  Engine engine;
  std::uint8_t pixels[kEngineWidth * kEngineHeight] = {};
  std::uint8_t entries[kPaletteEntries * kPaletteEntryBytes] = {};
  std::uint8_t rgb[kPaletteEntries * 3] = {};
  unsigned char block[kWaveformChannels][kWaveformSamples] = {};
  HdCanvas* hd = nullptr;
  ~TvEffect() { delete hd; }
};

// Room in the module's memory for the page to copy bytes into; released with tv_free.
TAVELMIR_EXPORT("tv_alloc") void* tv_alloc(int bytes) {
  return bytes > 0 ? std::malloc(static_cast<std::size_t>(bytes)) : nullptr;
}
TAVELMIR_EXPORT("tv_free") void tv_free(void* block) { std::free(block); }

// A new effect, not running until tv_start; null when out of memory. Released with tv_destroy.
TAVELMIR_EXPORT("tv_create") TvEffect* tv_create() { return new (std::nothrow) TvEffect; }
TAVELMIR_EXPORT("tv_destroy") void tv_destroy(TvEffect* effect) { delete effect; }

// The settings tv_settings takes, three numbers each in its argument order: the default, the least and the
// greatest value (the plug-in's own, as its settings file and dialog have them).
TAVELMIR_EXPORT("tv_setting_count") int tv_setting_count() { return kPageSettingCount; }
TAVELMIR_EXPORT("tv_setting_rules") const std::int32_t* tv_setting_rules() {
  static std::int32_t rules[kPageSettingCount * 3];
  for (int i = 0; i < kPageSettingCount; ++i)
    for (const SettingKey& key : SettingKeys())
      if (key.field == kPageSettings[i]) {
        rules[3 * i] = SettingDefault(key);
        rules[3 * i + 1] = key.minimum;
        rules[3 * i + 2] = key.maximum;
      }
  return rules;
}

// Starts the effect from the data set: `paletteCount` palette files of 768 bytes one after the other, in the order
// the plug-in loads them (by file name), and the 65536-byte fade table. The settings are the plug-in's defaults
// until tv_settings. 0 = running; 1 = the data is not a usable set, or no effect; 2 = out of memory. The bytes are
// copied.
TAVELMIR_EXPORT("tv_start")
int tv_start(TvEffect* effect, const std::uint8_t* palettes, int paletteCount, const std::uint8_t* fade,
             int fadeBytes) {
  if (effect == nullptr) return 1;
  effect->engine.Release();
  if (palettes == nullptr || paletteCount < 1 || fade == nullptr || fadeBytes != kFadeTableBytes) return 1;
  EngineInputs inputs;
  inputs.Palettes.resize(static_cast<std::size_t>(paletteCount) * kPaletteEntries * kPaletteEntryBytes);
  ExpandPalette(palettes, inputs.Palettes.data(), static_cast<std::size_t>(paletteCount) * kPaletteEntries);
  inputs.PaletteCount = paletteCount;
  inputs.FadeTable.assign(fade, fade + kFadeTableBytes);
  const EngineBuildStatus built = effect->engine.Build(std::move(inputs));
  if (built == kBuildDone) return 0;
  return built == kBuildNoFadeTable || built == kBuildNoTexture ? 1 : 2;
}

// The settings the page changes while it plays (those of tv_setting_rules); the rest keep the plug-in's defaults.
TAVELMIR_EXPORT("tv_settings")
void tv_settings(TvEffect* effect, int radioIndex, int waveAmplitude, int waveShiftPower, int waveAttenuationRate,
                 int paletteAnimationSpeed) {
  if (effect == nullptr) return;
  EffectSettings s = effect->engine.Settings();
  s.RadioIndex = radioIndex;
  s.WaveAmplitude = waveAmplitude;
  s.WaveShiftPower = waveShiftPower;
  s.WaveAttenuationRate = waveAttenuationRate;
  s.PaletteAnimationSpeed = paletteAnimationSpeed;
  effect->engine.ApplySettings(s);
}

// The 1152-byte waveform block the next frame reads: channel 0's 576 samples, then channel 1's.
TAVELMIR_EXPORT("tv_block") unsigned char* tv_block(TvEffect* effect) {
  return effect != nullptr ? &effect->block[0][0] : nullptr;
}

// Fills the block from `count` samples of each channel (full scale -1 .. 1) through the hosts' one conversion;
// samples beyond `count` are silence. `right` may be the same array as `left` (a mono source).
TAVELMIR_EXPORT("tv_block_from_samples")
void tv_block_from_samples(TvEffect* effect, const float* left, const float* right, int count) {
  if (effect == nullptr) return;
  for (int i = 0; i < kWaveformSamples; ++i) {
    const bool held = i < count;
    effect->block[0][i] = static_cast<unsigned char>(held ? SampleToSigned8(left[i]) : 0);
    effect->block[1][i] = static_cast<unsigned char>(held ? SampleToSigned8(right[i]) : 0);
  }
}

// One frame from the block: 0 = the picture and palette are ready; 1 = the effect is not running.
TAVELMIR_EXPORT("tv_frame") int tv_frame(TvEffect* effect) {
  if (effect == nullptr) return 1;
  FrameOutput out{effect->pixels, kEngineWidth, kEngineHeight, kEngineWidth, effect->entries};
  if (effect->engine.Frame(effect->block, out) != 0) return 1;
  for (int i = 0; i < kPaletteEntries; ++i) {
    effect->rgb[3 * i] = effect->entries[kPaletteEntryBytes * i];
    effect->rgb[3 * i + 1] = effect->entries[kPaletteEntryBytes * i + 1];
    effect->rgb[3 * i + 2] = effect->entries[kPaletteEntryBytes * i + 2];
  }
  return 0;
}

// The last frame's 64000 palette indices (320 per row) and its 256 colours as red, green, blue.
TAVELMIR_EXPORT("tv_pixels") const std::uint8_t* tv_pixels(TvEffect* effect) {
  return effect != nullptr ? effect->pixels : nullptr;
}
TAVELMIR_EXPORT("tv_palette") const std::uint8_t* tv_palette(TvEffect* effect) {
  return effect != nullptr ? effect->rgb : nullptr;
}

// Moves the palette animation by whole palettes, as the player's palette keys do.
TAVELMIR_EXPORT("tv_step_palette") void tv_step_palette(TvEffect* effect, int palettes) {
  if (effect != nullptr) effect->engine.SkipPalettes(palettes);
}

// Where the palette animation is, in palettes (0 .. count, fractional while it blends), for the palette's name.
TAVELMIR_EXPORT("tv_palette_position") double tv_palette_position(TvEffect* effect) {
  if (effect == nullptr) return 0;
  return static_cast<double>(effect->engine.Counters().PalettePhase) * effect->engine.PaletteCount();
}

// Makes the picture at an output's own size ready for a width x height canvas, the 320 x 200 frame centred in it at
// the largest size that shows all of it; `pixelAspect` is a frame pixel's height over its width (1.2 for the 4:3
// shape of a 320 x 200 screen, 1 for square pixels). The map is made only when size or shape change.
// 0 = ready; 1 = a size the map cannot be made for (each side 1 .. 7680 x 4320), or no effect; 2 = out of memory.
TAVELMIR_EXPORT("tv_hd_size") int tv_hd_size(TvEffect* effect, int width, int height, double pixelAspect) {
  if (effect == nullptr || width < 1 || height < 1 || width > kHdMaximumWidth || height > kHdMaximumHeight ||
      !(pixelAspect > 0))
    return 1;
  HdCanvas*& hd = effect->hd;
  if (hd != nullptr && hd->tunnel.Width() == width && hd->tunnel.Height() == height && hd->pixelAspect == pixelAspect)
    return 0;
  // Without exceptions a failed allocation would stop the module, so the old size's memory goes back first and the
  // new size's is asked for in one block, where a refusal is an answer; freed, it stays with the allocator for the
  // vectors below. (The map: a word a pixel and its padding; the pixels; the landscape in colours, and in pairs.)
  delete hd;
  hd = nullptr;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  void* room = std::malloc((pixels + 8) * 8 + (kHdImageTexels + 64) * 12);
  if (room == nullptr) return 2;
  std::free(room);
  hd = new (std::nothrow) HdCanvas;
  if (hd == nullptr) return 2;
  hd->rgba.assign(pixels * 4, 0);
  hd->tunnel.Prepare(width, height, CentredHdView(width, height, pixelAspect, false), HdSampling::Sharp);
  hd->pixelAspect = pixelAspect;
  return 0;
}

// Draws the last frame at the size tv_hd_size made ready, through the last frame's palette as a screen shows it,
// into the width x height x 4 bytes of red, green, blue and 255 that tv_hd_pixels points at.
// 0 = drawn; 1 = no size made ready, or the effect is not running.
TAVELMIR_EXPORT("tv_hd_draw") int tv_hd_draw(TvEffect* effect) {
  if (effect == nullptr || effect->hd == nullptr || effect->hd->tunnel.Width() == 0 || !effect->engine.Built())
    return 1;
  std::uint32_t colours[kPaletteEntries];
  ScreenColourWords(effect->rgb, colours);
  for (std::uint32_t& c : colours) c |= 0xFF000000u;  // opaque; the blend of four opaque texels stays so
  HdTunnel& tunnel = effect->hd->tunnel;
  effect->engine.DrawHd(tunnel, colours, effect->hd->rgba.data(), static_cast<std::ptrdiff_t>(tunnel.Width()) * 4, 4);
  return 0;
}

TAVELMIR_EXPORT("tv_hd_pixels") const std::uint8_t* tv_hd_pixels(TvEffect* effect) {
  return effect != nullptr && effect->hd != nullptr ? effect->hd->rgba.data() : nullptr;
}
