// The plug-in's normal window's place in "plugin.ini": "WindowLeft" and "WindowTop" (its outer top-left corner
// on the screen), "WindowWidth" and "WindowHeight" (its client area at 96 dots per inch), in the settings'
// section beside their keys, but none of the effect's settings.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "data/plugin_data.h"

struct WindowPlace {
  bool Known = false;
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const WindowPlace&) const = default;
};

// The largest client area a stored place may have; anything larger (or empty) is no window a user made.
constexpr std::int32_t kLargestWindowSide = 16384;

// All four keys, with a size a window can have, or an unknown place.
WindowPlace ReadWindowPlace(const std::filesystem::path& iniFile, const char* section = kSettingsSection);
// The four keys, keeping every other line of the file; whole or not at all, as the settings are written. False,
// with a message naming the file, when it cannot be written.
bool WriteWindowPlace(const std::filesystem::path& iniFile, const WindowPlace& place, std::string& error,
                      const char* section = kSettingsSection);
// Removes the four keys, so that the window opens in the middle again; likewise whole or not at all. A file
// without them is left untouched (and a missing one is not made).
bool ForgetWindowPlace(const std::filesystem::path& iniFile, std::string& error,
                       const char* section = kSettingsSection);
