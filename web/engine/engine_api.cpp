// The effect as the web page drives it: a plain C interface over the plug-in's own frame code, exported from the
// WebAssembly module. One effect per module; the page hands in the data set's bytes once, then one waveform block
// per frame, and reads the picture and the palette back from the module's memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "effect/frame.h"
#include "host/effect_state.h"
#include "sample_to_signed8.h"
#include "settings/settings_store.h"
#include "tables/table_builder.h"
#include "web_data_files.h"

#define TAVELMIR_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;
constexpr int kPaletteEntries = 256;

// The frame's picture and its palette as red, green, blue triples, where the page reads them.
std::uint8_t g_pixels[kWidth * kHeight];
std::uint8_t g_rgb[kPaletteEntries * 3];
std::uint8_t g_block[kWaveformChannels * kWaveformSamples];

// The data set's palette files (6-bit intensities) as the display's 8-bit entries, shifted as the plug-in does.
bool ExpandPalettes(const std::uint8_t* files, int count) {
  auto* set = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(count) * kPaletteEntries * 4));
  if (set == nullptr) return false;
  for (int i = 0; i < count * kPaletteEntries; ++i) {
    set[4 * i] = static_cast<std::uint8_t>(files[3 * i] << 2);
    set[4 * i + 1] = static_cast<std::uint8_t>(files[3 * i + 1] << 2);
    set[4 * i + 2] = static_cast<std::uint8_t>(files[3 * i + 2] << 2);
    set[4 * i + 3] = PC_RESERVED;
  }
  std::free(g_state.PaletteSet);
  g_state.PaletteSet = set;
  g_state.PaletteCount = count;
  return true;
}

void ReleaseEffect() {
  if (g_state.TablesBuilt != 0) FreeTableSet(g_state.Tables);
  std::free(g_state.PaletteSet);
  ResetEffectState();
}

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
  ReleaseEffect();
  if (palettes == nullptr || paletteCount < 1 || fade == nullptr || fadeBytes != kFadeTableBytes) return 1;
  if (!ExpandPalettes(palettes, paletteCount)) return 2;
  UseFadeTableBytes(fade);
  g_state.FrameWidth = kWidth;
  g_state.FrameHeight = kHeight;
  g_state.FramePitch = kWidth;
  const int built = BuildTables();
  UseFadeTableBytes(nullptr);
  if (built != 0) {
    ReleaseEffect();
    return built == 8 ? 1 : 2;
  }
  DeriveEffectParams();
  return 0;
}

// The settings the page changes while it plays; the rest keep the plug-in's defaults.
TAVELMIR_EXPORT("tv_settings")
void tv_settings(int radioIndex, int waveAmplitude, int waveShiftPower, int waveAttenuationRate,
                 int paletteAnimationSpeed) {
  EffectSettings& s = g_state.Settings;
  s.RadioIndex = radioIndex;
  s.WaveAmplitude = waveAmplitude;
  s.WaveShiftPower = waveShiftPower;
  s.WaveAttenuationRate = waveAttenuationRate;
  s.PaletteAnimationSpeed = paletteAnimationSpeed;
  DeriveEffectParams();
}

// The 1152-byte waveform block the next frame reads: channel 0's 576 samples, then channel 1's.
TAVELMIR_EXPORT("tv_block") std::uint8_t* tv_block() { return g_block; }

// Fills the block from `count` samples of each channel (full scale -1 .. 1) through the command line's own
// conversion; samples beyond `count` are silence. `right` may be the same array as `left` (a mono source).
TAVELMIR_EXPORT("tv_block_from_samples") void tv_block_from_samples(const float* left, const float* right, int count) {
  for (int i = 0; i < kWaveformSamples; ++i) {
    const bool held = i < count;
    g_block[i] = static_cast<std::uint8_t>(held ? SampleToSigned8(left[i]) : 0);
    g_block[kWaveformSamples + i] = static_cast<std::uint8_t>(held ? SampleToSigned8(right[i]) : 0);
  }
}

// One frame from the block: 0 = the picture and palette are ready; 1 = the effect is not running.
TAVELMIR_EXPORT("tv_frame") int tv_frame() {
  if (g_state.TablesBuilt == 0) return 1;
  FrameInputs in{};
  in.Tables = &g_state.Tables;
  in.Params.WaveGain = g_state.Params.WaveGain;
  in.Params.WaveShift = g_state.Params.WaveShift;
  in.Params.WaveAttenuationRate = g_state.Settings.WaveAttenuationRate;
  in.Params.PaletteStep = g_state.Params.PaletteStep;
  in.Waveform = reinterpret_cast<const unsigned char(*)[kWaveformSamples]>(g_block);
  in.PaletteSet = g_state.PaletteSet;
  in.PaletteCount = g_state.PaletteCount;
  FrameOutput out{};
  out.Pixels = g_pixels;
  out.Width = kWidth;
  out.Height = kHeight;
  out.Pitch = kWidth;
  out.PaletteEntries = reinterpret_cast<std::uint8_t*>(g_state.DisplayPalette);
  out.Trace = &g_state.Trace;
  if (RunFrame(in, g_state.Counters, out) != 0) return 1;
  for (int i = 0; i < kPaletteEntries; ++i) {
    g_rgb[3 * i] = g_state.DisplayPalette[i].peRed;
    g_rgb[3 * i + 1] = g_state.DisplayPalette[i].peGreen;
    g_rgb[3 * i + 2] = g_state.DisplayPalette[i].peBlue;
  }
  return 0;
}

// The last frame's 64000 palette indices (320 per row) and its 256 colours as red, green, blue.
TAVELMIR_EXPORT("tv_pixels") const std::uint8_t* tv_pixels() { return g_pixels; }
TAVELMIR_EXPORT("tv_palette") const std::uint8_t* tv_palette() { return g_rgb; }

// Moves the palette animation by whole palettes, as the player's palette keys do.
TAVELMIR_EXPORT("tv_step_palette") void tv_step_palette(int palettes) {
  if (g_state.PaletteCount < 1) return;
  g_state.Counters.PalettePhase =
      static_cast<float>(g_state.Counters.PalettePhase + static_cast<double>(palettes) / g_state.PaletteCount);
}

// Where the palette animation is, in palettes (0 .. count, fractional while it blends), for the palette's name.
TAVELMIR_EXPORT("tv_palette_position") double tv_palette_position() {
  return static_cast<double>(g_state.Counters.PalettePhase) * g_state.PaletteCount;
}
