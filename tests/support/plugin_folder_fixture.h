// A throw-away plug-in folder on disk, with a fresh plug-in state whose folder is located as Init would.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plugin/plugin_state.h"
#include "plugin/vis_records.h"

struct PluginFolder {
  std::filesystem::path root;             // the folder holding "plugin.ini" and "TavelDat/"
  VisModule* module;                      // the module record, with instance and parent cleared
  std::filesystem::path removeRoot = {};  // what RemovePluginFolder deletes, when not `root` itself
  std::unique_ptr<Plugin> plugin = {};    // a fresh state, its folder located
};

// Resets the display device, makes a fresh state, creates a fresh empty folder under the system's temporary directory
// (with "TavelDat/" when `withDataFolder`), reports "<folder>\vis_tavelmir.dll" as the module file name and locates it.
PluginFolder MakePluginFolder(bool withDataFolder = true);
// Like MakePluginFolder, but the plug-in's folder is nested so deep that its Windows path, trailing backslash
// included, is exactly `folderLength` characters long (so that PluginPath holds exactly that many).
PluginFolder MakeLongPluginFolder(std::size_t folderLength, bool withDataFolder = true);
// Removes the folder again.
void RemovePluginFolder(const PluginFolder& folder);

// Writes `paletteCount` palette files of 768 bytes ("TavelDat\pal0.pal", ...) and a 65536-byte "TavelDat\fade.dat".
void WriteEffectDataFiles(const std::filesystem::path& root, int paletteCount = 2);

void WriteFileBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& path);
void WriteFileText(const std::filesystem::path& path, const std::string& text);
std::string ReadFileText(const std::filesystem::path& path);
