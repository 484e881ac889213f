// The plug-in's folder in PluginPath, through which every file of the plug-in is named.
#include "plugin/plugin_folder.h"

#include <cstring>

#include "data/plugin_data.h"
#include "plugin/plugin_state.h"
#include "plugin/video.h"

static_assert(sizeof Plugin::PluginPath == kPluginPathBytes);

void LocatePluginFolder(Plugin& plugin, VisModule* module) {
  char* path = plugin.PluginPath;
  std::size_t length = VidModuleFileName(module, path, sizeof plugin.PluginPath);
  // A name cut to the buffer may come back without its NUL on older systems; keep it inside the buffer.
  if (length >= sizeof plugin.PluginPath) length = sizeof plugin.PluginPath - 1;
  path[length] = '\0';
  int i = static_cast<int>(length) - 1;
  while (i >= 0 && path[i] != '\\') --i;
  path[i + 1] = '\0';
}

bool PluginFilePath(const Plugin& plugin, const char* relativeName, char (&out)[kPluginPathBytes]) {
  const std::size_t folderLength = strnlen(plugin.PluginPath, sizeof plugin.PluginPath - 1);
  const std::size_t nameLength = std::strlen(relativeName);
  if (folderLength + nameLength >= sizeof out) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, plugin.PluginPath, folderLength);
  std::memcpy(out + folderLength, relativeName, nameLength + 1);
  return true;
}

std::filesystem::path PluginFolderPath(const Plugin& plugin) { return StoredPath(plugin.PluginPath); }
