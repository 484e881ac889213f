// The effect as an object: built from a data set, it owns its tables, counters and scratch and draws one frame
// per waveform block. Standard C++ only; two engines in one process share nothing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/effect_settings.h"
#include "core/frame.h"
#include "core/table_set.h"

class HdTunnel;

// What an engine is built from; the data set (src/data) reads it from a plug-in folder.
struct EngineInputs {
  // PaletteCount palettes of 256 entries of kPaletteEntryBytes (red, green, blue, flags); may be empty, and the
  // palette step then only moves its phase.
  std::vector<std::uint8_t> Palettes;
  std::int32_t PaletteCount = 0;
  // 65536 bytes, index colour * 256 + shade; empty when "fade.dat" could not be read (the build then fails
  // with kBuildNoFadeTable, at the point where the plug-in always read it).
  std::vector<std::uint8_t> FadeTable;
  // 65536 brightness values, run x of the map holding bitmap column x from the bottom row up; used only when
  // Settings.UseTexture is 1, and the build then fails with kBuildNoTexture when it is empty.
  std::vector<std::uint8_t> Texture;
  EffectSettings Settings;
};

// A malloc-like function for the engine's table blocks, which go back through std::free. Tests pass one that
// fails a chosen allocation.
using EngineAllocator = void* (*)(std::size_t bytes);

// The steps of a build, in order; a build stops at the first that fails. 1..6 and 9..11 are allocations.
enum EngineBuildStatus : int {
  kBuildDone = 0,
  kBuildNoTunnelMemory = 1,
  kBuildNoPerspectiveMemory = 2,
  kBuildNoConversionMemory = 3,
  kBuildNoTextureMemory = 4,
  kBuildNoFadeMemory = 5,
  kBuildNoLandscapeMemory = 6,
  kBuildNoTexture = 7,
  kBuildNoFadeTable = 8,
  kBuildNoWaveMemory0 = 9,
  kBuildNoWaveMemory1 = 10,
  kBuildNoHeightMemory = 11,
};

// The plug-in's text for an allocation that failed ("Error allocating memory for ..."), or null for a status
// without one (done, texture, fade table).
const char* EngineBuildAllocationText(int status);

// The picture size the plug-in's effect mode has, and the default of an engine.
constexpr std::int32_t kEngineWidth = 320;
constexpr std::int32_t kEngineHeight = 200;

class Engine {
 public:
  // An engine without tables: Frame draws nothing until Build succeeds. `counters` continue a previous engine's
  // (the plug-in never resets them, so a restarted effect goes on where it was).
  constexpr explicit Engine(const FrameCounters& counters = {}) : counters_(counters) {}
  ~Engine() { Release(); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Builds the tables for pictures of width x height from `inputs` (moved in), in the plug-in's fixed order.
  // kBuildDone, or the failing step; on failure nothing of this build is kept and the engine stays without
  // tables (a previous build is released first in either case).
  EngineBuildStatus Build(EngineInputs&& inputs, std::int32_t width = kEngineWidth, std::int32_t height = kEngineHeight,
                          EngineAllocator allocate = nullptr);
  bool Built() const { return built_; }
  // Releases the tables and the palettes; counters and settings stay.
  void Release();

  // One whole frame: DrawFrame, then StepPalette. Returns DrawFrame's result.
  int Frame(const unsigned char (*waveform)[kWaveformSamples], FrameOutput& output);
  // The field, the landscape and the tunnel into output.Pixels, moving the frame counter and the texture scroll.
  // 0 = drawn; 1 = no frame (not built, or output.Width x output.Height is not the built size), nothing changed.
  // `waveform` is kWaveformChannels channels of kWaveformSamples signed 8-bit samples, never null.
  int DrawFrame(const unsigned char (*waveform)[kWaveformSamples], FrameOutput& output);
  // The palette step: writes red, green and blue of the 256 entries at output.PaletteEntries (flags untouched)
  // and moves the phase on. True when the entries were written (the caller then hands them to the display);
  // false, with only the phase moved, without palettes. The plug-in runs it only after a successful Unlock.
  bool StepPalette(FrameOutput& output);

  // The picture at a size of its own (hd_tunnel.h): the last drawn frame's landscape through `hd`'s map, each
  // texel in `colours` (256 words whose bytes, lowest first, are a pixel's). Nothing is drawn when not built.
  void DrawHd(HdTunnel& hd, const std::uint32_t* colours, std::uint8_t* out, std::ptrdiff_t pitch,
              int bytesPerPixel) const;

  // New settings from the next frame: wave, attenuation and palette speed take effect at once; fade and
  // texture settings need a new Build with a fade table and texture to match.
  void ApplySettings(const EffectSettings& settings);
  // Moves the palette phase by whole palettes (+1 next, -1 previous); nothing without palettes.
  void SkipPalettes(int palettes);
  // The palette the animation shows now, 0-based (0 without palettes): the one it blends from, a phase a hair
  // short of a whole palette (where SkipPalettes' float rounding leaves it) counting as that palette.
  int ShownPalette() const;
  // Continues from another run's counters, as if this engine had drawn its frames.
  void SetCounters(const FrameCounters& counters) { counters_ = counters; }

  const EffectSettings& Settings() const { return settings_; }
  const EffectParams& Params() const { return params_; }
  const FrameCounters& Counters() const { return counters_; }
  std::int32_t PaletteCount() const { return paletteCount_; }
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  // The last channel's smoothed samples and line profile of the last drawn frame.
  const FrameTrace& Trace() const { return trace_; }
  // The tables of the last build (all null when not built), for tests that look inside a stage.
  const TableSet& Tables() const { return tables_; }

 private:
  FrameInputs Inputs(const unsigned char (*waveform)[kWaveformSamples]) const;

  EffectSettings settings_{};
  EffectParams params_{};
  FrameCounters counters_{};
  FrameTrace trace_{};
  TableSet tables_{};
  std::vector<std::uint8_t> palettes_;
  std::int32_t paletteCount_ = 0;
  std::int32_t width_ = 0, height_ = 0;
  bool built_ = false;
};
