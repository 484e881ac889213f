// `tavelmir config`: shows and changes the settings file through the plug-in's own settings store.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "commands.h"
#include "plugin/effect_state.h"
#include "look_options.h"
#include "plugin_host.h"
#include "settings/settings_store.h"
#include "settings_keys.h"

namespace fs = std::filesystem;

namespace {

int Fail(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << '\n';
  return 1;
}

}  // namespace

// Saves through the store into a copy beside the file, then renames the copy over it: a full disk or an
// interruption leaves the old file whole. The copy keeps any other sections and keys the file holds.
bool SaveSettingsFile(const fs::path& ini, const EffectSettings& settings, std::string& error) {
  std::error_code ec;
  fs::create_directories(ini.parent_path(), ec);
  std::string staging = (ini.parent_path() / ".plugin.ini.XXXXXX").string();
  if (ec || !::mkdtemp(staging.data())) {
    error = "cannot write " + ini.string() + ": " + (ec ? ec.message() : std::strerror(errno));
    return false;
  }
  const fs::path copy = fs::path(staging) / "plugin.ini";
  if (fs::exists(ini, ec)) fs::copy_file(ini, copy, ec);
  bool ok = !ec;
  if (ok) {
    VisModule* module = OpenPluginFolder(staging, error);
    ok = module != nullptr;
    if (ok) {
      g_state.Settings = settings;
      SaveSettings(module);
      // DisplayMode is for the plug-in alone and its dialog never writes it: the key is written only when the
      // value differs from what the file says (no key: the default).
      g_state.Settings.DisplayMode = kDisplayModeChain;
      LoadDisplayMode(module);
      if (g_state.Settings.DisplayMode != settings.DisplayMode) {
        g_state.Settings.DisplayMode = settings.DisplayMode;
        SaveDisplayMode(module);
      }
      ok = fs::is_regular_file(copy, ec);
    }
  }
  if (ok) fs::rename(copy, ini, ec);
  if (!ok || ec) {
    if (error.empty()) error = "cannot write " + ini.string() + (ec ? ": " + ec.message() : "");
    fs::remove_all(staging, ec);
    return false;
  }
  fs::remove_all(staging, ec);
  return true;
}

int RunConfig(const std::string& pluginDir, const std::vector<std::string>& assignments, CommandStreams& streams) {
  LookOptions options;
  options.pluginDir = pluginDir;
  // A plug-in folder's file is the plug-in's, whose own defaults fill the keys it lacks; the user's file is read
  // by render, whose videos cycle the palettes unless the file says otherwise.
  options.videoLook = pluginDir.empty();
  Look look;
  std::string error;
  if (!ResolveLook(options, look, error)) return Fail(streams, error);
  if (look.settingsFile.empty())
    return Fail(streams, "cannot tell where to keep the settings: neither XDG_CONFIG_HOME nor HOME names a folder");

  if (!assignments.empty()) {
    EffectSettings changed = look.settings;
    for (const std::string& a : assignments)
      if (!ApplySettingAssignment(a, changed, error)) return Fail(streams, error + "; nothing was saved");
    if (!SaveSettingsFile(look.settingsFile, changed, error)) return Fail(streams, error);
    streams.out << "saved " << look.settingsFile << '\n';
    if (!pluginDir.empty() && (changed.FadeOffset != look.dataSetSettings.FadeOffset ||
                               changed.FadeAmplitude != look.dataSetSettings.FadeAmplitude ||
                               changed.FadePower != look.dataSetSettings.FadePower))
      streams.out << "the fade settings differ from TavelDat/fade.dat: `tavelmir render` computes the table in "
                     "memory; run `tavelmir fade` to store it for the plug-in\n";
    look.settings = changed;
  }
  g_state.Settings = look.settings;
  DeriveEffectParams();
  streams.out << "[settings] " << look.settingsFile << '\n'
              << FormatSettings(g_state.Settings) << "[derived]\n"
              << FormatEffectParams(g_state.Params);
  const double seconds = SecondsPerPalette(look.settings.PaletteAnimationSpeed, look.paletteCount);
  char line[128];
  if (seconds > 0)
    std::snprintf(line, sizeof line, "%d palettes, each shown for %.1f s\n", look.paletteCount, seconds);
  else
    std::snprintf(line, sizeof line, "%d palettes; the first stays\n", look.paletteCount);
  streams.out << line;
  return 0;
}
