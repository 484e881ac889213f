// The settings store: "plugin.ini" in the plug-in's folder, read and written through the data set.
#include "plugin/settings_store.h"

#include <string>

#include "data/plugin_data.h"
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

void LoadSettings(Plugin& plugin, VisModule* module) {
  if (!SettingsFileNameable(plugin)) return;
  ReadSettings(SettingsFile(PluginFolderPath(plugin)), plugin.Settings, module->description);
}

void LoadDisplayMode(Plugin& plugin, VisModule* module) {
  if (!SettingsFileNameable(plugin)) return;
  ReadDisplayMode(SettingsFile(PluginFolderPath(plugin)), plugin.Settings, module->description);
}

// A file that cannot be written keeps the settings it had, as the system's profile writer does; the plug-in
// has never told the user.
void SaveDisplayMode(Plugin& plugin, VisModule* module) {
  if (!SettingsFileNameable(plugin)) return;
  std::string error;
  WriteDisplayMode(SettingsFile(PluginFolderPath(plugin)), plugin.Settings.DisplayMode, error, module->description);
}

void SaveSettings(Plugin& plugin, VisModule* module) {
  if (!SettingsFileNameable(plugin)) return;
  std::string error;
  WriteSettings(SettingsFile(PluginFolderPath(plugin)), plugin.Settings, error, module->description);
}

void ForgetStoredWindowPlace(Plugin& plugin, VisModule* module) {
  if (!SettingsFileNameable(plugin)) return;
  std::string error;
  ForgetWindowPlace(SettingsFile(PluginFolderPath(plugin)), error, module->description);
}

void DeriveEffectParams(Plugin& plugin) { plugin.Params = DeriveEffectParams(plugin.Settings); }

void LoadSettingsAndParams(Plugin& plugin, VisModule* module) {
  LoadSettings(plugin, module);
  DeriveEffectParams(plugin);
}

void SettingsFromParams(Plugin& plugin) { SettingsFromParams(plugin.Params, plugin.Settings); }
