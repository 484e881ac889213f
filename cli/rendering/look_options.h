// The look of a run: the user's settings file, --set, --palettes, and a fade table that matches the settings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/effect_settings.h"

// About one palette every this many seconds is the default look of a video.
constexpr int kVideoSecondsPerPalette = 10;

// Where the user keeps "plugin.ini": $XDG_CONFIG_HOME/tavelmir, else ~/.config/tavelmir. Empty when neither
// variable gives an absolute folder.
std::string UserSettingsFolder();

// The data set (palettes, reference palette, fade table): beside an installed program in ../share/tavelmir,
// else the one the build prepared.
std::string DefaultDataFolder();
// The data set the build prepared.
std::string DefaultPluginDir();

struct LookOptions {
  std::string pluginDir;                 // --plugin-dir; empty = the default data set and the user's settings
  std::string palettesDir;               // --palettes; empty = the data set's TavelDat
  std::vector<std::string> assignments;  // --set KEY=VALUE, applied in order over the settings file
  std::string palette;                   // --palette NAME: the palette to start on; empty = the first
  bool videoLook = true;                 // start from the video defaults (palettes cycle) rather than the plug-in's
};

struct Look {
  std::string dataFolder;          // holds TavelDat/ (and, with --plugin-dir, the settings)
  std::string palettesDir;         // the folder whose *.pal files are the palette set
  std::string settingsFile;        // the file the settings were read from; may not exist yet
  EffectSettings settings;         // what the plug-in runs with
  EffectSettings dataSetSettings;  // what the data set's fade.dat was computed with
  int paletteCount = 0;
  bool fadeNeedsComputing = false;    // settings, reference palette or a missing file differ from fade.dat
  std::vector<std::string> warnings;  // settings that cannot show anything, a texture that will not load
};

// The video default: PaletteAnimationSpeed giving about kVideoSecondsPerPalette per palette.
std::int32_t VideoPaletteSpeed(int paletteCount);
// The settings of someone without a settings file: the plug-in's defaults in the video look of the default data set.
EffectSettings NewUserSettings();
// Seconds each palette shows at a speed (0 = the palette stands still: returns 0).
double SecondsPerPalette(std::int32_t speed, int paletteCount);

// Settings: the plug-in's defaults, the video look, the settings file (--plugin-dir's plugin.ini, else the user's
// copy), then every --set. False, with a message, for a missing folder or a bad assignment.
bool ResolveLook(const LookOptions& options, Look& look, std::string& error);
