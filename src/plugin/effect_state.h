// The one static record that holds all of the plug-in's state, for as long as the library is loaded.
#pragma once
#include <cstdint>

#include "core/effect_settings.h"
#include "core/engine.h"
#include "plugin/display_choices.h"
#include "plugin/screen.h"
#include "plugin/vis_records.h"
#include "platform/platform.h"

struct EffectState {
  EffectSettings Settings{};
  EffectParams Params{};

  // The display, from Init to Quit, and what outlives it (the palette, the system-memory flag).
  ::Screen Screen{};

  // The effect: built by Init, released by Quit; its counters go on from one Init to the next.
  Engine Effect{};

  // The plug-in's folder, ending in a backslash; every file is named through PluginFilePath.
  char PluginPath[260]{};

  // The settings dialog while it is open: the module that opened it, sliders still to be set from the settings,
  // and the display choices its OK will store.
  struct {
    VisModule* Module{};
    std::int32_t SlidersPending{};
    DisplayChoices Display{};
  } Dialog{};
};

extern constinit EffectState g_state;

// Puts g_state back into its state at library load (defaults, empty path, zero counters). For tests and for a
// host that wants a fresh start; the plug-in itself never calls it.
void ResetEffectState();
