// The plug-in's data set on disk: "plugin.ini", the palettes and "refrence.pal" in "TavelDat", "fade.dat" and
// the texture bitmap, read into the engine's inputs and written back. Failures are values; what the plug-in
// tells the user about them is in init_messages.h.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/effect_settings.h"
#include "core/fade_table.h"
#include "data/settings_keys.h"

// The file names inside the plug-in's folder.
constexpr const char kSettingsFileName[] = "plugin.ini";
constexpr const char kDataFolderName[] = "TavelDat";
constexpr const char kReferencePaletteName[] = "refrence.pal";
constexpr const char kFadeFileName[] = "fade.dat";
// The section of "plugin.ini" the settings live in: the plug-in's description.
constexpr const char kSettingsSection[] = "Ombrelo Tunnel";
// The plug-in names every file through a 260-byte buffer: a path of this many bytes or more cannot be opened.
constexpr std::size_t kDataPathBytes = 260;

class ProfileFile;
// The plug-in names every file in a kDataPathBytes buffer; a longer name is a file it cannot open.
bool FitsPluginPath(const std::filesystem::path& file);
// The first step of every edit of "plugin.ini": the file as it stands (empty when missing), or false with the
// reason when the name does not fit or the file cannot be read, so that an edit never drops what it holds.
bool ReadProfileForEditing(const std::filesystem::path& iniFile, ProfileFile& profile, std::string& error);

// "<folder>/TavelDat", "<folder>/TavelDat/fade.dat" and so on.
std::filesystem::path DataFolder(const std::filesystem::path& pluginFolder);
std::filesystem::path SettingsFile(const std::filesystem::path& pluginFolder);
std::filesystem::path FadeFile(const std::filesystem::path& pluginFolder);
std::filesystem::path ReferencePaletteFile(const std::filesystem::path& pluginFolder);
// A path as the plug-in stores it (TextureName, its own folder: backslash separators) as a path of this system:
// outside Windows the backslashes become '/'.
std::filesystem::path StoredPath(const char* storedPath);

// --- plugin.ini ------------------------------------------------------------------------------------------------

// Reads every key of `section` present in the file over `settings`, parsing as the system's profile reader
// does (leading digits, "0x" hex, a missing or unreadable file leaves every value as it is; UseTexture is 0 or
// 1; TextureName up to 259 bytes).
void ReadSettings(const std::filesystem::path& iniFile, EffectSettings& settings,
                  const char* section = kSettingsSection);
// "DisplayMode" alone: the plug-in needs it before the display opens, long before the other settings.
void ReadDisplayMode(const std::filesystem::path& iniFile, EffectSettings& settings,
                     const char* section = kSettingsSection);
// Writes every key of the table (the settings window's and its display choices'), keeping the file's other
// sections, keys and lines. Through a temporary file renamed over the old one, so an
// interruption leaves the old file whole. False, with a message naming the file, when it cannot be written.
bool WriteSettings(const std::filesystem::path& iniFile, const EffectSettings& settings, std::string& error,
                   const char* section = kSettingsSection);
// One key of the table alone, likewise.
bool WriteSettingKey(const std::filesystem::path& iniFile, const SettingKey& key, const EffectSettings& settings,
                     std::string& error, const char* section = kSettingsSection);
// "DisplayMode" alone, likewise.
bool WriteDisplayMode(const std::filesystem::path& iniFile, std::int32_t displayMode, std::string& error,
                      const char* section = kSettingsSection);

// --- palettes --------------------------------------------------------------------------------------------------

struct PaletteSet {
  // 0 = read; 1 = no qualifying file, the folder cannot be listed or no memory; -(k + 2) = qualifying file k
  // (in name order) could not be read whole. The plug-in's message shows this number.
  int Status = 1;
  std::vector<std::uint8_t> Entries;  // Count palettes of 256 entries (red, green, blue, flags)
  std::int32_t Count = 0;
};

// The files "*.pal" (any case) of exactly 768 bytes in `folder`, in ascending byte order of their names; each
// colour byte 0..63 becomes 0..252. A path of kDataPathBytes - 4 bytes or more counts as unreadable.
PaletteSet ReadPaletteSet(const std::filesystem::path& folder);

// The names of the palette files in `folder` ("*.pal" in any case, regular files of exactly 768 bytes), sorted
// byte by byte so that the palette order is the same on every file system (directory order is not). False, with
// `ec` set, when the folder cannot be listed.
bool ListPaletteFiles(const std::filesystem::path& folder, std::vector<std::string>& names, std::error_code& ec);

// 0 = read into `entries` (256 x red, green, blue, flags); 1 = larger than 772 bytes; 2 = missing, shorter than
// 768 bytes or not read whole.
int ReadReferencePalette(const std::filesystem::path& file, std::uint8_t (&entries)[1024]);

// --- fade.dat --------------------------------------------------------------------------------------------------

// The table, or an empty vector when the file is missing, is not exactly 65536 bytes or cannot be read whole.
std::vector<std::uint8_t> ReadFadeTable(const std::filesystem::path& file);
// Writes the table through a temporary file renamed over the old one. False, with a message naming the file.
bool WriteFadeTable(const std::filesystem::path& file, const std::uint8_t* table, std::string& error);
// Computes the table for `settings` from the reference palette file `reference` (a folder's "refrence.pal"). False,
// with a message naming the file, when it is missing or not 768 to 772 bytes.
bool ComputeFadeTable(const std::filesystem::path& reference, const EffectSettings& settings,
                      std::vector<std::uint8_t>& table, std::string& error);
// Computes the table from the folder's reference palette and `params` and writes its "fade.dat", as the
// settings dialog's compute button does.
FadeBuildStatus BuildFadeFile(const std::filesystem::path& pluginFolder, const EffectParams& params,
                              const FadeProgress& progress = {});

// --- texture ---------------------------------------------------------------------------------------------------

enum TextureStatus : int {
  kTextureRead = 0,
  kTextureNotBitmap = 1,   // missing, cut short, or not a bitmap the system's loader takes
  kTextureWrongShape = 2,  // not 256 x 256 at 8 bits per pixel
};

// The texture's 65536 brightness values (BT.601 luma of each colour, cut toward zero), run x of the map holding
// bitmap column x from the bottom row up, as the engine wants them. `brightness` is untouched unless the
// result is kTextureRead.
TextureStatus ReadTexture(const std::filesystem::path& file, std::vector<std::uint8_t>& brightness);

// --- all of it -------------------------------------------------------------------------------------------------

struct EngineInputs;

// The palette set of `paletteFolder` (the folder's "TavelDat" when empty), the fade table and, with
// settings.UseTexture, the texture, into `inputs` with `settings`. The palette status (0 when read) is
// returned; a missing fade table or texture is left for Engine::Build to report at its step.
int ReadEngineInputs(const std::filesystem::path& pluginFolder, const EffectSettings& settings, EngineInputs& inputs,
                     const std::filesystem::path& paletteFolder = {});
