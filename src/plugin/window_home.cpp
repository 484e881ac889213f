// What the window ways share on every system: the normal window's place in plugin.ini, and the player's palette
// commands handed from the window's thread to Render.
#include "plugin/window_home.h"

#include <atomic>
#include <string>

#include "data/window_place.h"
#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"

namespace {

WindowHome& Home() { return g_state.Screen.Home; }

// The plug-in names its files through a 260-byte path; a folder too long for it reads and writes nothing.
bool SettingsFileNameable() {
  char path[kPluginPathBytes];
  return PluginFilePath(kSettingsFileName, path);
}

}  // namespace

void LoadWindowGeometry(VisModule* module) {
  WindowHome& home = Home();
  home.Stored = WindowPlace{};
  home.Current = WindowPlace{};
  if (!SettingsFileNameable()) return;
  home.Stored = ReadWindowPlace(SettingsFile(PluginFolderPath()), module->description);
}

// A file that cannot be written keeps the place it had: the window only opens in the middle next time.
void SaveWindowGeometryIfChanged(VisModule* module) {
  WindowHome& home = Home();
  if (!home.Current.Known || home.Current == home.Stored || !SettingsFileNameable()) return;
  std::string error;
  if (WriteWindowPlace(SettingsFile(PluginFolderPath()), home.Current, error, module->description))
    home.Stored = home.Current;
}

void ApplyPaletteCommands() {
  const std::int32_t palettes = std::atomic_ref<std::int32_t>(Home().PaletteSkip).exchange(0);
  if (palettes != 0) g_state.Effect.SkipPalettes(palettes);
}
