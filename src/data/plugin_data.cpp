// The plug-in folder's files: names, "plugin.ini", "fade.dat", and reading all of the engine's inputs.
#include "data/plugin_data.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "core/engine.h"
#include "data/file_replace.h"
#include "data/profile_file.h"
#include "data/settings_keys.h"

namespace fs = std::filesystem;

namespace {

constexpr char kDisplayModeKey[] = "DisplayMode";

// The profile of a nameable file; empty when it is missing or cannot be read, as the system's reader sees it.
ProfileFile ReadProfile(const fs::path& iniFile) {
  ProfileFile profile;
  if (FitsPluginPath(iniFile)) profile.Read(iniFile);
  return profile;
}

// `only` null: every key of the table; else that one key.
bool WriteProfileKeys(const fs::path& iniFile, const char* section, const EffectSettings& settings,
                      const SettingKey* only, std::string& error) {
  ProfileFile profile;
  if (!ReadProfileForEditing(iniFile, profile, error)) return false;
  for (const SettingKey& key : SettingKeys()) {
    if (only != nullptr && &key != only) continue;
    std::string value = SettingText(key, settings);
    if (key.field == &EffectSettings::UseTexture) value = settings.UseTexture != 0 ? "1" : "0";
    profile.Set(section, key.name, value);
  }
  return ReplaceFileContents(iniFile, profile.Bytes(), error);
}

}  // namespace

bool FitsPluginPath(const fs::path& file) { return file.string().size() < kDataPathBytes; }

bool ReadProfileForEditing(const fs::path& iniFile, ProfileFile& profile, std::string& error) {
  if (!FitsPluginPath(iniFile)) {
    error = "cannot write " + iniFile.string() + ": the path is too long";
    return false;
  }
  if (profile.Read(iniFile) == ProfileFile::Load::Failed) {
    error = "cannot read " + iniFile.string();
    return false;
  }
  return true;
}

fs::path DataFolder(const fs::path& pluginFolder) { return pluginFolder / kDataFolderName; }
fs::path SettingsFile(const fs::path& pluginFolder) { return pluginFolder / kSettingsFileName; }
fs::path FadeFile(const fs::path& pluginFolder) { return DataFolder(pluginFolder) / kFadeFileName; }
fs::path ReferencePaletteFile(const fs::path& pluginFolder) { return DataFolder(pluginFolder) / kReferencePaletteName; }

fs::path StoredPath(const char* storedPath) {
  std::string name = storedPath;
#ifndef _WIN32
  for (char& c : name)
    if (c == '\\') c = '/';
#endif
  return name;
}

void ReadSettings(const fs::path& iniFile, EffectSettings& s, const char* section) {
  if (!FitsPluginPath(iniFile)) return;
  const ProfileFile profile = ReadProfile(iniFile);
  for (const SettingKey& key : SettingKeys()) {
    if (!key.field) continue;
    s.*key.field = static_cast<std::int32_t>(profile.Integer(section, key.name, s.*key.field));
  }
  s.UseTexture = s.UseTexture != 0 ? 1 : 0;
  // The current name is the default.
  const std::string name = profile.Text(section, "TextureName", s.TextureName, sizeof s.TextureName);
  std::memcpy(s.TextureName, name.c_str(), name.size() + 1);
}

void ReadDisplayMode(const fs::path& iniFile, EffectSettings& settings, const char* section) {
  if (!FitsPluginPath(iniFile)) return;
  settings.DisplayMode =
      static_cast<std::int32_t>(ReadProfile(iniFile).Integer(section, kDisplayModeKey, settings.DisplayMode));
}

bool WriteSettings(const fs::path& iniFile, const EffectSettings& settings, std::string& error, const char* section) {
  return WriteProfileKeys(iniFile, section, settings, nullptr, error);
}

bool WriteSettingKey(const fs::path& iniFile, const SettingKey& key, const EffectSettings& settings, std::string& error,
                     const char* section) {
  return WriteProfileKeys(iniFile, section, settings, &key, error);
}

bool WriteDisplayMode(const fs::path& iniFile, std::int32_t displayMode, std::string& error, const char* section) {
  EffectSettings settings;
  settings.DisplayMode = displayMode;
  return WriteSettingKey(iniFile, *FindSettingKey(kDisplayModeKey), settings, error, section);
}

std::vector<std::uint8_t> ReadFadeTable(const fs::path& file) {
  std::error_code ec;
  if (!FitsPluginPath(file) || !fs::is_regular_file(file, ec) || fs::file_size(file, ec) != kFadeTableBytes || ec)
    return {};
  std::vector<std::uint8_t> table(kFadeTableBytes);
  std::ifstream in(file, std::ios::binary);
  in.read(reinterpret_cast<char*>(table.data()), kFadeTableBytes);
  if (in.gcount() != kFadeTableBytes) return {};
  return table;
}

bool WriteFadeTable(const fs::path& file, const std::uint8_t* table, std::string& error) {
  if (!FitsPluginPath(file)) {
    error = "cannot write " + file.string() + ": the path is too long";
    return false;
  }
  return ReplaceFileContents(file, std::string_view(reinterpret_cast<const char*>(table), kFadeTableBytes), error);
}

bool ComputeFadeTable(const fs::path& reference, const EffectSettings& settings, std::vector<std::uint8_t>& table,
                      std::string& error) {
  std::uint8_t entries[1024];
  if (ReadReferencePalette(reference, entries) != 0) {
    error = "cannot compute the fade table: the reference palette '" + reference.string() +
            "' is missing or not 768 to 772 bytes";
    return false;
  }
  table.assign(kFadeTableBytes, 0);
  FillFadeTable(entries, DeriveEffectParams(settings), table.data());
  return true;
}

FadeBuildStatus BuildFadeFile(const fs::path& pluginFolder, const EffectParams& params, const FadeProgress& progress) {
  std::uint8_t reference[1024];
  if (ReadReferencePalette(ReferencePaletteFile(pluginFolder), reference) != 0) return kFadeNoReference;
  std::vector<std::uint8_t> table;
  try {
    table.resize(kFadeTableBytes);
  } catch (const std::bad_alloc&) {
    return kFadeNoMemory;
  }
  FillFadeTable(reference, params, table.data(), progress);
  std::string error;
  return WriteFadeTable(FadeFile(pluginFolder), table.data(), error) ? kFadeBuilt : kFadeNotWritten;
}

int ReadEngineInputs(const fs::path& pluginFolder, const EffectSettings& settings, EngineInputs& inputs,
                     const fs::path& paletteFolder) {
  PaletteSet palettes = ReadPaletteSet(paletteFolder.empty() ? DataFolder(pluginFolder) : paletteFolder);
  inputs.Settings = settings;
  inputs.Palettes = std::move(palettes.Entries);
  inputs.PaletteCount = palettes.Count;
  inputs.FadeTable = ReadFadeTable(FadeFile(pluginFolder));
  inputs.Texture.clear();
  if (settings.UseTexture != 0) ReadTexture(StoredPath(settings.TextureName), inputs.Texture);
  return palettes.Status;
}
