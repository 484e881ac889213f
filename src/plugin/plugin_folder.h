// The plug-in's folder in PluginPath, through which every file of the plug-in is named.
#pragma once
#include <cstddef>
#include <filesystem>

#include "plugin/vis_records.h"

struct Plugin;

constexpr std::size_t kPluginPathBytes = 260;  // the system's longest path, terminating NUL included

// Fills PluginPath with the folder of the module's library file, ending in a backslash (empty when the name
// has none, so that files are then named relative to the current directory).
void LocatePluginFolder(Plugin& plugin, VisModule* module);

// Writes the full path of `relativeName` in the plug-in's folder into `out`. Returns false, leaving `out` empty,
// when folder and name together do not fit; the caller must then treat the file as one that cannot be opened.
bool PluginFilePath(const Plugin& plugin, const char* relativeName, char (&out)[kPluginPathBytes]);

// PluginPath as a folder of this system, for the data set.
std::filesystem::path PluginFolderPath(const Plugin& plugin);
