// `tavelmir config`: shows and changes "plugin.ini" through the plug-in's own settings store.
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "commands.h"
#include "host/effect_state.h"
#include "plugin_host.h"
#include "settings/settings_store.h"
#include "settings_keys.h"

int RunConfig(const std::string& pluginDir, const std::vector<std::string>& assignments, CommandStreams& streams) {
  std::string error;
  VisModule* module = OpenPluginFolder(pluginDir, error);
  if (module == nullptr) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  LoadSettings(module);

  if (!assignments.empty()) {
    EffectSettings changed = g_state.Settings;
    for (const std::string& a : assignments) {
      if (!ApplySettingAssignment(a, changed, error)) {
        streams.err << "tavelmir: " << error << "; nothing was saved\n";
        return 1;
      }
    }
    const std::filesystem::path ini = std::filesystem::absolute(pluginDir) / "plugin.ini";
    // The profile writes report nothing, so make sure the file can be written before relying on them.
    std::FILE* probe = std::fopen(ini.c_str(), "ab");
    if (!probe) {
      streams.err << "tavelmir: cannot write " << ini.string() << '\n';
      return 1;
    }
    std::fclose(probe);
    const bool fadeChanged = changed.FadeOffset != g_state.Settings.FadeOffset ||
                             changed.FadeAmplitude != g_state.Settings.FadeAmplitude ||
                             changed.FadePower != g_state.Settings.FadePower;
    const bool displayModeChanged = changed.DisplayMode != g_state.Settings.DisplayMode;
    g_state.Settings = changed;
    SaveSettings(module);
    // The settings dialog never writes this key, so it is written only when asked for.
    if (displayModeChanged) SaveDisplayMode(module);
    streams.out << "saved " << ini.string() << '\n';
    if (fadeChanged) streams.out << "the fade settings changed: run `tavelmir fade` to recompute the fade table\n";
  }
  DeriveEffectParams();
  streams.out << "[settings]\n"
              << FormatSettings(g_state.Settings) << "[derived]\n"
              << FormatEffectParams(g_state.Params);
  return 0;
}
