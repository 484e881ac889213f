// The normal window's place in "plugin.ini", read and written through the same profile editing as the settings.
#include "data/window_place.h"

#include <string_view>

#include "data/file_replace.h"
#include "data/profile_file.h"

namespace {

constexpr const char* kPlaceKeys[] = {"WindowLeft", "WindowTop", "WindowWidth", "WindowHeight"};

}  // namespace

WindowPlace ReadWindowPlace(const std::filesystem::path& iniFile, const char* section) {
  if (!FitsPluginPath(iniFile)) return {};
  ProfileFile profile;
  profile.Read(iniFile);
  std::int32_t values[4];
  for (int i = 0; i < 4; ++i) {
    std::string text;
    // Half a place is no place: every key or none.
    if (!profile.Value(section, kPlaceKeys[i], text) || text.empty()) return {};
    values[i] = static_cast<std::int32_t>(ParseProfileInteger(text));
  }
  const WindowPlace place{true, values[0], values[1], values[2], values[3]};
  if (place.Width <= 0 || place.Height <= 0 || place.Width > kLargestWindowSide || place.Height > kLargestWindowSide)
    return {};
  return place;
}

bool WriteWindowPlace(const std::filesystem::path& iniFile, const WindowPlace& place, std::string& error,
                      const char* section) {
  ProfileFile profile;
  if (!ReadProfileForEditing(iniFile, profile, error)) return false;
  const std::int32_t values[4] = {place.Left, place.Top, place.Width, place.Height};
  for (int i = 0; i < 4; ++i) profile.Set(section, kPlaceKeys[i], std::to_string(values[i]));
  return ReplaceFileContents(iniFile, profile.Bytes(), error);
}

bool ForgetWindowPlace(const std::filesystem::path& iniFile, std::string& error, const char* section) {
  ProfileFile profile;
  if (!ReadProfileForEditing(iniFile, profile, error)) return false;
  const std::string before = profile.Bytes();
  for (const char* key : kPlaceKeys) profile.Remove(section, key);
  if (profile.Bytes() == before) return true;
  return ReplaceFileContents(iniFile, profile.Bytes(), error);
}
