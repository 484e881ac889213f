// Settings layers, the private plug-in folder behind Init, and settings changed while the effect runs.
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

#include "commands.h"
#include "plugin/effect_state.h"
#include "settings/settings_store.h"
#include "settings_keys.h"
#include "tables/fade_table.h"
#include "tables/palette_files.h"
#include "tables/texture_loader.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFadeTableBytes = 65536;
constexpr std::uintmax_t kPaletteFileBytes = 768;

bool IsAbsoluteFolder(const char* value) { return value && value[0] == '/'; }

bool HasPaletteName(const fs::path& name) {
  std::string ext = name.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".pal";
}

std::vector<char> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SameFadeSettings(const EffectSettings& a, const EffectSettings& b) {
  return a.FadeOffset == b.FadeOffset && a.FadeAmplitude == b.FadeAmplitude && a.FadePower == b.FadePower;
}

// The settings of the folder's "plugin.ini" over `base`, read by the plug-in's own store.
bool ReadSettingsOver(const fs::path& folder, const EffectSettings& base, EffectSettings& out, std::string& error) {
  out = base;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return true;
  VisModule* module = OpenPluginFolder(folder.string(), error);
  if (!module) return false;
  const fs::path ini = folder / "plugin.ini";
  if (!fs::exists(ini, ec)) return true;
  // The store reads an unreadable file as an empty one; a user who wrote settings must hear that they are unused.
  if (!fs::is_regular_file(ini, ec) || ::access(ini.c_str(), R_OK) != 0) {
    error = "cannot read settings '" + ini.string() + "'";
    return false;
  }
  g_state.Settings = base;
  LoadSettings(module);
  out = g_state.Settings;
  return true;
}

std::string TextureProblem(int status) {
  return status == 2 ? "is not a 256 x 256 bitmap of 8 bits per pixel" : "is missing or not a readable bitmap";
}

// mkdtemp under $TMPDIR (or /tmp); empty with a message when none can be made.
std::string MakePrivateFolder(std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(IsAbsoluteFolder(tmp) ? tmp : "/tmp") + "/tavelmir-look-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    error = "cannot make a temporary folder in " + pattern.substr(0, pattern.rfind('/')) + ": " + std::strerror(errno);
    return {};
  }
  return pattern;
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
  for (const auto& entry : fs::directory_iterator(look.palettesDir, ec))
    if (HasPaletteName(entry.path().filename()) && entry.is_regular_file(ec) &&
        entry.file_size(ec) == kPaletteFileBytes)
      ++look.paletteCount;

  EffectSettings base;
  if (o.videoLook) base.PaletteAnimationSpeed = VideoPaletteSpeed(look.paletteCount);
  const std::string settingsFolder = o.pluginDir.empty() ? UserSettingsFolder() : o.pluginDir;
  if (!settingsFolder.empty()) {
    look.settingsFile = (fs::path(settingsFolder) / "plugin.ini").string();
    if (!ReadSettingsOver(settingsFolder, base, look.settings, error)) return false;
  } else {
    look.settings = base;
  }
  for (const std::string& a : o.assignments)
    if (!ApplySettingAssignment(a, look.settings, error)) return false;

  const fs::path dataTables = fs::path(look.dataFolder) / "TavelDat";
  const fs::path ownReference = fs::path(look.palettesDir) / "refrence.pal";
  const bool fadeFileWhole = fs::file_size(dataTables / "fade.dat", ec) == kFadeTableBytes && !ec;
  look.fadeNeedsComputing =
      !fadeFileWhole || !SameFadeSettings(look.settings, look.dataSetSettings) ||
      (fs::exists(ownReference, ec) && !fs::equivalent(ownReference, dataTables / "refrence.pal", ec) &&
       ReadAll(ownReference) != ReadAll(dataTables / "refrence.pal"));

  const EffectSettings& s = look.settings;
  const WavePreset pair = s.RadioIndex >= 1 && s.RadioIndex <= 4 ? WavePresets[s.RadioIndex]
                                                                 : WavePreset{s.WaveAmplitude, s.WaveShiftPower};
  if (pair.Amplitude == 0)
    look.warnings.push_back("the wave amplitude is 0 (RadioIndex 0 with WaveAmplitude 0): the music moves nothing");
  return true;
}

bool StartPluginWithLook(Look& look, PluginSession& session, std::string& error) {
  const std::string folder = MakePrivateFolder(error);
  if (folder.empty()) return false;
  const fs::path tables = fs::path(folder) / "TavelDat";
  std::error_code ec;
  bool ok = fs::create_directory(tables, ec);
  for (const auto& entry : fs::directory_iterator(look.palettesDir, ec)) {
    if (!ok || !HasPaletteName(entry.path().filename())) continue;
    fs::create_symlink(fs::absolute(entry.path()), tables / entry.path().filename(), ec);
    if (ec) ok = false;
  }
  if (!ok) {
    error = "cannot prepare the palettes in " + folder + ": " + ec.message();
    fs::remove_all(folder, ec);
    return false;
  }

  EffectSettings settings = look.settings;
  if (settings.UseTexture) {
    std::string ignored;
    OpenPluginFolder(folder, ignored);
    g_state.Settings = settings;
    std::vector<std::uint8_t> texture(2 * 65536);
    const int status = LoadTexture(texture.data());
    if (status != 0) {
      look.warnings.push_back("the texture '" + std::string(settings.TextureName) + "' " + TextureProblem(status) +
                              "; the landscape is drawn without it");
      settings.UseTexture = 0;
    }
  }

  const fs::path dataTables = fs::path(look.dataFolder) / "TavelDat";
  std::vector<std::uint8_t> fade(kFadeTableBytes);
  if (look.fadeNeedsComputing) {
    const bool ownReference = fs::exists(tables / "refrence.pal", ec);
    std::string moduleError;
    VisModule* module = OpenPluginFolder(ownReference ? folder : look.dataFolder, moduleError);
    PALETTEENTRY reference[256] = {};
    if (!module || LoadReferencePalette(reference) != 0) {
      error = "cannot compute the fade table: the reference palette '" +
              ((ownReference ? fs::path(look.palettesDir) : dataTables) / "refrence.pal").string() +
              "' is missing or not 768 to 772 bytes";
      fs::remove_all(folder, ec);
      return false;
    }
    g_state.Settings = settings;
    DeriveEffectParams();
    FillFadeTable(reference, g_state.Params, fade.data());
    std::ofstream out(tables / "fade.dat", std::ios::binary);
    out.write(reinterpret_cast<const char*>(fade.data()), static_cast<std::streamsize>(fade.size()));
    out.close();
    if (!out) {
      error = "cannot write the computed fade table into " + folder;
      fs::remove_all(folder, ec);
      return false;
    }
  } else {
    std::ifstream in(dataTables / "fade.dat", std::ios::binary);
    in.read(reinterpret_cast<char*>(fade.data()), static_cast<std::streamsize>(fade.size()));
    fs::create_symlink(fs::absolute(dataTables / "fade.dat"), tables / "fade.dat", ec);
  }
  bool oneIndex = true;
  for (std::uint8_t v : fade) oneIndex = oneIndex && v == fade[0];
  if (oneIndex)
    look.warnings.push_back("the fade settings (FadeOffset " + std::to_string(settings.FadeOffset) +
                            ", FadeAmplitude " + std::to_string(settings.FadeAmplitude) + ", FadePower " +
                            std::to_string(settings.FadePower) +
                            ") give every colour and shade one palette index: the picture is one flat colour");

  const bool started = StartPlugin(folder, session, error, &settings);
  fs::remove_all(folder, ec);
  return started;
}

void ApplyLookInPlace(PluginSession& session, const EffectSettings& settings) {
  if (!session.running) return;
  g_state.Settings = settings;
  DeriveEffectParams();
}

void StepPalette(PluginSession& session, int palettes) {
  if (!session.running || g_state.PaletteCount < 1) return;
  g_state.Counters.PalettePhase =
      static_cast<float>(g_state.Counters.PalettePhase + static_cast<double>(palettes) / g_state.PaletteCount);
}
