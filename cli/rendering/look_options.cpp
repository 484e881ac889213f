// Settings layers: the plug-in's defaults, the video look, the settings file and --set.
#include "look_options.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bounded_read.h"
#include "data/palette_colours.h"
#include "data/plugin_data.h"
#include "data/settings_keys.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kReferenceFileLimit = 772;  // the longest reference palette the plug-in takes
// A settings file holds a few hundred bytes; this leaves room for any comments and other sections.
constexpr std::uintmax_t kSettingsFileLimit = 1 << 20;
// The longest name the plug-in reads after its folder, which must fit its 260-byte paths with it.
constexpr std::size_t kLongestDataName = sizeof("/TavelDat/refrence.pal");

bool IsAbsoluteFolder(const char* value) { return value && value[0] == '/'; }

// The plug-in reads its files through 260-byte paths: a folder that leaves no room for their names is refused
// rather than read as one without files.
bool FolderFitsPaths(const fs::path& folder, std::string& error) {
  const std::string absolute = fs::absolute(folder).lexically_normal().string();
  if (absolute.size() + kLongestDataName < kDataPathBytes) return true;
  error = "plug-in folder '" + absolute + "' is too long: the plug-in's paths hold " +
          std::to_string(kDataPathBytes - kLongestDataName - 1) + " characters for the folder";
  return false;
}

// The settings of the folder's "plugin.ini" over `base`, read as the plug-in reads them. A file that is there
// but cannot be read (a folder that cannot be entered, a pipe, a huge file) is an error: the plug-in would read
// it as empty, and a user who wrote settings must hear that they are unused.
bool ReadSettingsOver(const fs::path& folder, const EffectSettings& base, EffectSettings& out, std::string& error) {
  out = base;
  const fs::path ini = SettingsFile(folder);
  const FileCheck check = CheckReadableFile(ini.string(), kSettingsFileLimit, "settings", error);
  if (check == FileCheck::Refused) return false;
  std::error_code ec;
  if (check == FileCheck::Missing && !fs::is_directory(folder, ec)) return true;
  if (!FolderFitsPaths(folder, error)) return false;
  if (check == FileCheck::Readable) ReadSettings(ini, out);
  return true;
}

// Whether the palettes folder's own reference palette differs from the data set's, which fade.dat was computed
// from. False, with a message, when it cannot be read.
bool OwnReferenceDiffers(const fs::path& own, const fs::path& dataSets, bool& differs, std::string& error) {
  differs = false;
  std::error_code ec;
  const FileCheck check = CheckReadableFile(own.string(), kReferenceFileLimit, "the reference palette", error);
  if (check == FileCheck::Refused) return false;
  if (check == FileCheck::Missing || fs::equivalent(own, dataSets, ec)) return true;
  std::vector<std::uint8_t> ownBytes, dataBytes;
  if (!ReadBoundedFile(own.string(), kReferenceFileLimit, "the reference palette", ownBytes, error)) return false;
  std::string ignored;  // an unreadable reference of the data set differs from any other
  differs = !ReadBoundedFile(dataSets.string(), kReferenceFileLimit, "the reference palette", dataBytes, ignored) ||
            ownBytes != dataBytes;
  return true;
}

// *.pal files the plug-in leaves out because they are not 768 bytes: named, so that nobody wonders where they went.
void NoteSkippedPalettes(const fs::path& folder, std::vector<std::string>& warnings) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code entryError;
    if (!IsPaletteFileName(name) || name == "refrence.pal" || !it->is_regular_file(entryError)) continue;
    const std::uintmax_t size = it->file_size(entryError);
    if (!entryError && size != kPaletteFileBytes)
      warnings.push_back("palette '" + it->path().string() + "' is " + std::to_string(size) + " bytes, not " +
                         std::to_string(kPaletteFileBytes) + ": left out, as the plug-in leaves it out");
  }
}

// Values a settings file holds outside the ranges the settings dialog allows: named, since the plug-in runs with them
// as they are and the picture may not be what the user meant.
void NoteOutOfRangeSettings(const std::string& file, const EffectSettings& settings,
                            std::vector<std::string>& warnings) {
  for (const SettingKey& key : SettingKeys()) {
    if (!key.field) continue;
    const std::int32_t value = settings.*key.field;
    if (value < key.minimum || value > key.maximum)
      warnings.push_back("'" + file + "' sets " + key.name + "=" + std::to_string(value) + ", outside " +
                         std::to_string(key.minimum) + ".." + std::to_string(key.maximum) +
                         "; the plug-in uses it as it is");
  }
}

}  // namespace

std::string UserSettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (IsAbsoluteFolder(config)) return std::string(config) + "/tavelmir";
  const char* home = std::getenv("HOME");
  if (IsAbsoluteFolder(home)) return std::string(home) + "/.config/tavelmir";
  return {};
}

std::string DefaultDataFolder() {
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path installed = (program.parent_path() / ".." / "share" / "tavelmir").lexically_normal();
    if (fs::is_directory(installed / "TavelDat", ec)) return installed.string();
  }
  return DefaultPluginDir();
}

std::int32_t VideoPaletteSpeed(int paletteCount) {
  // Each palette shows for 255 / (count * speed) seconds (the phase runs through all palettes once per unit).
  if (paletteCount < 1) return 1;
  const long speed = std::lround(255.0 / (kVideoSecondsPerPalette * static_cast<double>(paletteCount)));
  return static_cast<std::int32_t>(std::clamp<long>(speed, 1, 255));
}

EffectSettings NewUserSettings() {
  EffectSettings settings;
  std::vector<std::string> palettes;
  std::error_code ec;
  ListPaletteFiles(fs::path(DefaultDataFolder()) / "TavelDat", palettes, ec);
  settings.PaletteAnimationSpeed = VideoPaletteSpeed(static_cast<int>(palettes.size()));
  return settings;
}

double SecondsPerPalette(std::int32_t speed, int paletteCount) {
  if (speed == 0 || paletteCount < 1) return 0;
  return 255.0 / (std::abs(static_cast<double>(speed)) * paletteCount);
}

bool ResolveLook(const LookOptions& o, Look& look, std::string& error) {
  look = {};
  std::error_code ec;
  look.dataFolder = o.pluginDir.empty() ? DefaultDataFolder() : o.pluginDir;
  if (!fs::is_directory(look.dataFolder, ec)) {
    error = (o.pluginDir.empty() ? "the data set '" : "plug-in folder '") + look.dataFolder + "' does not exist";
    return false;
  }
  if (!ReadSettingsOver(look.dataFolder, EffectSettings{}, look.dataSetSettings, error)) return false;
  look.palettesDir = o.palettesDir.empty() ? (fs::path(look.dataFolder) / "TavelDat").string() : o.palettesDir;
  // A plug-in folder without palettes is the plug-in's to report, in its own words, at Init.
  if (!o.palettesDir.empty() && !fs::is_directory(look.palettesDir, ec)) {
    error = "palette folder '" + look.palettesDir + "' does not exist";
    return false;
  }
  // A folder that cannot be listed is the plug-in's to report too.
  std::vector<std::string> paletteFiles;
  ListPaletteFiles(look.palettesDir, paletteFiles, ec);
  for (const std::string& name : paletteFiles) {
    // The plug-in would only say which palette number it could not read.
    const std::string path = (fs::path(look.palettesDir) / name).string();
    if (CheckReadableFile(path, kPaletteFileBytes, "palette", error) != FileCheck::Readable) return false;
    ++look.paletteCount;
  }

  NoteSkippedPalettes(look.palettesDir, look.warnings);
  EffectSettings base;
  if (o.videoLook) base.PaletteAnimationSpeed = VideoPaletteSpeed(look.paletteCount);
  const std::string settingsFolder = o.pluginDir.empty() ? UserSettingsFolder() : o.pluginDir;
  if (!settingsFolder.empty()) {
    look.settingsFile = (fs::path(settingsFolder) / "plugin.ini").string();
    if (!ReadSettingsOver(settingsFolder, base, look.settings, error)) return false;
    NoteOutOfRangeSettings(look.settingsFile, look.settings, look.warnings);
  } else {
    look.settings = base;
  }
  for (const std::string& a : o.assignments)
    if (!ApplySettingAssignment(a, look.settings, error)) return false;

  const fs::path dataTables = fs::path(look.dataFolder) / "TavelDat";
  const fs::path ownReference = fs::path(look.palettesDir) / "refrence.pal";
  const bool fadeFileWhole = fs::is_regular_file(dataTables / "fade.dat", ec) &&
                             fs::file_size(dataTables / "fade.dat", ec) == kFadeTableBytes && !ec;
  bool ownReferenceDiffers = false;
  if (!OwnReferenceDiffers(ownReference, dataTables / "refrence.pal", ownReferenceDiffers, error)) return false;
  look.fadeNeedsComputing =
      !fadeFileWhole || !SameFadeSettings(look.settings, look.dataSetSettings) || ownReferenceDiffers;

  if (SelectedWave(look.settings).Amplitude == 0)
    look.warnings.push_back("the wave amplitude is 0 (RadioIndex 0 with WaveAmplitude 0): the music moves nothing");
  return true;
}
