// `tavelmir config`: shows and changes the settings file, read and written as the plug-in does.
#include <cstdio>
#include <filesystem>

#include "counted.h"
#include "data/file_replace.h"
#include "data/plugin_data.h"
#include "data/settings_keys.h"
#include "look_options.h"
#include "output_target.h"
#include "settings_commands.h"

namespace fs = std::filesystem;

namespace {

int Fail(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << '\n';
  return 1;
}

}  // namespace

// Written as the plug-in writes it, through a copy renamed over the file. A linked settings file (a dotfile kept
// elsewhere) is written where the link points, and the link stays. Folders made for a new file go again when it
// cannot be written.
bool SaveSettingsFile(const fs::path& settingsFile, const EffectSettings& settings, std::string& error) {
  const fs::path ini = FollowLinks(settingsFile.string());
  MadeFolders folders;
  if (!folders.Make(ini.parent_path(), error) || !WriteSettings(ini, settings, error)) return false;
  folders.Keep();
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
  for (const std::string& w : look.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  if (look.settingsFile.empty())
    return Fail(streams, "cannot tell where to keep the settings: neither XDG_CONFIG_HOME nor HOME names a folder");

  if (!assignments.empty()) {
    EffectSettings changed = look.settings;
    for (const std::string& a : assignments)
      if (!ApplySettingAssignment(a, changed, error)) {
        // A value the key cannot take is a usage error, as it is for --set.
        streams.err << "tavelmir: " << error << "; nothing was saved\n(see `tavelmir config --help`)\n";
        return 2;
      }
    if (!SaveSettingsFile(look.settingsFile, changed, error)) return Fail(streams, error);
    streams.out << "saved " << look.settingsFile << '\n';
    if (!pluginDir.empty() && (changed.FadeOffset != look.dataSetSettings.FadeOffset ||
                               changed.FadeAmplitude != look.dataSetSettings.FadeAmplitude ||
                               changed.FadePower != look.dataSetSettings.FadePower))
      streams.out << "the fade settings differ from TavelDat/fade.dat: `tavelmir render` computes the table in "
                     "memory; run `tavelmir fade` to store it for the plug-in\n";
    look.settings = changed;
  }
  streams.out << "[settings] " << look.settingsFile << '\n'
              << FormatSettings(look.settings) << "[derived]\n"
              << FormatEffectParams(DeriveEffectParams(look.settings));
  const double seconds = SecondsPerPalette(look.settings.PaletteAnimationSpeed, look.paletteCount);
  char line[128];
  const std::string palettes = Counted(look.paletteCount, "palette", "palettes");
  if (seconds > 0)
    std::snprintf(line, sizeof line, "%s, each shown for %.1f s\n", palettes.c_str(), seconds);
  else
    std::snprintf(line, sizeof line, "%s; the first stays\n", palettes.c_str());
  streams.out << line;
  return 0;
}
