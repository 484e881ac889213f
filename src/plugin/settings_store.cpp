// The settings store: "plugin.ini" in the plug-in's folder, read and written through the data set.
#include "plugin/settings_store.h"

#include <string>

#include "data/plugin_data.h"
#include "data/window_place.h"
#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"

namespace {

// The plug-in names its files through a 260-byte path; a folder too long for it reads and writes nothing.
bool SettingsFileNameable() {
  char path[kPluginPathBytes];
  return PluginFilePath(kSettingsFileName, path);
}

}  // namespace

void LoadSettings(VisModule* module) {
  if (!SettingsFileNameable()) return;
  ReadSettings(SettingsFile(PluginFolderPath()), g_state.Settings, module->description);
}

void LoadDisplayMode(VisModule* module) {
  if (!SettingsFileNameable()) return;
  ReadDisplayMode(SettingsFile(PluginFolderPath()), g_state.Settings, module->description);
}

// A file that cannot be written keeps the settings it had, as the system's profile writer does; the plug-in
// has never told the user.
void SaveDisplayMode(VisModule* module) {
  if (!SettingsFileNameable()) return;
  std::string error;
  WriteDisplayMode(SettingsFile(PluginFolderPath()), g_state.Settings.DisplayMode, error, module->description);
}

void SaveSettings(VisModule* module) {
  if (!SettingsFileNameable()) return;
  std::string error;
  WriteSettings(SettingsFile(PluginFolderPath()), g_state.Settings, error, module->description);
}

void ForgetStoredWindowPlace(VisModule* module) {
  if (!SettingsFileNameable()) return;
  std::string error;
  ForgetWindowPlace(SettingsFile(PluginFolderPath()), error, module->description);
}

void DeriveEffectParams() { g_state.Params = DeriveEffectParams(g_state.Settings); }

void LoadSettingsAndParams(VisModule* module) {
  LoadSettings(module);
  DeriveEffectParams();
}

void SettingsFromParams() { SettingsFromParams(g_state.Params, g_state.Settings); }
