// The effect as the web page drives it: a plain C interface over the engine, exported from the WebAssembly
// module. One engine per module; the page hands in the data set's bytes once, then one waveform block per frame,
// and reads the picture (classic, or drawn at the canvas' own size) and the palette back from the module's memory.
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
#include "sample_to_signed8.h"

#define TAVELMIR_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

constexpr int kPaletteEntries = 256;
constexpr int kFadeTableBytes = 65536;
constexpr std::uint8_t kReservedEntry = 1;  // the flags the plug-in gives its palette entries

Engine g_engine;
// The frame's picture, its palette entries and the same as red, green, blue triples, where the page reads them.
std::uint8_t g_pixels[kEngineWidth * kEngineHeight];
std::uint8_t g_entries[kPaletteEntries * kPaletteEntryBytes];
std::uint8_t g_rgb[kPaletteEntries * 3];
unsigned char g_block[kWaveformChannels][kWaveformSamples];

// The picture at the canvas' own size: the map and the RGBA pixels are made by tv_hd_size, once per size, so a frame
// allocates nothing. Its view is kept to tell a new shape from the same one.
struct HdCanvas {
  HdTunnel tunnel;
  std::vector<std::uint8_t> rgba;
  double pixelAspect = 0;
};
HdCanvas* g_hd = nullptr;

}  // namespace

// Room in the module's memory for the page to copy bytes into; released with tv_free.
TAVELMIR_EXPORT("tv_alloc") void* tv_alloc(int bytes) {
  return bytes > 0 ? std::malloc(static_cast<std::size_t>(bytes)) : nullptr;
}
TAVELMIR_EXPORT("tv_free") void tv_free(void* block) { std::free(block); }

// Starts the effect from the data set: `paletteCount` palette files of 768 bytes one after the other, in the order
// the plug-in loads them (by file name), and the 65536-byte fade table. The settings are the plug-in's defaults
// until tv_settings. 0 = running; 1 = the data is not a usable set; 2 = out of memory. The bytes are copied.
TAVELMIR_EXPORT("tv_start")
int tv_start(const std::uint8_t* palettes, int paletteCount, const std::uint8_t* fade, int fadeBytes) {
  g_engine.Release();
  if (palettes == nullptr || paletteCount < 1 || fade == nullptr || fadeBytes != kFadeTableBytes) return 1;
  EngineInputs inputs;
  // The palette files' 6-bit intensities as the display's 8-bit entries, shifted as the plug-in does.
  inputs.Palettes.resize(static_cast<std::size_t>(paletteCount) * kPaletteEntries * kPaletteEntryBytes);
  for (int i = 0; i < paletteCount * kPaletteEntries; ++i) {
    std::uint8_t* entry = inputs.Palettes.data() + static_cast<std::size_t>(i) * kPaletteEntryBytes;
    entry[0] = static_cast<std::uint8_t>(palettes[3 * i] << 2);
    entry[1] = static_cast<std::uint8_t>(palettes[3 * i + 1] << 2);
    entry[2] = static_cast<std::uint8_t>(palettes[3 * i + 2] << 2);
    entry[3] = kReservedEntry;
  }
  inputs.PaletteCount = paletteCount;
  inputs.FadeTable.assign(fade, fade + kFadeTableBytes);
  const EngineBuildStatus built = g_engine.Build(std::move(inputs));
  if (built == kBuildDone) return 0;
  return built == kBuildNoFadeTable || built == kBuildNoTexture ? 1 : 2;
}

// The settings the page changes while it plays; the rest keep the plug-in's defaults.
TAVELMIR_EXPORT("tv_settings")
void tv_settings(int radioIndex, int waveAmplitude, int waveShiftPower, int waveAttenuationRate,
                 int paletteAnimationSpeed) {
  EffectSettings s = g_engine.Settings();
  s.RadioIndex = radioIndex;
  s.WaveAmplitude = waveAmplitude;
  s.WaveShiftPower = waveShiftPower;
  s.WaveAttenuationRate = waveAttenuationRate;
  s.PaletteAnimationSpeed = paletteAnimationSpeed;
  g_engine.ApplySettings(s);
}

// The 1152-byte waveform block the next frame reads: channel 0's 576 samples, then channel 1's.
TAVELMIR_EXPORT("tv_block") unsigned char* tv_block() { return &g_block[0][0]; }

// Fills the block from `count` samples of each channel (full scale -1 .. 1) through the command line's own
// conversion; samples beyond `count` are silence. `right` may be the same array as `left` (a mono source).
TAVELMIR_EXPORT("tv_block_from_samples") void tv_block_from_samples(const float* left, const float* right, int count) {
  for (int i = 0; i < kWaveformSamples; ++i) {
    const bool held = i < count;
    g_block[0][i] = static_cast<unsigned char>(held ? SampleToSigned8(left[i]) : 0);
    g_block[1][i] = static_cast<unsigned char>(held ? SampleToSigned8(right[i]) : 0);
  }
}

// One frame from the block: 0 = the picture and palette are ready; 1 = the effect is not running.
TAVELMIR_EXPORT("tv_frame") int tv_frame() {
  FrameOutput out{g_pixels, kEngineWidth, kEngineHeight, kEngineWidth, g_entries};
  if (g_engine.Frame(g_block, out) != 0) return 1;
  for (int i = 0; i < kPaletteEntries; ++i) {
    g_rgb[3 * i] = g_entries[kPaletteEntryBytes * i];
    g_rgb[3 * i + 1] = g_entries[kPaletteEntryBytes * i + 1];
    g_rgb[3 * i + 2] = g_entries[kPaletteEntryBytes * i + 2];
  }
  return 0;
}

// The last frame's 64000 palette indices (320 per row) and its 256 colours as red, green, blue.
TAVELMIR_EXPORT("tv_pixels") const std::uint8_t* tv_pixels() { return g_pixels; }
TAVELMIR_EXPORT("tv_palette") const std::uint8_t* tv_palette() { return g_rgb; }

// Moves the palette animation by whole palettes, as the player's palette keys do.
TAVELMIR_EXPORT("tv_step_palette") void tv_step_palette(int palettes) { g_engine.SkipPalettes(palettes); }

// Where the palette animation is, in palettes (0 .. count, fractional while it blends), for the palette's name.
TAVELMIR_EXPORT("tv_palette_position") double tv_palette_position() {
  return static_cast<double>(g_engine.Counters().PalettePhase) * g_engine.PaletteCount();
}

// Makes the picture at an output's own size ready for a width x height canvas, the 320 x 200 frame centred in it at
// the largest size that shows all of it; `pixelAspect` is a frame pixel's height over its width (1.2 for the 4:3
// shape of a 320 x 200 screen, 1 for square pixels). The map is made only when size or shape change.
// 0 = ready; 1 = a size the map cannot be made for (each side 1 .. 7680 x 4320); 2 = out of memory.
TAVELMIR_EXPORT("tv_hd_size") int tv_hd_size(int width, int height, double pixelAspect) {
  if (width < 1 || height < 1 || width > kHdMaximumWidth || height > kHdMaximumHeight || !(pixelAspect > 0))
    return 1;
  if (g_hd != nullptr && g_hd->tunnel.Width() == width && g_hd->tunnel.Height() == height &&
      g_hd->pixelAspect == pixelAspect)
    return 0;
  // Without exceptions a failed allocation would stop the module, so the old size's memory goes back first and the
  // new size's is asked for in one block, where a refusal is an answer; freed, it stays with the allocator for the
  // vectors below. (The map: a word a pixel and its padding; the pixels; the landscape in colours, and in pairs.)
  delete g_hd;
  g_hd = nullptr;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  void* room = std::malloc((pixels + 8) * 8 + (kHdImageTexels + 64) * 12);
  if (room == nullptr) return 2;
  std::free(room);
  g_hd = new (std::nothrow) HdCanvas;
  if (g_hd == nullptr) return 2;
  g_hd->rgba.assign(pixels * 4, 0);
  g_hd->tunnel.Prepare(width, height, CentredHdView(width, height, pixelAspect, false), HdSampling::Sharp);
  g_hd->pixelAspect = pixelAspect;
  return 0;
}

// Draws the last frame at the size tv_hd_size made ready, through the last frame's palette as a screen shows it,
// into the width x height x 4 bytes of red, green, blue and 255 that tv_hd_pixels points at.
// 0 = drawn; 1 = no size made ready, or the effect is not running.
TAVELMIR_EXPORT("tv_hd_draw") int tv_hd_draw() {
  if (g_hd == nullptr || g_hd->tunnel.Width() == 0 || !g_engine.Built()) return 1;
  std::uint32_t colours[kPaletteEntries];
  ScreenColourWords(g_rgb, colours);
  for (std::uint32_t& c : colours) c |= 0xFF000000u;  // opaque; the blend of four opaque texels stays so
  g_engine.DrawHd(g_hd->tunnel, colours, g_hd->rgba.data(),
                  static_cast<std::ptrdiff_t>(g_hd->tunnel.Width()) * 4, 4);
  return 0;
}

TAVELMIR_EXPORT("tv_hd_pixels") const std::uint8_t* tv_hd_pixels() {
  return g_hd != nullptr ? g_hd->rgba.data() : nullptr;
}
