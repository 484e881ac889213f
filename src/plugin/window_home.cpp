// What the window ways share on every system: the normal window's place in plugin.ini, and the player's palette
// commands handed from the window's thread to Render.
#include "plugin/window_home.h"

#include <atomic>
#include <string>

#include "data/window_place.h"
#include "plugin/plugin_state.h"
#include "plugin/plugin_folder.h"

namespace {

// The plug-in names its files through a 260-byte path; a folder too long for it reads and writes nothing.
bool SettingsFileNameable(const Plugin& plugin) {
  char path[kPluginPathBytes];
  return PluginFilePath(plugin, kSettingsFileName, path);
}

}  // namespace

void LoadWindowGeometry(Plugin& plugin, VisModule* module) {
  WindowHome& home = plugin.Screen.Home;
  home.Stored = WindowPlace{};
  home.Current = WindowPlace{};
  if (!SettingsFileNameable(plugin)) return;
  home.Stored = ReadWindowPlace(SettingsFile(PluginFolderPath(plugin)), module->description);
}

// A file that cannot be written keeps the place it had: the window only opens in the middle next time.
void SaveWindowGeometryIfChanged(Plugin& plugin, VisModule* module) {
  WindowHome& home = plugin.Screen.Home;
  if (!home.Current.Known || home.Current == home.Stored || !SettingsFileNameable(plugin)) return;
  std::string error;
  if (WriteWindowPlace(SettingsFile(PluginFolderPath(plugin)), home.Current, error, module->description))
    home.Stored = home.Current;
}

void ApplyPaletteCommands(Plugin& plugin) {
  const std::int32_t palettes = std::atomic_ref<std::int32_t>(plugin.Screen.Home.PaletteSkip).exchange(0);
  if (palettes != 0) plugin.Effect.SkipPalettes(palettes);
}
