// What the system tells the plug-in about its window, between the frames.
#include "plugin/display_events.h"

#include <atomic>

#include "plugin/plugin_state.h"

void OnWindowActivated(Plugin& plugin, bool active) { plugin.Screen.WindowActive = active ? 1 : 0; }

void OnSwitchAsked(Plugin& plugin) { plugin.Screen.SwitchRequested = 1; }

void OnClientResized(Plugin& plugin, int width, int height) {
  if (IsWindowKind(plugin.Screen.DisplayKind)) RequestHdMap(plugin, width, height);
}

void OnPaletteCommand(Plugin& plugin, int palettes) {
  std::atomic_ref<std::int32_t>(plugin.Screen.Home.PaletteSkip).fetch_add(palettes);
}
