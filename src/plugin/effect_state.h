// The one static record that holds all of the plug-in's state, for as long as the library is loaded.
#pragma once
#include <cstdint>

#include "effect/frame.h"
#include "plugin/screen.h"
#include "plugin/vis_records.h"
#include "platform/platform.h"
#include "settings/settings_types.h"
#include "tables/table_set.h"

struct EffectState {
  EffectSettings Settings{};
  EffectParams Params{};

  // The display, from Init to Quit, and what outlives it (the palette, the system-memory flag).
  ::Screen Screen{};

  // Tables and palettes.
  TableSet Tables{};
  std::int32_t TablesBuilt{};
  std::uint8_t* PaletteSet{};  // PaletteCount * 1024 bytes of PALETTEENTRY
  std::int32_t PaletteCount{};

  // The pipeline's counters (never reset by Init) and scratch.
  FrameCounters Counters{};
  FrameTrace Trace{};

  // The plug-in's folder, ending in a backslash; every file is named through PluginFilePath.
  char PluginPath[260]{};

  // Settings dialog.
  VisModule* DialogModule{};
  std::int32_t SlidersPending{};
};

extern constinit EffectState g_state;

// Puts g_state back into its state at library load (defaults, empty path, zero counters). For tests and for a
// host that wants a fresh start; the plug-in itself never calls it.
void ResetEffectState();
