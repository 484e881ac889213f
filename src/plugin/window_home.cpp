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
  home.Stored = WindowGeometry{};
  home.Current = WindowGeometry{};
  if (!SettingsFileNameable()) return;
  const WindowPlace place = ReadWindowPlace(SettingsFile(PluginFolderPath()), module->description);
  if (place.Known) home.Stored = WindowGeometry{1, place.Left, place.Top, place.Width, place.Height};
}

// A file that cannot be written keeps the place it had: the window only opens in the middle next time.
void SaveWindowGeometryIfChanged(VisModule* module) {
  WindowHome& home = Home();
  if (home.Current.Known == 0 || home.Current == home.Stored || !SettingsFileNameable()) return;
  const WindowGeometry& g = home.Current;
  std::string error;
  if (WriteWindowPlace(SettingsFile(PluginFolderPath()), WindowPlace{true, g.Left, g.Top, g.ClientWidth, g.ClientHeight},
                       error, module->description))
    home.Stored = home.Current;
}

void ApplyPaletteCommands() {
  const std::int32_t palettes = std::atomic_ref<std::int32_t>(Home().PaletteSkip).exchange(0);
  if (palettes != 0) g_state.Effect.SkipPalettes(palettes);
}
